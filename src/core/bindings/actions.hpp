#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/bindings/keys.hpp"

namespace thumbrover {

// The numbers are handed on as bytes; never reorder.
enum class ActionKind : std::uint8_t {
    None = 0,
    LeftClick = 1,
    RightClick = 2,
    MiddleClick = 3,
    PreciseMode = 4,
    AppSwitcher = 5,
    Launcher = 6,
    OnScreenKeyboard = 7,
    MissionControl = 8,
    PlayPause = 9,
    NextTrack = 10,
    PreviousTrack = 11,
    VolumeUp = 12,
    VolumeDown = 13,
    Mute = 14,
    Shortcut = 15,
    // Held, it gives the other inputs their shifted actions; it performs nothing itself.
    Shift = 16,
};

inline constexpr std::size_t kFixedActionCount = 15;

[[nodiscard]] constexpr std::uint8_t action_kind_number(ActionKind kind) {
    return static_cast<std::uint8_t>(kind);
}

// A fixed action, or a key shortcut when `kind` is `ActionKind::Shortcut`. `shortcut` is only
// meaningful for that kind and ignored by comparisons otherwise.
struct Action {
    ActionKind kind = ActionKind::None;
    Shortcut shortcut;

    Action() = default;
    explicit Action(ActionKind k) : kind(k) {}
    explicit Action(Shortcut s) : kind(ActionKind::Shortcut), shortcut(std::move(s)) {}

    [[nodiscard]] bool is_none() const { return kind == ActionKind::None; }
    [[nodiscard]] bool is_shortcut() const { return kind == ActionKind::Shortcut; }

    friend bool operator==(const Action& a, const Action& b) {
        if (a.kind != b.kind) return false;
        return a.kind != ActionKind::Shortcut || a.shortcut == b.shortcut;
    }
    friend std::strong_ordering operator<=>(const Action& a, const Action& b) {
        if (auto c = a.kind <=> b.kind; c != 0) return c;
        if (a.kind != ActionKind::Shortcut) return std::strong_ordering::equal;
        return a.shortcut <=> b.shortcut;
    }
};

// A key action without modifiers ("escape", "up").
[[nodiscard]] inline Action key_action(Key key) {
    return Action(Shortcut{{}, key});
}

// The settings-file name of a fixed action; its label is the platform's (`PlatformLabels`).
struct FixedActionInfo {
    ActionKind kind;
    std::string_view name;
};

// The fifteen fixed actions in table order: none, left-click, right-click, middle-click,
// precise-mode, app-switcher, launcher, mission-control, on-screen-keyboard, play-pause,
// next-track, previous-track, volume-up, volume-down, mute. Mission Control comes before the
// on-screen keyboard here although their kind numbers are the other way round.
[[nodiscard]] const std::array<FixedActionInfo, kFixedActionCount>& fixed_actions();

// The shift action is no fixed action: the engine keeps it to itself, and it may stand only as
// the press action of an input of the main bindings. Its name is not plain "shift", which has
// always meant the Shift key.
inline constexpr std::string_view kShiftActionName = "shift-layer";
inline constexpr std::string_view kShiftActionLabel = "Shift (hold for the second actions)";

[[nodiscard]] inline bool is_shift(const Action& action) {
    return action.kind == ActionKind::Shift;
}

// Trims white space; "" and "none" give None; fixed names and the shift action's match
// case-sensitively; anything else must be a shortcut.
[[nodiscard]] std::optional<Action> parse_action(std::string_view text);
[[nodiscard]] std::string action_name(const Action& action);
[[nodiscard]] std::string action_label(const Action& action,
                                       const PlatformLabels& labels = native_labels());

}  // namespace thumbrover
