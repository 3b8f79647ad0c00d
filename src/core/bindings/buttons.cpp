#include "core/bindings/buttons.hpp"

#include <algorithm>

#include "core/common/text.hpp"

namespace thumbrover {
namespace {

struct ButtonInfo {
    std::string_view key;
    std::string_view label;
};

constexpr std::array<ButtonInfo, kButtonCount> kButtons{{
    {"a", "A"},
    {"b", "B"},
    {"x", "X"},
    {"y", "Y"},
    {"left_bumper", "Left bumper (LB)"},
    {"right_bumper", "Right bumper (RB)"},
    {"left_trigger", "Left trigger (LT)"},
    {"right_trigger", "Right trigger (RT)"},
    {"view", "View"},
    {"menu", "Menu"},
    {"left_stick_click", "Left stick click"},
    {"right_stick_click", "Right stick click"},
    {"dpad_up", "D-pad up"},
    {"dpad_down", "D-pad down"},
    {"dpad_left", "D-pad left"},
    {"dpad_right", "D-pad right"},
    {"xbox", "Xbox button"},
}};

constexpr std::string_view kHoldSuffix = "_hold";

[[nodiscard]] const ButtonInfo& info(Button button) {
    const std::size_t i = button_index(button);
    return kButtons[i < kButtons.size() ? i : kButtons.size() - 1];
}

// Action names never hold a double quote or a backslash, so they go between quotes as they are.
void append_line(std::string& out, std::string_view key, std::string_view suffix,
                 const Action& action) {
    out += key;
    out += suffix;
    out += " = \"";
    out += action_name(action);
    out += "\"\n";
}

}  // namespace

bool ShiftedLayer::empty() const {
    const auto unset = [](const std::optional<Action>& a) { return !a.has_value(); };
    return std::all_of(press.begin(), press.end(), unset) &&
           std::all_of(hold.begin(), hold.end(), unset);
}

Bindings shifted_bindings(const Bindings& normal, const ShiftedLayer& layer) {
    Bindings out = normal;
    for (std::size_t i = 0; i < kButtonCount; ++i) {
        if (layer.press[i]) out[i].press = *layer.press[i];
        if (layer.hold[i]) out[i].hold = *layer.hold[i];
    }
    return out;
}

std::optional<std::string> shift_refusal(const BindingTable& table, std::string_view key,
                                         Button button, bool hold, const Action& action) {
    if (!is_shift(action)) return std::nullopt;
    const std::string where = "`" + std::string(kShiftActionName) + "` for `" + std::string(key) +
                              "` in `" + std::string(table.name) + "`: ";
    if (table.shifted) return where + "the shifted actions cannot shift again";
    if (hold) return where + "only a press action can shift";
    if (button == Button::Xbox)
        return where + "holding the Xbox button turns Thumbrover on or off, so it cannot shift";
    return std::nullopt;
}

std::string shift_hold_refusal(const BindingTable& table, Button button) {
    const std::string key(button_key(button));
    return "`" + key + std::string(kHoldSuffix) + "` in `" + std::string(table.name) + "`: `" +
           key + "` is `" + std::string(kShiftActionName) + "`, which has no hold action";
}

std::string_view button_key(Button button) {
    return info(button).key;
}
std::string_view button_label(Button button) {
    return info(button).label;
}

std::optional<Button> button_from_key(std::string_view key) {
    for (std::size_t i = 0; i < kButtons.size(); ++i)
        if (kButtons[i].key == key) return static_cast<Button>(i);
    return std::nullopt;
}

Bindings default_bindings() {
    Bindings b;
    const auto set = [&](Button button, Action press) {
        binding_of(b, button).press = std::move(press);
    };
    set(Button::A, Action(ActionKind::LeftClick));
    set(Button::B, Action(ActionKind::RightClick));
    set(Button::X, Action(ActionKind::MiddleClick));
    set(Button::Y, Action(ActionKind::MissionControl));
    set(Button::LeftBumper, Action(ActionKind::PreviousTrack));
    set(Button::RightBumper, Action(ActionKind::NextTrack));
    set(Button::LeftTrigger, Action(ActionKind::VolumeDown));
    set(Button::RightTrigger, Action(ActionKind::VolumeUp));
    set(Button::View, Action(ActionKind::AppSwitcher));
    set(Button::Menu, Action(ActionKind::PlayPause));
    set(Button::LeftStickClick, Action(ActionKind::PreciseMode));
    set(Button::RightStickClick, Action(ActionKind::Mute));
    set(Button::DpadUp, key_action(Key(KeyKind::Up)));
    set(Button::DpadDown, key_action(Key(KeyKind::Down)));
    set(Button::DpadLeft, key_action(Key(KeyKind::Left)));
    set(Button::DpadRight, key_action(Key(KeyKind::Right)));
    set(Button::Xbox, Action(ActionKind::Launcher));
    binding_of(b, Button::B).hold = key_action(Key(KeyKind::Esc));
    return b;
}

Result<void> apply_button_entry(Bindings& bindings, std::string_view key, std::string_view value) {
    std::string_view name = key;
    const bool hold = name.ends_with(kHoldSuffix);
    if (hold) name.remove_suffix(kHoldSuffix.size());
    const std::optional<Button> button = button_from_key(name);
    if (!button) return Error{"unknown button `" + clipped_echo(key) + "`"};
    std::optional<Action> action = parse_action(value);
    if (!action)
        return Error{"unknown action `" + clipped_echo(value) + "` for `" + std::string(key) + "`"};
    if (auto refusal = shift_refusal(kButtonsTable, key, *button, hold, *action))
        return Error{std::move(*refusal)};
    Binding& binding = binding_of(bindings, *button);
    (hold ? binding.hold : binding.press) = std::move(*action);
    return {};
}

void append_button_lines(const Bindings& bindings, std::string& out) {
    const Bindings defaults = default_bindings();
    for (const Button button : all_buttons()) {
        const Binding& binding = binding_of(bindings, button);
        const std::string_view key = button_key(button);
        append_line(out, key, "", binding.press);
        if (button == Button::Xbox) continue;
        const bool default_none = binding_of(defaults, button).hold.is_none();
        if (is_shift_input(binding)) {
            // The default hold must not come back when the file is read, or the file would be
            // refused; any other hold is simply not performed.
            if (!default_none) append_line(out, key, kHoldSuffix, Action());
            continue;
        }
        if (binding.hold.is_none() && default_none) continue;
        append_line(out, key, kHoldSuffix, binding.hold);
    }
}

std::string button_lines(const Bindings& bindings) {
    std::string out;
    append_button_lines(bindings, out);
    return out;
}

void append_entry_lines(const std::array<std::optional<Action>, kButtonCount>& press,
                        const std::array<std::optional<Action>, kButtonCount>& hold,
                        std::string& out) {
    for (const Button button : all_buttons()) {
        const std::size_t i = button_index(button);
        const std::string_view key = button_key(button);
        if (press[i]) append_line(out, key, "", *press[i]);
        if (hold[i] && !(press[i] && is_shift(*press[i])))
            append_line(out, key, kHoldSuffix, *hold[i]);
    }
}

}  // namespace thumbrover
