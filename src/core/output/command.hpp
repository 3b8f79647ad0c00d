#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace thumbrover {

// What the engine asks the platform to do. Kinds 0..10 become input events; the rest are carried
// out by the executor itself. The numbers are part of the replay format and must not change.
enum class CommandKind : std::uint8_t {
    Move = 0,         // a = dx, b = dy, whole points
    Scroll = 1,       // a = vertical, b = horizontal, scroll units (3 units = 1 pixel)
    ButtonDown = 2,   // p1 = mouse button (0 left, 1 right, 2 middle)
    ButtonUp = 3,     // p1 = mouse button
    KeyDown = 4,      // p1 = key kind, p2 = key parameter
    KeyUp = 5,        // p1 = key kind, p2 = key parameter
    KeyTap = 6,       // p1 = key kind, p2 = key parameter
    Click = 7,        // p1 = mouse button
    HoldCommand = 8,  // p1 = 1 hold the switcher modifier, 0 release it
    SwitcherTab = 9,
    Launcher = 10,
    OnScreenKeyboard = 11,
    MissionControl = 12,
    SteeringCircle = 13,  // p1 = 1 show, 0 hide
    SetEnabled = 14,      // p1 = 1 on, 0 off
    Rumble = 15,
};

inline constexpr int kCommandKindCount = 16;

struct OutputCommand {
    CommandKind kind = CommandKind::Move;
    std::uint8_t p1 = 0;
    std::uint8_t p2 = 0;
    std::int32_t a = 0;
    std::int32_t b = 0;

    friend bool operator==(const OutputCommand&, const OutputCommand&) = default;
};

// The command's name as the replay tool prints it ("Move", "KeyTap", ...).
[[nodiscard]] constexpr std::string_view command_kind_name(CommandKind kind) {
    constexpr std::string_view names[kCommandKindCount] = {
        "Move",           "Scroll",         "ButtonDown", "ButtonUp",
        "KeyDown",        "KeyUp",          "KeyTap",     "Click",
        "HoldCommand",    "SwitcherTab",    "Launcher",   "OnScreenKeyboard",
        "MissionControl", "SteeringCircle", "SetEnabled", "Rumble",
    };
    const auto index = static_cast<std::uint8_t>(kind);
    return index < kCommandKindCount ? names[index] : std::string_view("Unknown");
}

[[nodiscard]] constexpr std::optional<CommandKind> command_kind_from_name(std::string_view name) {
    for (std::uint8_t i = 0; i < kCommandKindCount; ++i) {
        const auto kind = static_cast<CommandKind>(i);
        if (command_kind_name(kind) == name) return kind;
    }
    return std::nullopt;
}

}  // namespace thumbrover
