#include "core/ui/buttons_window.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "recording_effects.hpp"

namespace thumbrover {
namespace {

using testing::RecordingEffects;
using Update = ButtonsWindowModel::Update;

std::vector<std::string> titles(const std::vector<Choice>& choices) {
    std::vector<std::string> out;
    for (const Choice& c : choices)
        out.push_back(c.kind == ChoiceKind::Separator ? "---" : c.title);
    return out;
}

const std::vector<std::string> kOffered = {
    "Nothing",
    "Left click",
    "Right click",
    "Middle click",
    "Precise pointer mode",
    "Switch apps",
    "Launcher / Spotlight",
    "Mission Control / Overview",
    "Play / pause",
    "Next track",
    "Previous track",
    "Volume up",
    "Volume down",
    "Mute",
    "---",
    "Key: Esc",
    "Key: Return",
    "Key: Space",
    "Key: Tab",
    "Key: \u232b",
    "Key: \u2191",
    "Key: \u2193",
    "Key: \u2190",
    "Key: \u2192",
};

std::vector<std::string> offered_plus(std::vector<std::string> extra) {
    std::vector<std::string> out = kOffered;
    out.insert(out.end(), extra.begin(), extra.end());
    out.push_back("---");
    out.push_back("Other key or shortcut\u2026");
    return out;
}

Action parsed(const char* text) {
    std::optional<Action> action = parse_action(text);
    EXPECT_TRUE(action.has_value()) << text;
    return action.value_or(Action{});
}

TEST(BindingChoices, TheCurrentBindingIsListedExactlyOnceAndSelected) {
    struct Case {
        const char* binding;
        std::vector<std::string> extra;
        std::size_t selected;
    };
    const Case cases[] = {
        {"left-click", {}, 1},
        {"none", {}, 0},
        {"escape", {}, 15},
        {"return", {}, 16},  // an alias of a listed key
        {"right", {}, 23},
        {"cmd+w", {"Key: \u2318W"}, 24},
        {"CMD + W", {"Key: \u2318W"}, 24},
        {"on-screen-keyboard", {"On-screen keyboard (Linux)"}, 24},
        {"shift+escape", {"Key: \u21e7Esc"}, 24},
        {"f5", {"Key: F5"}, 24},
    };
    for (const Case& c : cases) {
        const Action current = parsed(c.binding);
        const std::vector<Choice> choices = binding_choices(current, {}, false, mac_labels());
        EXPECT_EQ(titles(choices), offered_plus(c.extra)) << c.binding;
        const std::size_t selected = choice_index(choices, current);
        EXPECT_EQ(selected, c.selected) << c.binding;
        EXPECT_EQ(choices[selected].action, current) << c.binding;
        EXPECT_EQ(choices.back().kind, ChoiceKind::OtherKey);
    }
}

TEST(BindingChoices, APlatformThatOpensItsOnScreenKeyboardOffersIt) {
    std::vector<std::string> with_keyboard = offered_plus({});
    with_keyboard.insert(with_keyboard.begin() + 7, "On-screen keyboard (Linux)");
    const struct {
        const char* binding;
        OfferedActions offered;
        std::vector<std::string> titles;
        std::size_t selected;
    } cases[] = {
        {"none", {}, offered_plus({}), 0},
        {"none", {.on_screen_keyboard = true}, with_keyboard, 0},
        // Offered, it is listed once in its place rather than as an extra entry.
        {"on-screen-keyboard", {.on_screen_keyboard = true}, with_keyboard, 7},
        {"on-screen-keyboard", {}, offered_plus({"On-screen keyboard (Linux)"}), 24},
        {"mission-control", {.on_screen_keyboard = true}, with_keyboard, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.binding) + (c.offered.on_screen_keyboard ? ", offered" : ""));
        const Action current = parsed(c.binding);
        const std::vector<Choice> choices =
            binding_choices(current, c.offered, false, mac_labels());
        EXPECT_EQ(titles(choices), c.titles);
        EXPECT_EQ(choice_index(choices, current), c.selected);
    }
}

TEST(BindingTags, PressAndHoldOfEveryButtonButNoXboxHold) {
    EXPECT_EQ(binding_tag(Button::Xbox, BindingSide::Press), 32);
    EXPECT_EQ(binding_tag(Button::B, BindingSide::Hold), 3);
    for (Button button : all_buttons()) {
        for (BindingSide side : {BindingSide::Press, BindingSide::Hold}) {
            const std::optional<BindingSlot> slot = binding_slot(binding_tag(button, side));
            if (button == Button::Xbox && side == BindingSide::Hold) {
                EXPECT_FALSE(slot.has_value());
            } else {
                ASSERT_TRUE(slot.has_value());
                EXPECT_EQ(*slot, (BindingSlot{button, side}));
            }
        }
    }
    for (std::int64_t tag : {std::int64_t{-1}, std::int64_t{34}, kLeftStickTag})
        EXPECT_FALSE(binding_slot(tag).has_value()) << tag;
}

struct ButtonsWindow : ::testing::Test {
    RecordingEffects effects;
    SettingsStore store{effects};
    ButtonsWindowModel model{store, {}, nullptr, mac_labels()};

