#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/gamepad.hpp"

namespace thumbrover {

// The GameController extended-gamepad elements the program reads. Each names one property of
// GCExtendedGamepad (or, for the axes, of its thumbstick, trigger or D-pad element).
enum class GamepadButton : std::uint8_t {
    A,
    B,
    X,
    Y,
    LeftShoulder,
    RightShoulder,
    Options,  // View; optional in the profile
    Menu,
    Home,                   // Xbox; optional
    LeftThumbstickButton,   // optional
    RightThumbstickButton,  // optional
};

enum class GamepadAxis : std::uint8_t {
    LeftThumbstickX,
    LeftThumbstickY,
    RightThumbstickX,
    RightThumbstickY,
    LeftTrigger,
    RightTrigger,
    DpadX,
    DpadY,
};

struct ButtonSource {
    GamepadButton element;
    std::string_view property;  // the GCExtendedGamepad property, for diagnostics and tests
};

struct AxisSource {
    GamepadAxis element;
    std::string_view property;
    // GameController's y axes grow upward; the engine's grow downward.
    bool negated;
};

// Snapshot button i is read from kButtonSources[i], snapshot axis i from kAxisSources[i].
inline constexpr std::array<ButtonSource, kSnapshotButtons> kButtonSources = {{
    {GamepadButton::A, "buttonA"},
    {GamepadButton::B, "buttonB"},
    {GamepadButton::X, "buttonX"},
    {GamepadButton::Y, "buttonY"},
    {GamepadButton::LeftShoulder, "leftShoulder"},
    {GamepadButton::RightShoulder, "rightShoulder"},
    {GamepadButton::Options, "buttonOptions"},
    {GamepadButton::Menu, "buttonMenu"},
    {GamepadButton::Home, "buttonHome"},
    {GamepadButton::LeftThumbstickButton, "leftThumbstickButton"},
    {GamepadButton::RightThumbstickButton, "rightThumbstickButton"},
}};

inline constexpr std::array<AxisSource, kSnapshotAxes> kAxisSources = {{
    {GamepadAxis::LeftThumbstickX, "leftThumbstick.xAxis", false},
    {GamepadAxis::LeftThumbstickY, "leftThumbstick.yAxis", true},
    {GamepadAxis::RightThumbstickX, "rightThumbstick.xAxis", false},
    {GamepadAxis::RightThumbstickY, "rightThumbstick.yAxis", true},
    {GamepadAxis::LeftTrigger, "leftTrigger", false},
    {GamepadAxis::RightTrigger, "rightTrigger", false},
    {GamepadAxis::DpadX, "dpad.xAxis", false},
    {GamepadAxis::DpadY, "dpad.yAxis", true},
}};

// What the adapter reads from one GCExtendedGamepad: whether a button is pressed (none when the
// profile lacks it) and an element's value as the framework reports it.
struct GamepadReader {
    std::function<std::optional<bool>(GamepadButton)> pressed;
    std::function<float(GamepadAxis)> value;
};

// One snapshot from the elements: a missing button reads released, y axes are turned so that
// down is positive, and a value outside its range (or not a number) is brought into it, so the
// engine never sees more than full deflection.
[[nodiscard]] ControllerSnapshot read_snapshot(const GamepadReader& reader);

// GCSystemGestureStateDisabled: the system leaves the home button to the program.
inline constexpr long kSystemGestureStateDisabled = 2;

}  // namespace thumbrover
