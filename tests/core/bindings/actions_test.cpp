#include "core/bindings/actions.hpp"

#include "core/bindings/labels.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace thumbrover {
namespace {

Action shortcut_action(std::vector<Key> modifiers, Key key) {
    return Action(make_shortcut(std::move(modifiers), key));
}

TEST(Actions, FixedTableOrderNamesLabelsAndKinds) {
    struct Row {
        ActionKind kind;
        std::uint8_t number;
        const char* name;
        const char* mac_label;
        const char* linux_label;
    };
    const Row expected[] = {
        {ActionKind::None, 0, "none", "Nothing", "Nothing"},
        {ActionKind::LeftClick, 1, "left-click", "Left click", "Left click"},
        {ActionKind::RightClick, 2, "right-click", "Right click", "Right click"},
        {ActionKind::MiddleClick, 3, "middle-click", "Middle click", "Middle click"},
        {ActionKind::PreciseMode, 4, "precise-mode", "Precise pointer mode",
         "Precise pointer mode"},
        {ActionKind::AppSwitcher, 5, "app-switcher", "Switch apps", "Switch apps"},
        {ActionKind::Launcher, 6, "launcher", "Launcher / Spotlight", "App launcher"},
        {ActionKind::MissionControl, 8, "mission-control", "Mission Control / Overview",
         "Overview"},
        {ActionKind::OnScreenKeyboard, 7, "on-screen-keyboard", "On-screen keyboard (Linux)",
         "On-screen keyboard"},
        {ActionKind::PlayPause, 9, "play-pause", "Play / pause", "Play / pause"},
        {ActionKind::NextTrack, 10, "next-track", "Next track", "Next track"},
        {ActionKind::PreviousTrack, 11, "previous-track", "Previous track", "Previous track"},
        {ActionKind::VolumeUp, 12, "volume-up", "Volume up", "Volume up"},
        {ActionKind::VolumeDown, 13, "volume-down", "Volume down", "Volume down"},
        {ActionKind::Mute, 14, "mute", "Mute", "Mute"},
    };
    const auto& table = fixed_actions();
    ASSERT_EQ(table.size(), std::size(expected));
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Row& row = expected[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(table[i].kind, row.kind);
        EXPECT_EQ(table[i].name, row.name);
        EXPECT_EQ(action_kind_number(row.kind), row.number);

        const Action action(row.kind);
        EXPECT_EQ(action_name(action), row.name);
        EXPECT_EQ(action_label(action, mac_labels()), row.mac_label);
        EXPECT_EQ(action_label(action, linux_labels()), row.linux_label);
        EXPECT_EQ(parse_action(row.name), action);
    }
    EXPECT_EQ(action_kind_number(ActionKind::Shortcut), 15);
}

TEST(Actions, ParseTexts) {
    struct Case {
        const char* text;
        std::optional<Action> action;
    };
    const Key meta(KeyKind::Meta);
    const Case cases[] = {
        {"", Action(ActionKind::None)},
        {"   ", Action(ActionKind::None)},
        {"\t\u3000\n", Action(ActionKind::None)},
        {"none", Action(ActionKind::None)},
        {" none ", Action(ActionKind::None)},
        {" left-click ", Action(ActionKind::LeftClick)},
        {"\u00A0mute\u00A0", Action(ActionKind::Mute)},
        {"mute", Action(ActionKind::Mute)},
        {"on-screen-keyboard", Action(ActionKind::OnScreenKeyboard)},
        {"CMD+W", shortcut_action({meta}, Key::letter('w'))},
        {" cmd + w ", shortcut_action({meta}, Key::letter('w'))},
        {"escape", shortcut_action({}, Key(KeyKind::Esc))},
        {"ESC", shortcut_action({}, Key(KeyKind::Esc))},
        {"page-up", shortcut_action({}, Key(KeyKind::PageUp))},
        {"shift", shortcut_action({}, Key(KeyKind::Shift))},
        {"f5", shortcut_action({}, Key::function(5))},
        {"Left-click", std::nullopt},
        {"LEFT-CLICK", std::nullopt},
        {"None", std::nullopt},
        {"NONE", std::nullopt},
        {"Mute", std::nullopt},
        {"playpause", std::nullopt},
        {"play pause", std::nullopt},
        {"hold", std::nullopt},
        {"left_click", std::nullopt},
        {"ctrl+", std::nullopt},
        {"+w", std::nullopt},
        {"ctrl++", std::nullopt},
        {"a+b", std::nullopt},
        {"f25", std::nullopt},
        {"cmd+mute", std::nullopt},
        {"ctrl+=", shortcut_action({Key(KeyKind::Ctrl)}, Key::symbol('='))},
        {"ctrl+minus", shortcut_action({Key(KeyKind::Ctrl)}, Key::symbol('-'))},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse_action(c.text), c.action) << '"' << c.text << '"';
}

TEST(Actions, ShortcutNamesAndLabels) {
    struct Case {
        const char* text;
        const char* name;
        const char* label;
        const char* linux_label;
    };
    const Case cases[] = {
        {"cmd+shift+t", "shift+cmd+t", "Key: \u21E7\u2318T", "Key: Shift+Super+T"},
        {"command+option+esc", "alt+cmd+escape", "Key: \u2325\u2318Esc", "Key: Alt+Super+Esc"},
        {"escape", "escape", "Key: Esc", "Key: Esc"},
        {"up", "up", "Key: \u2191", "Key: Up"},
        {"return", "enter", "Key: Return", "Key: Enter"},
        {"ctrl+backspace", "ctrl+backspace", "Key: \u2303\u232B", "Key: Ctrl+Backspace"},
        {"5", "5", "Key: 5", "Key: 5"},
        {"tab", "tab", "Key: Tab", "Key: Tab"},
        {"space", "space", "Key: Space", "Key: Space"},
        {"page-down", "page-down", "Key: Page Down", "Key: Page Down"},
        {"ctrl+=", "ctrl+equal", "Key: \u2303=", "Key: Ctrl+="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<Action> action = parse_action(c.text);
        ASSERT_TRUE(action.has_value());
        EXPECT_TRUE(action->is_shortcut());
        EXPECT_EQ(action_name(*action), c.name);
        EXPECT_EQ(action_label(*action, mac_labels()), c.label);
        EXPECT_EQ(action_label(*action, linux_labels()), c.linux_label);
        EXPECT_EQ(parse_action(action_name(*action)), action);
    }
}

TEST(Actions, ComparisonIgnoresTheShortcutOfFixedKinds) {
    Action a(ActionKind::LeftClick);
    a.shortcut = make_shortcut({}, Key::letter('q'));
    EXPECT_EQ(a, Action(ActionKind::LeftClick));
    EXPECT_NE(Action(ActionKind::LeftClick), Action(ActionKind::RightClick));
    EXPECT_NE(key_action(Key::letter('a')), key_action(Key::letter('b')));
    EXPECT_NE(key_action(Key::letter('a')),
              shortcut_action({Key(KeyKind::Shift)}, Key::letter('a')));
    EXPECT_LT(Action(ActionKind::Mute), key_action(Key(KeyKind::Up)));
    EXPECT_LT(key_action(Key(KeyKind::Up)), key_action(Key(KeyKind::Down)));

    // Copies own their modifier list.
    Action original = shortcut_action({Key(KeyKind::Ctrl)}, Key::letter('c'));
    const Action copy = original;
    original.shortcut.modifiers.push_back(Key(KeyKind::Meta));
    EXPECT_EQ(copy.shortcut.modifiers.size(), 1u);
    EXPECT_NE(copy, original);
}

}  // namespace
}  // namespace thumbrover
