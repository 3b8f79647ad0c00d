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

Choice action_choice(Action action, const PlatformLabels& labels) {
    std::string title = action_label(action, labels);
    return Choice{ChoiceKind::Action, std::move(action), std::move(title)};
}

Choice separator() {
    return Choice{ChoiceKind::Separator, Action{}, {}};
}

std::size_t clamp_index(std::int64_t index) {
    return index < 0 ? 0 : static_cast<std::size_t>(index);
}

}  // namespace

std::vector<Choice> binding_choices(const Action& current, OfferedActions offered, bool offer_shift,
                                    const PlatformLabels& labels) {
    std::vector<Choice> choices;
    choices.reserve(kOfferedActions.size() + kOfferedKeys.size() + 6);
    for (ActionKind kind : kOfferedActions) {
        // In the vocabulary's own order: after the launcher, before the overview.
        if (kind == ActionKind::MissionControl && offered.on_screen_keyboard)
            choices.push_back(action_choice(Action(ActionKind::OnScreenKeyboard), labels));
        choices.push_back(action_choice(Action(kind), labels));
    }
    if (offer_shift) choices.push_back(action_choice(Action(ActionKind::Shift), labels));
    choices.push_back(separator());
    for (KeyKind kind : kOfferedKeys)
        choices.push_back(action_choice(key_action(Key(kind)), labels));
    const bool listed = std::any_of(choices.begin(), choices.end(), [&](const Choice& c) {
        return c.kind == ChoiceKind::Action && c.action == current;
    });
    if (!listed) choices.push_back(action_choice(current, labels));
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

std::string same_as_all_title(std::string_view what) {
    return std::string(buttons_texts::kSameAsAll) + " (" + std::string(what) + ")";
}

std::string same_as_unshifted_title(std::string_view what) {
    return std::string(buttons_texts::kSameAsUnshifted) + " (" + std::string(what) + ")";
}

std::string capture_prompt(BindingSlot slot, Layer layer) {
    return "Press the key or shortcut for " + std::string(button_label(slot.button)) + " (" +
           (slot.side == BindingSide::Hold ? "hold" : "press") +
           (layer == Layer::Shifted ? " with shift" : "") + "). Esc cancels.";
}

const std::array<std::string_view, 2>& ButtonsWindowModel::layer_titles() {
    static constexpr std::array<std::string_view, 2> titles = {buttons_texts::kWithoutShift,
                                                               buttons_texts::kWithShift};
    return titles;
}

std::string_view ButtonsWindowModel::press_heading() const {
    return layer_ == Layer::Shifted ? buttons_texts::kPressWithShiftHeading
                                    : buttons_texts::kPressHeading;
}

std::string_view ButtonsWindowModel::hold_heading() const {
    return layer_ == Layer::Shifted ? buttons_texts::kHoldWithShiftHeading
                                    : buttons_texts::kHoldHeading;
}

bool ButtonsWindowModel::end_capture() {
    const bool captured = capture_.has_value();
    capture_.reset();
    prompt_.clear();
    return captured;
}

ButtonsWindowModel::Update ButtonsWindowModel::layer_changed(std::int64_t index) {
    const std::size_t i = clamp_index(index);
    if (!shows_layer_ || i >= layer_titles().size()) return Update::Nothing;
    const bool captured = end_capture();
    layer_ = static_cast<Layer>(i);
    refresh();
    return captured ? Update::CaptureEnded : Update::Popups;
}

ButtonsWindowModel::ButtonsWindowModel(SettingsStore& store, OfferedActions offered,
                                       FrontAppWatcher* apps, const PlatformLabels& labels)
    : store_(store), offered_(offered), apps_(apps), labels_(labels) {}

const AppProfile* ButtonsWindowModel::profile() const {
    return app_ ? find_app_profile(store_.get(), *app_) : nullptr;
}

bool ButtonsWindowModel::front_app_known() const {
    return apps_ != nullptr && apps_->available();
}

std::string ButtonsWindowModel::front_app_note() const {
    if (apps_ == nullptr) return {};
    std::string note = apps_->note();
    if (note.empty() && !apps_->available()) note = buttons_texts::kNoFrontApp;
    return note;
}

std::vector<RunningApp> ButtonsWindowModel::addable_apps() const {
    if (!front_app_known()) return {};
    std::vector<RunningApp> apps = apps_->running_apps();
    const Config& config = store_.get();
    std::erase_if(apps, [&](const RunningApp& app) {
        return find_app_profile(config, app.id) != nullptr || !check_app_id(app.id).ok();
    });
    return apps;
}

const std::vector<std::string>& ButtonsWindowModel::stick_titles(Stick stick) const {
    return stick_titles_[stick == Stick::Left ? 0 : 1];
}

ButtonsWindowModel::Update ButtonsWindowModel::scope_changed(std::int64_t index) {
    const std::size_t i = clamp_index(index);
    if (i >= scopes_.size()) return Update::Nothing;
    const ScopeChoice& choice = scopes_[i];
    switch (choice.kind) {
        case ScopeKind::Separator:
            return Update::Nothing;
        case ScopeKind::Add:
            return Update::ChooseApp;
        case ScopeKind::All:
        case ScopeKind::App:
            break;
    }
    const bool captured = end_capture();
    app_ = choice.kind == ScopeKind::App ? std::optional(choice.app_id) : std::nullopt;
    refresh();
    return captured ? Update::CaptureEnded : Update::Popups;
}

ButtonsWindowModel::Update ButtonsWindowModel::add_app(const RunningApp& app) {
    store_.add_app_profile(app);
    if (find_app_profile(store_.get(), app.id) != nullptr) app_ = app.id;
    refresh();
    return Update::Popups;
}

ButtonsWindowModel::Update ButtonsWindowModel::remove_app() {
    if (!app_) return Update::Nothing;
    store_.remove_app_profile(*app_);
    app_.reset();
    refresh();
    return Update::Popups;
}

void ButtonsWindowModel::set_binding(BindingSlot slot, Layer layer, std::optional<Action> action) {
    if (layer == Layer::Shifted) {
        if (app_) {
            store_.set_app_shifted_binding(*app_, slot.button, slot.side, std::move(action));
        } else {
            store_.set_shifted_binding(slot.button, slot.side, std::move(action));
        }
    } else if (app_) {
        store_.set_app_binding(*app_, slot.button, slot.side, std::move(action));
    } else if (action) {
        store_.set_binding(slot.button, slot.side, std::move(*action));
    }
}

void ButtonsWindowModel::open() {
    store_.reload();
    refresh();
}

void ButtonsWindowModel::refresh() {
    const Config& config = store_.get();
    // A profile removed by a hand edit leaves all applications shown.
    const AppProfile* app = profile();
    if (app == nullptr) app_.reset();

    scopes_.clear();
    scopes_.push_back({ScopeKind::All, {}, std::string(buttons_texts::kAllApps)});
    scope_selected_ = 0;
    for (const AppProfile& each : config.apps) {
        if (app == &each) scope_selected_ = scopes_.size();
        scopes_.push_back({ScopeKind::App, each.id, each.name.empty() ? each.id : each.name});
    }
    if (front_app_known()) {
        scopes_.push_back({ScopeKind::Separator, {}, {}});
        scopes_.push_back({ScopeKind::Add, {}, std::string(buttons_texts::kAddApp)});
    }

    const auto& roles = stick_choice_titles();
    for (const Stick stick : {Stick::Left, Stick::Right}) {
        const std::size_t s = stick == Stick::Left ? 0 : 1;
        const StickRole main = stick == Stick::Left ? config.left_stick : config.right_stick;
        auto& titles = stick_titles_[s];
        titles.assign(roles.begin(), roles.end());
        sticks_[s] = static_cast<std::size_t>(main);
        if (app == nullptr) continue;
        titles.insert(titles.begin(), same_as_all_title(roles[static_cast<std::size_t>(main)]));
        const std::optional<StickRole> own =
            stick == Stick::Left ? app->left_stick : app->right_stick;
        sticks_[s] = own ? static_cast<std::size_t>(*own) + 1 : 0;
    }
    // The bindings in force where the window looks, to tell the shift inputs.
    std::array<bool, kButtonCount> shift_input{};
    shows_layer_ = false;
    for (std::size_t i = 0; i < kButtonCount; ++i) {
        const auto& own = app != nullptr ? app->press[i] : std::nullopt;
        shift_input[i] = is_shift(own.value_or(config.buttons[i].press));
        shows_layer_ = shows_layer_ || shift_input[i];
    }
    if (!shows_layer_) layer_ = Layer::Normal;

    for (std::size_t tag = 0; tag < kBindingTagCount; ++tag) {
        const std::optional<BindingSlot> slot = binding_slot(static_cast<std::int64_t>(tag));
        if (!slot) {
            popups_[tag].reset();
            continue;
        }
        const bool hold = slot->side == BindingSide::Hold;
        if (layer_ == Layer::Shifted) {
            Popup popup = shifted_popup(config, app, *slot);
            popup.enabled = !shift_input[tag / 2];
            popups_[tag] = std::move(popup);
            continue;
        }
        const Binding& binding = binding_of(config.buttons, slot->button);
        const Action& main = hold ? binding.hold : binding.press;
        // The Xbox button cannot shift: holding it switches the program.
        const bool offer_shift = !hold && slot->button != Button::Xbox;
        Popup popup;
        popup.enabled = !(hold && shift_input[tag / 2]);
        if (app == nullptr) {
            popup.choices = binding_choices(main, offered_, offer_shift, labels_);
            popup.selected = choice_index(popup.choices, main);
        } else {
            const auto& own = (slot->side == BindingSide::Hold ? app->hold : app->press)[tag / 2];
            popup.choices = {
                Choice{ChoiceKind::SameAsAll, main, same_as_all_title(action_label(main, labels_))},
                separator()};
            std::vector<Choice> rest =
                binding_choices(own.value_or(main), offered_, offer_shift, labels_);
            popup.choices.insert(popup.choices.end(), std::make_move_iterator(rest.begin()),
                                 std::make_move_iterator(rest.end()));
            popup.selected = own ? choice_index(popup.choices, *own) : 0;
            popup.overridden = own.has_value();
        }
        popups_[tag] = std::move(popup);
    }
}

ButtonsWindowModel::Popup ButtonsWindowModel::shifted_popup(const Config& config,
                                                            const AppProfile* app,
                                                            BindingSlot slot) const {
    const std::size_t i = button_index(slot.button);
    const bool hold = slot.side == BindingSide::Hold;
    const std::optional<Action>& main_layer =
        (hold ? config.shifted.hold : config.shifted.press)[i];
    Action unshifted = hold ? config.buttons[i].hold : config.buttons[i].press;
    if (app != nullptr) {
        if (const auto& own = (hold ? app->hold : app->press)[i]) unshifted = *own;
    }
    // What the slot does when this layer leaves it out: a profile's falls to the shifted actions
    // of all applications first, then to the profile's own without shift.
    Choice first{ChoiceKind::SameAsUnshifted, unshifted,
                 same_as_unshifted_title(action_label(unshifted, labels_))};
    const std::optional<Action>* own = &main_layer;
    if (app != nullptr) {
        own = &(hold ? app->shifted.hold : app->shifted.press)[i];
        if (main_layer)
            first = Choice{ChoiceKind::SameAsAll, *main_layer,
                           same_as_all_title(action_label(*main_layer, labels_))};
    }
    Popup popup;
    popup.choices = {first, separator()};
    // The shift itself is never offered among the shifted actions.
    std::vector<Choice> rest =
        binding_choices(own->value_or(first.action), offered_, false, labels_);
    popup.choices.insert(popup.choices.end(), std::make_move_iterator(rest.begin()),
                         std::make_move_iterator(rest.end()));
    popup.selected = *own ? choice_index(popup.choices, **own) : 0;
    return popup;
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
            set_binding(*slot, layer_, choice.action);
            refresh();
            return Update::Popups;
        case ChoiceKind::SameAsAll:
        case ChoiceKind::SameAsUnshifted:
            set_binding(*slot, layer_, std::nullopt);
            refresh();
            return Update::Popups;
        case ChoiceKind::OtherKey:
            capture_ = *slot;
            capture_layer_ = layer_;
            prompt_ = capture_prompt(*slot, layer_);
            return Update::CaptureStarted;
    }
    return Update::Nothing;
}