    // The macOS virtual key codes of the keys these tests press.
    KeyCodeTable table = [](std::uint32_t code) -> std::optional<Key> {
        static const std::map<std::uint32_t, Key> codes = {
            {17, Key::letter('t')},       {53, Key(KeyKind::Esc)}, {13, Key::letter('w')},
            {55, Key(KeyKind::Meta)},     {122, Key::function(1)}, {29, Key::digit(0)},
            {200, Key(KeyKind::VolumeUp)}};
        auto it = codes.find(code);
        if (it == codes.end()) return std::nullopt;
        return it->second;
    };

    void SetUp() override { model.open(); }

    const ButtonsWindowModel::Popup& popup(Button button, BindingSide side) {
        const ButtonsWindowModel::Popup* p = model.binding_popup(binding_tag(button, side));
        EXPECT_NE(p, nullptr);
        static const ButtonsWindowModel::Popup empty;
        return p ? *p : empty;
    }
    const Choice& selected(Button button, BindingSide side) {
        const auto& p = popup(button, side);
        return p.choices.at(p.selected);
    }
    void start_capture(Button button, BindingSide side) {
        const auto& p = popup(button, side);
        ASSERT_EQ(model.binding_changed(binding_tag(button, side),
                                        static_cast<std::int64_t>(p.choices.size() - 1)),
                  Update::CaptureStarted);
    }
};

TEST_F(ButtonsWindow, OpeningReadsTheFileAndListsEveryPopup) {
    effects.file.buttons[0].press = parsed("cmd+w");
    effects.file.right_stick = StickRole::None;
    model.open();
    EXPECT_EQ(selected(Button::A, BindingSide::Press).title, "Key: \u2318W");
    // Press pop-ups offer the shift action after Mute, so the extra entry comes one later.
    EXPECT_EQ(popup(Button::A, BindingSide::Press).selected, 25u);
    EXPECT_EQ(selected(Button::B, BindingSide::Hold).title, "Key: Esc");
    EXPECT_EQ(selected(Button::Xbox, BindingSide::Press).title, "Launcher / Spotlight");
    EXPECT_EQ(model.binding_popup(33), nullptr);
    EXPECT_EQ(model.stick_selection(Stick::Left), 0u);
    EXPECT_EQ(model.stick_selection(Stick::Right), 2u);
    EXPECT_TRUE(effects.saved.empty());
}

TEST_F(ButtonsWindow, ChoosingAnActionSavesItAndRebuilds) {
    const std::int64_t tag = binding_tag(Button::Y, BindingSide::Hold);
    EXPECT_EQ(model.binding_changed(tag, 13), Update::Popups);  // Mute
    EXPECT_EQ(binding_of(store.get().buttons, Button::Y).hold, Action(ActionKind::Mute));
    EXPECT_EQ(selected(Button::Y, BindingSide::Hold).title, "Mute");
    EXPECT_EQ(effects.calls, (std::vector<std::string>{"load", "save", "circle", "send"}));

    // Separators, entries past the end and pop-ups that do not exist do nothing.
    EXPECT_EQ(model.binding_changed(tag, 14), Update::Nothing);
    EXPECT_EQ(model.binding_changed(tag, 26), Update::Nothing);
    EXPECT_EQ(model.binding_changed(33, 1), Update::Nothing);
    EXPECT_EQ(model.binding_changed(99, 1), Update::Nothing);
    EXPECT_EQ(effects.saved.size(), 1u);

    // A negative index counts as the first entry.
    EXPECT_EQ(model.binding_changed(binding_tag(Button::A, BindingSide::Press), -1),
              Update::Popups);
    EXPECT_TRUE(binding_of(store.get().buttons, Button::A).press.is_none());
}

TEST(ButtonsWindowOffers, TheOfferedOnScreenKeyboardCanBeChosen) {
    RecordingEffects effects;
    SettingsStore store{effects};
    ButtonsWindowModel model{store, {.on_screen_keyboard = true}};
    model.open();
    const std::int64_t tag = binding_tag(Button::Y, BindingSide::Hold);
    EXPECT_EQ(model.binding_changed(tag, 7), Update::Popups);
    EXPECT_EQ(binding_of(store.get().buttons, Button::Y).hold,
              Action(ActionKind::OnScreenKeyboard));
    const ButtonsWindowModel::Popup* popup = model.binding_popup(tag);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->selected, 7u);
    EXPECT_EQ(popup->choices.size(), kOffered.size() + 3) << "listed once, in its place";
}

