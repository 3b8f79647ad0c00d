#include "core/bindings/actions.hpp"

#include "core/bindings/labels.hpp"
#include "core/bindings/unicode_text.hpp"

namespace thumbrover {
namespace {

constexpr std::array<FixedActionInfo, kFixedActionCount> kFixedActions{{
    {ActionKind::None, "none"},
    {ActionKind::LeftClick, "left-click"},
    {ActionKind::RightClick, "right-click"},
    {ActionKind::MiddleClick, "middle-click"},
    {ActionKind::PreciseMode, "precise-mode"},
    {ActionKind::AppSwitcher, "app-switcher"},
    {ActionKind::Launcher, "launcher"},
    {ActionKind::MissionControl, "mission-control"},
    {ActionKind::OnScreenKeyboard, "on-screen-keyboard"},
    {ActionKind::PlayPause, "play-pause"},
    {ActionKind::NextTrack, "next-track"},
    {ActionKind::PreviousTrack, "previous-track"},
    {ActionKind::VolumeUp, "volume-up"},
    {ActionKind::VolumeDown, "volume-down"},
    {ActionKind::Mute, "mute"},
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

std::string action_label(const Action& action, const PlatformLabels& labels) {
    if (action.is_shortcut()) return "Key: " + shortcut_label(action.shortcut, labels);
    if (is_shift(action)) return std::string(kShiftActionLabel);
    const FixedActionInfo* row = find_fixed(action.kind);
    if (row == nullptr) return std::string(labels.actions[0]);
    return std::string(labels.actions[action_kind_number(row->kind)]);
}

}  // namespace thumbrover