ButtonsWindowModel::Update ButtonsWindowModel::stick_changed(std::int64_t tag, std::int64_t index) {
    const std::size_t i = clamp_index(index);
    const Stick stick = tag == kLeftStickTag ? Stick::Left : Stick::Right;
    if (i >= stick_titles(stick).size()) return Update::Nothing;
    if (app_) {
        const std::optional<StickRole> role =
            i == 0 ? std::nullopt : std::optional(static_cast<StickRole>(i - 1));
        store_.set_app_stick_role(*app_, stick, role);
    } else {
        store_.set_stick_role(stick, static_cast<StickRole>(i));
    }
    sticks_[stick == Stick::Left ? 0 : 1] = i;
    return Update::Nothing;
}

namespace {

Action media_action(KeyKind kind) {
    switch (kind) {
        case KeyKind::PlayPause:
            return Action(ActionKind::PlayPause);
        case KeyKind::NextTrack:
            return Action(ActionKind::NextTrack);
        case KeyKind::PreviousTrack:
            return Action(ActionKind::PreviousTrack);
        case KeyKind::VolumeUp:
            return Action(ActionKind::VolumeUp);
        case KeyKind::VolumeDown:
            return Action(ActionKind::VolumeDown);
        default:
            return Action(ActionKind::Mute);
    }
}

}  // namespace

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
    if (is_media(key->kind)) {
        // The settings file names media keys only as actions; the modifiers held with one are
        // what keyboards send for finer volume steps, not part of a shortcut.
        set_binding(slot, capture_layer_, media_action(key->kind));
    } else if (!(key->kind == KeyKind::Esc && modifiers.empty())) {
        set_binding(slot, capture_layer_, Action(make_shortcut(std::move(modifiers), *key)));
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