TEST_F(ButtonsWindow, CapturingCommandShiftT) {
    start_capture(Button::X, BindingSide::Hold);
    EXPECT_TRUE(model.capturing());
    EXPECT_EQ(model.prompt(), "Press the key or shortcut for X (hold). Esc cancels.");

    const KeyPress press{17, {Key(KeyKind::Meta), Key(KeyKind::Shift)}};
    EXPECT_EQ(model.key_captured(press, table), Update::CaptureEnded);
    EXPECT_FALSE(model.capturing());
    EXPECT_FALSE(model.prompt_visible());

    const Action& bound = binding_of(store.get().buttons, Button::X).hold;
    ASSERT_TRUE(bound.is_shortcut());
    EXPECT_EQ(bound.shortcut.modifiers,
              (std::vector<Key>{Key(KeyKind::Shift), Key(KeyKind::Meta)}));
    EXPECT_EQ(bound.shortcut.key, Key::letter('t'));
    EXPECT_EQ(action_name(bound), "shift+cmd+t");
    // Listed as an extra entry before the last separator, and selected.
    const auto& p = popup(Button::X, BindingSide::Hold);
    EXPECT_EQ(titles(p.choices), offered_plus({"Key: \u21e7\u2318T"}));
    EXPECT_EQ(p.selected, 24u);
    EXPECT_EQ(effects.saved.size(), 1u);
}

// The file names media keys as actions only, so a captured one binds its action.
TEST_F(ButtonsWindow, AMediaKeyBindsItsAction) {
    start_capture(Button::A, BindingSide::Press);
    EXPECT_EQ(model.key_captured({200, {Key(KeyKind::Shift)}}, table), Update::CaptureEnded);
    EXPECT_EQ(binding_of(store.get().buttons, Button::A).press, Action(ActionKind::VolumeUp));
}

TEST_F(ButtonsWindow, AnUnusableKeyKeepsTheCaptureAndPlainEscapeCancels) {
    start_capture(Button::A, BindingSide::Press);
    EXPECT_EQ(model.key_captured({10, {}}, table), Update::PromptChanged);  // § (ISO)
    EXPECT_TRUE(model.capturing());
    EXPECT_TRUE(model.prompt_visible());
    EXPECT_EQ(model.prompt(),
              "That key cannot be used yet. Try another one, or press Esc to cancel.");

    EXPECT_EQ(model.key_captured({53, {}}, table), Update::CaptureEnded);
    EXPECT_FALSE(model.capturing());
    EXPECT_EQ(binding_of(store.get().buttons, Button::A).press, Action(ActionKind::LeftClick));
    EXPECT_TRUE(effects.saved.empty());
    EXPECT_EQ(selected(Button::A, BindingSide::Press).title, "Left click");

    // No capture: keys are ignored.
    EXPECT_EQ(model.key_captured({17, {}}, table), Update::Nothing);
    EXPECT_TRUE(effects.saved.empty());
}

