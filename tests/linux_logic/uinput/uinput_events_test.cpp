#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "linux/uinput_events.hpp"

namespace thumbrover {
namespace {

using Events = std::vector<EvdevEvent>;

constexpr EvdevEvent kSyn{EV_SYN, SYN_REPORT, 0};

OutputCommand cmd(CommandKind kind, std::uint8_t p1 = 0, std::uint8_t p2 = 0, std::int32_t a = 0,
                  std::int32_t b = 0) {
    return {kind, p1, p2, a, b};
}

OutputCommand key_cmd(CommandKind kind, KeyKind key, std::uint8_t param = 0) {
    return cmd(kind, key_kind_number(key), param);
}

EvdevEvent key(std::uint16_t code, int value) {
    return {EV_KEY, code, value};
}

EvdevEvent rel(std::uint16_t code, int value) {
    return {EV_REL, code, value};
}

KeyboardLayout compiled(const std::string& layout, const std::string& variant = "") {
    auto made = KeyboardLayout::compile({layout, variant});
    EXPECT_TRUE(made.ok()) << (made.ok() ? "" : made.error());
    return made.ok() ? std::move(made).value() : KeyboardLayout{};
}

// A run of commands from a fresh output; the events of the last command, by device.
struct Case {
    std::string name;
    std::vector<OutputCommand> before;
    OutputCommand command;
    Events pointer;
    Events keyboard;
    bool fails = false;
};

TEST(UinputEvents, EachCommandBecomesItsExactEventSequence) {
    const auto down = [](std::uint16_t code) { return Events{key(code, 1), kSyn}; };
    const auto up = [](std::uint16_t code) { return Events{key(code, 0), kSyn}; };
    const auto cat = [](std::initializer_list<Events> parts) {
        Events all;
        for (const Events& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const OutputCommand hold_ctrl = key_cmd(CommandKind::KeyDown, KeyKind::Ctrl);
    const OutputCommand hold_meta = key_cmd(CommandKind::KeyDown, KeyKind::Meta);
    const OutputCommand left_down = cmd(CommandKind::ButtonDown, 0);
    const Case cases[] = {
        {"motion in one report",
         {},
         cmd(CommandKind::Move, 0, 0, 5, -3),
         {rel(REL_X, 5), rel(REL_Y, -3), kSyn},
         {}},
        {"vertical-only motion", {}, cmd(CommandKind::Move, 0, 0, 0, 7), {rel(REL_Y, 7), kSyn}, {}},
        {"no motion, no report", {}, cmd(CommandKind::Move), {}, {}},
        {"drag: motion while held",
         {left_down},
         cmd(CommandKind::Move, 0, 0, 2, 0),
         {rel(REL_X, 2), kSyn},
         {}},
        {"a part of a notch is high-resolution only",
         {},
         cmd(CommandKind::Scroll, 0, 0, 40, 0),
         {rel(REL_WHEEL_HI_RES, 40), kSyn},
         {}},
        {"the notch comes when 120 units are reached",
         {cmd(CommandKind::Scroll, 0, 0, 80, 0)},
         cmd(CommandKind::Scroll, 0, 0, 60, 0),
         {rel(REL_WHEEL_HI_RES, 60), rel(REL_WHEEL, 1), kSyn},
         {}},
        {"a reversal spends the carry first",
         {cmd(CommandKind::Scroll, 0, 0, 100, 0)},
         cmd(CommandKind::Scroll, 0, 0, -230, 0),
         {rel(REL_WHEEL_HI_RES, -230), rel(REL_WHEEL, -1), kSyn},
         {}},
        {"horizontal keeps its sign",
         {},
         cmd(CommandKind::Scroll, 0, 0, 0, -240),
         {rel(REL_HWHEEL_HI_RES, -240), rel(REL_HWHEEL, -2), kSyn},
         {}},
        {"an enormous scroll is bounded",
         {},
         cmd(CommandKind::Scroll, 0, 0, 2'000'000'000, 0),
         {rel(REL_WHEEL_HI_RES, 7680), rel(REL_WHEEL, 64), kSyn},
         {}},
        {"press", {}, cmd(CommandKind::ButtonDown, 1), down(BTN_RIGHT), {}},
        {"second press of a held button", {left_down}, left_down, {}, {}},
        {"release of a button never pressed", {}, cmd(CommandKind::ButtonUp, 2), {}, {}},
        {"click: two reports",
         {},
         cmd(CommandKind::Click, 2),
         cat({down(BTN_MIDDLE), up(BTN_MIDDLE)}),
         {}},
        {"unknown button", {}, cmd(CommandKind::Click, 3), {}, {}, true},
        {"letter tap",
         {},
         key_cmd(CommandKind::KeyTap, KeyKind::Letter, 'w'),
         {},
         cat({down(KEY_W), up(KEY_W)})},
        {"shortcut: ctrl held, then w",
         {hold_ctrl},
         key_cmd(CommandKind::KeyTap, KeyKind::Letter, 'w'),
         {},
         cat({down(KEY_W), up(KEY_W)})},
        {"modifier down", {}, hold_ctrl, {}, down(KEY_LEFTCTRL)},
        {"a modifier held twice goes down once", {hold_ctrl}, hold_ctrl, {}, {}},
        {"F11 is not after F10",
         {},
         key_cmd(CommandKind::KeyDown, KeyKind::F, 11),
         {},
         down(KEY_F11)},
        {"media key",
         {},
         key_cmd(CommandKind::KeyTap, KeyKind::PlayPause),
         {},
         cat({down(KEY_PLAYPAUSE), up(KEY_PLAYPAUSE)})},
        {"volume key held",
         {},
         key_cmd(CommandKind::KeyDown, KeyKind::VolumeUp),
         {},
         down(KEY_VOLUMEUP)},
        {"release of a key never pressed", {}, key_cmd(CommandKind::KeyUp, KeyKind::Esc), {}, {}},
        {"key outside the vocabulary", {}, cmd(CommandKind::KeyTap, 14, 'A'), {}, {}, true},
        {"switcher holds alt", {}, cmd(CommandKind::HoldCommand, 1), {}, down(KEY_LEFTALT)},
        {"switcher tab",
         {cmd(CommandKind::HoldCommand, 1)},
         cmd(CommandKind::SwitcherTab),
         {},
         cat({down(KEY_TAB), up(KEY_TAB)})},
        {"switcher lets go of alt",
         {cmd(CommandKind::HoldCommand, 1)},
         cmd(CommandKind::HoldCommand, 0),
         {},
         up(KEY_LEFTALT)},
        {"switcher keeps a user's alt",
         {key_cmd(CommandKind::KeyDown, KeyKind::Alt), cmd(CommandKind::HoldCommand, 1)},
         cmd(CommandKind::HoldCommand, 0),
         {},
         {}},
        {"launcher taps super",
         {},
         cmd(CommandKind::Launcher),
         {},
         cat({down(KEY_LEFTMETA), up(KEY_LEFTMETA)})},
        {"launcher with super held leaves it held",
         {hold_meta},
         cmd(CommandKind::Launcher),
         {},
         cat({up(KEY_LEFTMETA), down(KEY_LEFTMETA)})},
        {"not an input event", {}, cmd(CommandKind::Rumble), {}, {}, true},
    };
    for (const Case& c : cases) {
        UinputEvents events(compiled("us"));
        EvdevBatch batch;
        for (const OutputCommand& before : c.before)
            ASSERT_TRUE(events.translate(before, batch).ok()) << c.name;
        batch.clear();
        EXPECT_EQ(events.translate(c.command, batch).ok(), !c.fails) << c.name;
        EXPECT_EQ(batch.pointer, c.pointer) << c.name;
        EXPECT_EQ(batch.keyboard, c.keyboard) << c.name;
    }
}

TEST(UinputEvents, ReleaseAllLetsGoOfKeysModifiersTheSwitcherAndButtons) {
    UinputEvents events(compiled("us"));
    EvdevBatch batch;
    for (const OutputCommand& c :
         {key_cmd(CommandKind::KeyDown, KeyKind::Shift),
          key_cmd(CommandKind::KeyDown, KeyKind::Shift), cmd(CommandKind::HoldCommand, 1),
          key_cmd(CommandKind::KeyDown, KeyKind::Letter, 'q'), cmd(CommandKind::ButtonDown, 0),
          cmd(CommandKind::ButtonDown, 2)})
        ASSERT_TRUE(events.translate(c, batch).ok());
    batch.clear();
    events.release_all(batch);
    EXPECT_EQ(batch.keyboard, (Events{key(KEY_Q, 0), kSyn, key(KEY_LEFTSHIFT, 0), kSyn,
                                      key(KEY_LEFTALT, 0), kSyn}));
    EXPECT_EQ(batch.pointer, (Events{key(BTN_LEFT, 0), kSyn, key(BTN_MIDDLE, 0), kSyn}));
    batch.clear();
    events.release_all(batch);
    EXPECT_TRUE(batch.keyboard.empty() && batch.pointer.empty());
}

TEST(UinputEvents, ShiftOrAltGrIsPressedAroundAShiftedDigitUnlessAModifierIsHeld) {
    UinputEvents events(compiled("fr"));
    EvdevBatch batch;
    ASSERT_TRUE(events.translate(key_cmd(CommandKind::KeyTap, KeyKind::Digit, 1), batch).ok());
    EXPECT_EQ(batch.keyboard, (Events{key(KEY_LEFTSHIFT, 1), kSyn, key(KEY_1, 1), kSyn,
                                      key(KEY_LEFTSHIFT, 0), kSyn, key(KEY_1, 0), kSyn}));
    batch.clear();
    // Ctrl+1 on AZERTY is the key of 1 with Ctrl, as desktops match shortcuts by key.
    ASSERT_TRUE(events.translate(key_cmd(CommandKind::KeyDown, KeyKind::Ctrl), batch).ok());
    ASSERT_TRUE(events.translate(key_cmd(CommandKind::KeyTap, KeyKind::Digit, 1), batch).ok());
    EXPECT_EQ(batch.keyboard,
              (Events{key(KEY_LEFTCTRL, 1), kSyn, key(KEY_1, 1), kSyn, key(KEY_1, 0), kSyn}));

    UinputEvents lithuanian(compiled("lt"));
    batch.clear();
    ASSERT_TRUE(lithuanian.translate(key_cmd(CommandKind::KeyTap, KeyKind::Digit, 1), batch).ok());
    EXPECT_EQ(batch.keyboard, (Events{key(KEY_RIGHTALT, 1), kSyn, key(KEY_1, 1), kSyn,
                                      key(KEY_RIGHTALT, 0), kSyn, key(KEY_1, 0), kSyn}));
}

struct LookupCase {
    const char* layout;
    const char* variant;
    char character;  // a letter, or a digit character
    KeyStroke stroke;
};

TEST(KeyboardLayout, FindsTheKeyThatTypesEachCharacter) {
    const LookupCase cases[] = {
        {"us", "", 'w', {KEY_W}},
        {"us", "", 'a', {KEY_A}},
        {"us", "", '1', {KEY_1}},
        {"us", "", '0', {KEY_0}},
        {"de", "", 'z', {KEY_Y}},
        {"de", "", 'y', {KEY_Z}},
        {"de", "", 'w', {KEY_W}},
        {"de", "", '7', {KEY_7}},
        {"fr", "", 'w', {KEY_Z}},
        {"fr", "", 'a', {KEY_Q}},
        {"fr", "", 'q', {KEY_A}},
        {"fr", "", 'm', {KEY_SEMICOLON}},
        {"fr", "", '1', {KEY_1, true, false}},
        {"fr", "", '0', {KEY_0, true, false}},
        {"us", "dvorak", 'w', {KEY_COMMA}},
        {"us", "dvorak", 's', {KEY_SEMICOLON}},
        {"us", "dvorak", 'a', {KEY_A}},
        {"us", "dvorak", '5', {KEY_5}},
        // Lithuanian keeps its digits behind AltGr.
        {"lt", "", '1', {KEY_1, false, true}},
    };
    for (const LookupCase& c : cases) {
        const KeyboardLayout layout = compiled(c.layout, c.variant);
        const bool is_digit = c.character >= '0' && c.character <= '9';
        const auto stroke = is_digit ? layout.digit(static_cast<std::uint8_t>(c.character - '0'))
                                     : layout.letter(c.character);
        const std::string where = std::string(c.layout) + "(" + c.variant + ") " + c.character;
        ASSERT_TRUE(stroke.has_value()) << where;
        EXPECT_EQ(*stroke, c.stroke) << where << " gave " << stroke->code;
    }
    EXPECT_EQ(compiled("de").level3_key(), KEY_RIGHTALT);
    EXPECT_EQ(compiled("us").level3_key(), 0);
}

TEST(KeyboardLayout, ALayoutWithoutLatinLettersCannotTypeThemAndAnUnknownOneFails) {
    const KeyboardLayout russian = compiled("ru");
    EXPECT_FALSE(russian.letter('w').has_value());
    UinputEvents events{KeyboardLayout(russian)};
    EvdevBatch batch;
    const auto tap = key_cmd(CommandKind::KeyTap, KeyKind::Letter, 'w');
    const auto result = events.translate(tap, batch);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error(), "could not create an input event");
    const auto unknown = KeyboardLayout::compile({"zz", "nope"});
    ASSERT_FALSE(unknown.ok());
    EXPECT_EQ(unknown.error(), "unknown keyboard layout \"zz(nope)\"");
}

TEST(ChooseLayout, TheEnvironmentThenLocaledThenUs) {
    struct LayoutCase {
        std::optional<std::string_view> env_layout;
        std::optional<std::string_view> env_variant;
        std::optional<LayoutNames> localed;
        LayoutNames expected;
    };
    const LayoutCase cases[] = {
        {"de", "nodeadkeys", LayoutNames{"fr", ""}, {"de", "nodeadkeys"}},
        {"fr,us", ",dvorak", std::nullopt, {"fr", ""}},
        {"", "dvorak", LayoutNames{"us", "dvorak"}, {"us", "dvorak"}},
        {std::nullopt, std::nullopt, LayoutNames{"de,us", "nodeadkeys,"}, {"de", "nodeadkeys"}},
        {std::nullopt, std::nullopt, LayoutNames{"", ""}, {"us", ""}},
        {std::nullopt, std::nullopt, std::nullopt, {"us", ""}},
    };
    for (const LayoutCase& c : cases)
        EXPECT_EQ(choose_layout(c.env_layout, c.env_variant, c.localed), c.expected)
            << c.expected.layout;
}

}  // namespace
}  // namespace thumbrover
