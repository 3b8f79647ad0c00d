#include "core/bindings/actions.hpp"

#include "core/bindings/unicode_text.hpp"

namespace thumbrover {
namespace {

constexpr std::array<FixedActionInfo, kFixedActionCount> kFixedActions{{
    {ActionKind::None, "none", "Nothing"},
    {ActionKind::LeftClick, "left-click", "Left click"},
    {ActionKind::RightClick, "right-click", "Right click"},
    {ActionKind::MiddleClick, "middle-click", "Middle click"},
    {ActionKind::PreciseMode, "precise-mode", "Precise pointer mode"},
    {ActionKind::AppSwitcher, "app-switcher", "Switch apps"},
    {ActionKind::Launcher, "launcher", "Launcher / Spotlight"},
    {ActionKind::MissionControl, "mission-control", "Mission Control / Overview"},
    {ActionKind::OnScreenKeyboard, "on-screen-keyboard", "On-screen keyboard (Linux)"},
    {ActionKind::PlayPause, "play-pause", "Play / pause"},
    {ActionKind::NextTrack, "next-track", "Next track"},
    {ActionKind::PreviousTrack, "previous-track", "Previous track"},
    {ActionKind::VolumeUp, "volume-up", "Volume up"},
    {ActionKind::VolumeDown, "volume-down", "Volume down"},
    {ActionKind::Mute, "mute", "Mute"},
}};

[[nodiscard]] const FixedActionInfo* find_fixed(ActionKind kind) {
    for (const FixedActionInfo& row : kFixedActions)
        if (row.kind == kind) return &row;
    return nullptr;
}

}  // namespace

const std::array<FixedActionInfo, kFixedActionCount>& fixed_actions() {
    return kFixedActions;
}

std::optional<Action> parse_action(std::string_view text) {
    const std::string_view t = unicode_text::trim(text);
    if (t.empty()) return Action(ActionKind::None);
    for (const FixedActionInfo& row : kFixedActions)
        if (row.name == t) return Action(row.kind);
    if (t == kShiftActionName) return Action(ActionKind::Shift);
    std::optional<Shortcut> shortcut = parse_shortcut(t);
    if (!shortcut) return std::nullopt;
    return Action(std::move(*shortcut));
}

std::string action_name(const Action& action) {
    if (action.is_shortcut()) return shortcut_name(action.shortcut);
    if (is_shift(action)) return std::string(kShiftActionName);
    const FixedActionInfo* row = find_fixed(action.kind);
    // Only a kind forged by a cast has no row; it is written as nothing rather than as garbage.
    return std::string(row != nullptr ? row->name : "none");
}

std::string action_label(const Action& action) {
    if (action.is_shortcut()) return "Key: " + shortcut_label(action.shortcut);
    if (is_shift(action)) return std::string(kShiftActionLabel);
    const FixedActionInfo* row = find_fixed(action.kind);
    return std::string(row != nullptr ? row->label : "Nothing");
}

}  // namespace thumbrover
