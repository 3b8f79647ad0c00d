#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

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

// A run of commands from a fresh output on a layout; the events of the last command, by device.
struct Case {
    std::string name;
    std::vector<OutputCommand> before;
    OutputCommand command;
    Events pointer;
    Events keyboard;
    bool fails = false;
    const char* layout = "us";
};

TEST(UinputEvents, EachCommandBecomesItsExactEventSequence) {
    const auto down = [](std::uint16_t code) { return Events{key(code, 1), kSyn}; };
    const auto up = [](std::uint16_t code) { return Events{key(code, 0), kSyn}; };
    const auto cat = [](Events a, const Events& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const auto tap = [&](std::uint16_t code) { return cat(down(code), up(code)); };
    // A key typed with a level modifier held around it.
    const auto with = [](std::uint16_t mod, std::uint16_t code) {
        return Events{key(mod, 1), kSyn, key(code, 1), kSyn, key(mod, 0), kSyn, key(code, 0), kSyn};
    };
    const auto move = [](int x, int y) { return cmd(CommandKind::Move, 0, 0, x, y); };
    const auto scroll = [](int v, int h) { return cmd(CommandKind::Scroll, 0, 0, v, h); };
    const auto wheel = [](int hi_res, int notches) {
        return Events{rel(REL_WHEEL_HI_RES, hi_res), rel(REL_WHEEL, notches), kSyn};
    };
    const auto hold = [](KeyKind k, std::uint8_t p = 0) {
        return key_cmd(CommandKind::KeyDown, k, p);
    };
    const OutputCommand ctrl = hold(KeyKind::Ctrl);
    const OutputCommand left_down = cmd(CommandKind::ButtonDown, 0);
    const OutputCommand switcher = cmd(CommandKind::HoldCommand, 1);
    const OutputCommand switcher_off = cmd(CommandKind::HoldCommand, 0);
    const OutputCommand tap_w = key_cmd(CommandKind::KeyTap, KeyKind::Letter, 'w');
    const OutputCommand tap_1 = key_cmd(CommandKind::KeyTap, KeyKind::Digit, 1);
    const Case cases[] = {
        {"motion in one report", {}, move(5, -3), {rel(REL_X, 5), rel(REL_Y, -3), kSyn}, {}},
        {"vertical-only motion", {}, move(0, 7), {rel(REL_Y, 7), kSyn}, {}},
        {"no motion, no report", {}, move(0, 0), {}, {}},
        {"drag: motion while held", {left_down}, move(2, 0), {rel(REL_X, 2), kSyn}, {}},
        {"part of a notch: hi-res only", {}, scroll(40, 0), {rel(REL_WHEEL_HI_RES, 40), kSyn}, {}},
        {"the notch comes at 120 units", {scroll(80, 0)}, scroll(60, 0), wheel(60, 1), {}},
        {"a reversal spends the carry first",
         {scroll(100, 0)},
         scroll(-230, 0),
         wheel(-230, -1),
         {}},
        {"horizontal keeps its sign",
         {},
         scroll(0, -240),
         {rel(REL_HWHEEL_HI_RES, -240), rel(REL_HWHEEL, -2), kSyn},
         {}},
        {"an enormous scroll is bounded", {}, scroll(2'000'000'000, 0), wheel(7680, 64), {}},
        {"press", {}, cmd(CommandKind::ButtonDown, 1), down(BTN_RIGHT), {}},
        {"second press of a held button", {left_down}, left_down, {}, {}},
        {"release of a button never pressed", {}, cmd(CommandKind::ButtonUp, 2), {}, {}},
        {"click: two reports", {}, cmd(CommandKind::Click, 2), tap(BTN_MIDDLE), {}},
        {"unknown button", {}, cmd(CommandKind::Click, 3), {}, {}, true},
        {"letter tap", {}, tap_w, {}, tap(KEY_W)},
        {"shortcut: ctrl held, then w", {ctrl}, tap_w, {}, tap(KEY_W)},
        {"modifier down", {}, ctrl, {}, down(KEY_LEFTCTRL)},
        {"a modifier held twice goes down once", {ctrl}, ctrl, {}, {}},
        {"F11 is not after F10", {}, hold(KeyKind::F, 11), {}, down(KEY_F11)},
        {"media key", {}, key_cmd(CommandKind::KeyTap, KeyKind::PlayPause), {}, tap(KEY_PLAYPAUSE)},
        {"volume key held", {}, hold(KeyKind::VolumeUp), {}, down(KEY_VOLUMEUP)},
        {"release of a key never pressed", {}, key_cmd(CommandKind::KeyUp, KeyKind::Esc), {}, {}},
        {"key outside the vocabulary", {}, cmd(CommandKind::KeyTap, 14, 'A'), {}, {}, true},
        {"switcher holds alt", {}, switcher, {}, down(KEY_LEFTALT)},
        {"switcher tab", {switcher}, cmd(CommandKind::SwitcherTab), {}, tap(KEY_TAB)},
        {"switcher lets go of alt", {switcher}, switcher_off, {}, up(KEY_LEFTALT)},
        {"switcher keeps a user's alt", {hold(KeyKind::Alt), switcher}, switcher_off, {}, {}},
        {"launcher taps super", {}, cmd(CommandKind::Launcher), {}, tap(KEY_LEFTMETA)},
        {"launcher leaves a held super held",
         {hold(KeyKind::Meta)},
         cmd(CommandKind::Launcher),
         {},
         cat(up(KEY_LEFTMETA), down(KEY_LEFTMETA))},
        {"not an input event", {}, cmd(CommandKind::Rumble), {}, {}, true},
        {"AZERTY digits are shifted", {}, tap_1, {}, with(KEY_LEFTSHIFT, KEY_1), false, "fr"},
        // Ctrl+1 on AZERTY is the key of 1 with Ctrl, as desktops match shortcuts by key.
        {"no shift under a modifier", {ctrl}, tap_1, {}, tap(KEY_1), false, "fr"},
        {"lt digits behind AltGr", {}, tap_1, {}, with(KEY_RIGHTALT, KEY_1), false, "lt"},
        {"a layout without the letter", {}, tap_w, {}, {}, true, "ru"},
    };
    for (const Case& c : cases) {
        UinputEvents events(compiled(c.layout));
        EvdevBatch batch;
        for (const OutputCommand& before : c.before)
            ASSERT_TRUE(events.translate(before, batch).ok()) << c.name;
        batch.clear();
        const auto result = events.translate(c.command, batch);
        EXPECT_EQ(result.ok() ? "" : result.error(),
                  c.fails ? "could not create an input event" : "")
            << c.name;
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

struct LookupCase {
    const char* layout;
    const char* variant;
    char character;  // a letter, or a digit character
    KeyStroke stroke;
};

TEST(KeyboardLayout, FindsTheKeyThatTypesEachCharacter) {
    const LookupCase cases[] = {
        {"us", "", 'w', {KEY_W}},
        {"us", "", '1', {KEY_1}},
        {"us", "", '0', {KEY_0}},
        {"de", "", 'z', {KEY_Y}},
        {"de", "", 'y', {KEY_Z}},
        {"de", "", '7', {KEY_7}},
        {"fr", "", 'w', {KEY_Z}},
        {"fr", "", 'a', {KEY_Q}},
        {"fr", "", 'q', {KEY_A}},
        {"fr", "", 'm', {KEY_SEMICOLON}},
        {"fr", "", '1', {KEY_1, true, false}},
        {"fr", "", '0', {KEY_0, true, false}},
        {"us", "dvorak", 'w', {KEY_COMMA}},
        {"us", "dvorak", 's', {KEY_SEMICOLON}},
        {"us", "dvorak", '5', {KEY_5}},
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
