#include "core/ui/buttons_window.hpp"

#include <algorithm>
#include <utility>

namespace thumbrover {
namespace {

// The on-screen keyboard is offered only where the platform says so (see `OfferedActions`); a
// binding to it read from the file stays in force everywhere and is listed as the current one.
constexpr std::array kOfferedActions = {
    ActionKind::None,        ActionKind::LeftClick,      ActionKind::RightClick,
    ActionKind::MiddleClick, ActionKind::PreciseMode,    ActionKind::AppSwitcher,
    ActionKind::Launcher,    ActionKind::MissionControl, ActionKind::PlayPause,
    ActionKind::NextTrack,   ActionKind::PreviousTrack,  ActionKind::VolumeUp,
    ActionKind::VolumeDown,  ActionKind::Mute,
};

constexpr std::array kOfferedKeys = {
    KeyKind::Esc, KeyKind::Enter, KeyKind::Space, KeyKind::Tab,   KeyKind::Backspace,
    KeyKind::Up,  KeyKind::Down,  KeyKind::Left,  KeyKind::Right,
};

Choice action_choice(Action action) {
    std::string title = action_label(action);
    return Choice{ChoiceKind::Action, std::move(action), std::move(title)};
}

Choice separator() {
    return Choice{ChoiceKind::Separator, Action{}, {}};
}

std::size_t clamp_index(std::int64_t index) {
    return index < 0 ? 0 : static_cast<std::size_t>(index);
}

}  // namespace

std::vector<Choice> binding_choices(const Action& current, OfferedActions offered) {
    std::vector<Choice> choices;
    choices.reserve(kOfferedActions.size() + kOfferedKeys.size() + 5);
    for (ActionKind kind : kOfferedActions) {
        // In the vocabulary's own order: after the launcher, before the overview.
        if (kind == ActionKind::MissionControl && offered.on_screen_keyboard)
            choices.push_back(action_choice(Action(ActionKind::OnScreenKeyboard)));
        choices.push_back(action_choice(Action(kind)));
    }
    choices.push_back(separator());
    for (KeyKind kind : kOfferedKeys)
        choices.push_back(action_choice(key_action(Key(kind))));
    const bool listed = std::any_of(choices.begin(), choices.end(), [&](const Choice& c) {
        return c.kind == ChoiceKind::Action && c.action == current;
    });
    if (!listed) choices.push_back(action_choice(current));
    choices.push_back(separator());
    choices.push_back(
        Choice{ChoiceKind::OtherKey, Action{}, std::string(buttons_texts::kOtherKey)});
    return choices;
}

std::size_t choice_index(const std::vector<Choice>& choices, const Action& current) {
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (choices[i].kind == ChoiceKind::Action && choices[i].action == current) return i;
    return 0;
}

std::optional<BindingSlot> binding_slot(std::int64_t tag) {
    if (tag < 0 || static_cast<std::uint64_t>(tag) >= kBindingTagCount) return std::nullopt;
    const auto button = static_cast<Button>(tag / 2);
    const BindingSide side = tag % 2 == 1 ? BindingSide::Hold : BindingSide::Press;
    if (button == Button::Xbox && side == BindingSide::Hold) return std::nullopt;
    return BindingSlot{button, side};
}

const std::array<std::string_view, 3>& stick_choice_titles() {
    static constexpr std::array<std::string_view, 3> titles = {"Move the pointer", "Scroll",
                                                               "Nothing"};
    return titles;
}

std::string capture_prompt(BindingSlot slot) {
    return "Press the key or shortcut for " + std::string(button_label(slot.button)) + " (" +
           (slot.side == BindingSide::Hold ? "hold" : "press") + "). Esc cancels.";
}

ButtonsWindowModel::ButtonsWindowModel(SettingsStore& store, OfferedActions offered)
    : store_(store), offered_(offered) {}

void ButtonsWindowModel::open() {
    store_.reload();
    refresh();
}

void ButtonsWindowModel::refresh() {
    const Config& config = store_.get();
    sticks_ = {static_cast<std::size_t>(config.left_stick),
               static_cast<std::size_t>(config.right_stick)};
    for (std::size_t tag = 0; tag < kBindingTagCount; ++tag) {
        const std::optional<BindingSlot> slot = binding_slot(static_cast<std::int64_t>(tag));
        if (!slot) {
            popups_[tag].reset();
            continue;
        }
        const Binding& binding = binding_of(config.buttons, slot->button);
        const Action& current = slot->side == BindingSide::Hold ? binding.hold : binding.press;
        Popup popup;
        popup.choices = binding_choices(current, offered_);
        popup.selected = choice_index(popup.choices, current);
        popups_[tag] = std::move(popup);
    }
}

const ButtonsWindowModel::Popup* ButtonsWindowModel::binding_popup(std::int64_t tag) const {
    if (tag < 0 || static_cast<std::uint64_t>(tag) >= kBindingTagCount) return nullptr;
    const auto& popup = popups_[static_cast<std::size_t>(tag)];
    return popup ? &*popup : nullptr;
}

std::size_t ButtonsWindowModel::stick_selection(Stick stick) const {
    return sticks_[stick == Stick::Left ? 0 : 1];
}

ButtonsWindowModel::Update ButtonsWindowModel::binding_changed(std::int64_t tag,
                                                               std::int64_t index) {
    const std::optional<BindingSlot> slot = binding_slot(tag);
    const Popup* popup = binding_popup(tag);
    if (!slot || !popup) return Update::Nothing;
    const std::size_t i = clamp_index(index);
    if (i >= popup->choices.size()) return Update::Nothing;
    const Choice& choice = popup->choices[i];
    switch (choice.kind) {
        case ChoiceKind::Separator:
            return Update::Nothing;
        case ChoiceKind::Action:
            store_.set_binding(slot->button, slot->side, choice.action);
            refresh();
            return Update::Popups;
        case ChoiceKind::OtherKey:
            capture_ = *slot;
            prompt_ = capture_prompt(*slot);
            return Update::CaptureStarted;
    }
    return Update::Nothing;
}

ButtonsWindowModel::Update ButtonsWindowModel::stick_changed(std::int64_t tag, std::int64_t index) {
    const std::size_t i = clamp_index(index);
    if (i > 2) return Update::Nothing;
    const Stick stick = tag == kLeftStickTag ? Stick::Left : Stick::Right;
    store_.set_stick_role(stick, static_cast<StickRole>(i));
    sticks_[stick == Stick::Left ? 0 : 1] = i;
    return Update::Nothing;
}

ButtonsWindowModel::Update ButtonsWindowModel::key_captured(const KeyPress& press,
                                                            const KeyCodeTable& table) {
    if (!capture_) return Update::Nothing;
    const std::optional<Key> key = table ? table(press.code) : std::nullopt;
    if (!key) {
        prompt_ = std::string(buttons_texts::kUnusableKey);
        return Update::PromptChanged;
    }
    std::vector<Key> modifiers;
    for (const Key& held : press.modifiers)
        if (held.modifier()) modifiers.push_back(held);
    const BindingSlot slot = *capture_;
    capture_.reset();
    prompt_.clear();
    if (!(key->kind == KeyKind::Esc && modifiers.empty())) {
        store_.set_binding(slot.button, slot.side,
                           Action(make_shortcut(std::move(modifiers), *key)));
    }
    refresh();
    return Update::CaptureEnded;
}

ButtonsWindowModel::Update ButtonsWindowModel::restore_default_buttons() {
    store_.restore_default_buttons();
    refresh();
    return Update::Popups;
}

ButtonsWindowModel::Update ButtonsWindowModel::cancel_capture() {
    if (!capture_) return Update::Nothing;
    capture_.reset();
    prompt_.clear();
    refresh();
    return Update::CaptureEnded;
}

}  // namespace thumbrover
