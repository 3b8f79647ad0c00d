#include "core/bindings/buttons.hpp"

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
        if (binding.hold.is_none() && binding_of(defaults, button).hold.is_none()) continue;
        append_line(out, key, kHoldSuffix, binding.hold);
    }
}

std::string button_lines(const Bindings& bindings) {
    std::string out;
    append_button_lines(bindings, out);
    return out;
}

}  // namespace thumbrover