TEST_F(ButtonsWindow, CapturedKeysBecomeNormalisedShortcuts) {
    struct Case {
        KeyPress press;
        const char* bound;
    };
    const Case cases[] = {
        {{53, {Key(KeyKind::Shift)}}, "shift+escape"},
        {{55, {Key(KeyKind::Meta)}}, "cmd"},  // the modifier alone
        {{122, {Key(KeyKind::Alt), Key(KeyKind::Ctrl), Key(KeyKind::Alt)}}, "ctrl+alt+f1"},
        {{29, {Key::letter('q')}}, "0"},  // a non-modifier among the held keys is not one
    };
    for (const Case& c : cases) {
        start_capture(Button::Menu, BindingSide::Press);
        EXPECT_EQ(model.key_captured(c.press, table), Update::CaptureEnded);
        EXPECT_EQ(action_name(binding_of(store.get().buttons, Button::Menu).press), c.bound);
    }
}

TEST_F(ButtonsWindow, ANewCaptureReplacesTheOldAndOtherChoicesLeaveItRunning) {
    start_capture(Button::A, BindingSide::Press);
    start_capture(Button::DpadUp, BindingSide::Hold);
    EXPECT_EQ(model.capture(), (BindingSlot{Button::DpadUp, BindingSide::Hold}));
    EXPECT_EQ(model.prompt(), "Press the key or shortcut for D-pad up (hold). Esc cancels.");

    EXPECT_EQ(model.binding_changed(binding_tag(Button::B, BindingSide::Press), 13),
              Update::Popups);
    EXPECT_TRUE(model.capturing());

    model.key_captured({13, {Key(KeyKind::Ctrl)}}, table);
    EXPECT_EQ(action_name(binding_of(store.get().buttons, Button::DpadUp).hold), "ctrl+w");
    EXPECT_EQ(binding_of(store.get().buttons, Button::A).press, Action(ActionKind::LeftClick));

    start_capture(Button::A, BindingSide::Press);
    EXPECT_EQ(model.cancel_capture(), Update::CaptureEnded);
    EXPECT_EQ(model.cancel_capture(), Update::Nothing);
    EXPECT_EQ(model.key_captured({17, {}}, table), Update::Nothing);
}

TEST_F(ButtonsWindow, StickPopups) {
    EXPECT_EQ(stick_choice_titles(),
              (std::array<std::string_view, 3>{"Move the pointer", "Scroll", "Nothing"}));
    EXPECT_EQ(model.stick_changed(kLeftStickTag, 1), Update::Nothing);
    EXPECT_EQ(model.stick_changed(kRightStickTag, 2), Update::Nothing);
    model.stick_changed(kLeftStickTag, 3);  // past the end: ignored
    EXPECT_EQ(store.get().left_stick, StickRole::Scroll);
    EXPECT_EQ(store.get().right_stick, StickRole::None);
    EXPECT_EQ(effects.saved.size(), 2u);
    model.stick_changed(kRightStickTag, -4);
    EXPECT_EQ(store.get().right_stick, StickRole::Pointer);
}

TEST_F(ButtonsWindow, RestoreDefaultButtonsResetsBindingsAndSticksOnly) {
    model.stick_changed(kLeftStickTag, 1);
    model.binding_changed(binding_tag(Button::A, BindingSide::Press), 13);
    store.set_number(slider_specs()[0], 2000);

    EXPECT_EQ(model.restore_default_buttons(), Update::Popups);
    EXPECT_EQ(model.stick_selection(Stick::Left), 0u);
    EXPECT_EQ(stick_choice_titles()[model.stick_selection(Stick::Left)], "Move the pointer");
    EXPECT_EQ(selected(Button::A, BindingSide::Press).title, "Left click");
    EXPECT_EQ(store.get().buttons, default_bindings());
    EXPECT_EQ(store.get().pointer_speed, 2000.0f);
    EXPECT_EQ(effects.sent.back(), store.get());
}

}  // namespace
}  // namespace thumbrover
