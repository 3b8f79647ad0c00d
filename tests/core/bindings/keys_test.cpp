#include "core/bindings/keys.hpp"

#include "core/bindings/labels.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace thumbrover {
namespace {

struct KeyText {
    const char* name;
    Key key;
    const char* mac_label;
    const char* linux_label;
};

// Every settings-file name of a key that the parser accepts, with its labels on macOS and on
// Linux. Linux shows no macOS symbol or word.
const KeyText kKeyTexts[] = {
    {"up", Key(KeyKind::Up), "\u2191", "Up"},
    {"down", Key(KeyKind::Down), "\u2193", "Down"},
    {"left", Key(KeyKind::Left), "\u2190", "Left"},
    {"right", Key(KeyKind::Right), "\u2192", "Right"},
    {"escape", Key(KeyKind::Esc), "Esc", "Esc"},
    {"tab", Key(KeyKind::Tab), "Tab", "Tab"},
    {"enter", Key(KeyKind::Enter), "Return", "Enter"},
    {"space", Key(KeyKind::Space), "Space", "Space"},
    {"backspace", Key(KeyKind::Backspace), "\u232B", "Backspace"},
    {"delete", Key(KeyKind::Delete), "\u2326", "Delete"},
    {"home", Key(KeyKind::Home), "Home", "Home"},
    {"end", Key(KeyKind::End), "End", "End"},
    {"page-up", Key(KeyKind::PageUp), "Page Up", "Page Up"},
    {"page-down", Key(KeyKind::PageDown), "Page Down", "Page Down"},
    {"a", Key::letter('a'), "A", "A"},
    {"t", Key::letter('t'), "T", "T"},
    {"z", Key::letter('z'), "Z", "Z"},
    {"0", Key::digit(0), "0", "0"},
    {"5", Key::digit(5), "5", "5"},
    {"9", Key::digit(9), "9", "9"},
    {"f1", Key::function(1), "F1", "F1"},
    {"f5", Key::function(5), "F5", "F5"},
    {"f12", Key::function(12), "F12", "F12"},
    {"f13", Key::function(13), "F13", "F13"},
    {"f24", Key::function(24), "F24", "F24"},
    {"ctrl", Key(KeyKind::Ctrl), "\u2303", "Ctrl"},
    {"shift", Key(KeyKind::Shift), "\u21E7", "Shift"},
    {"alt", Key(KeyKind::Alt), "\u2325", "Alt"},
    {"cmd", Key(KeyKind::Meta), "\u2318", "Super"},
    {"insert", Key(KeyKind::Insert), "Insert", "Insert"},
    {"print", Key(KeyKind::Print), "Print", "Print"},
    {"minus", Key::symbol('-'), "-", "-"},
    {"equal", Key::symbol('='), "=", "="},
    {"comma", Key::symbol(','), ",", ","},
    {"period", Key::symbol('.'), ".", "."},
    {"slash", Key::symbol('/'), "/", "/"},
    {"semicolon", Key::symbol(';'), ";", ";"},
    {"apostrophe", Key::symbol('\''), "'", "'"},
    {"bracketleft", Key::symbol('['), "[", "["},
    {"bracketright", Key::symbol(']'), "]", "]"},
    {"backslash", Key::symbol('\\'), "\\", "\\"},
    {"grave", Key::symbol('`'), "`", "`"},
    {"kp-0", Key::keypad_digit(0), "Keypad 0", "Keypad 0"},
    {"kp-9", Key::keypad_digit(9), "Keypad 9", "Keypad 9"},
    {"kp-add", Key::keypad(KeypadKey::Add), "Keypad +", "Keypad +"},
    {"kp-subtract", Key::keypad(KeypadKey::Subtract), "Keypad -", "Keypad -"},
    {"kp-multiply", Key::keypad(KeypadKey::Multiply), "Keypad *", "Keypad *"},
    {"kp-divide", Key::keypad(KeypadKey::Divide), "Keypad /", "Keypad /"},
    {"kp-decimal", Key::keypad(KeypadKey::Decimal), "Keypad .", "Keypad ."},
    {"kp-enter", Key::keypad(KeypadKey::Enter), "Keypad Enter", "Keypad Enter"},
    {"kp-equal", Key::keypad(KeypadKey::Equal), "Keypad =", "Keypad ="},
};

// Every letter, digit, function, punctuation and keypad key: the kinds that carry a parameter.
void add_keys_with_a_parameter(std::vector<Key>& keys) {
    for (char c = 'a'; c <= 'z'; ++c)
        keys.push_back(Key::letter(c));
    for (std::uint8_t d = 0; d <= 9; ++d)
        keys.push_back(Key::digit(d));
    for (std::uint8_t f = 1; f <= kFunctionKeyCount; ++f)
        keys.push_back(Key::function(f));
    for (const SymbolKeyInfo& row : kSymbolKeys)
        keys.push_back(Key::symbol(row.character));
    for (std::uint8_t k = 0; k < kKeypadKeyCount; ++k)
        keys.push_back(Key(KeyKind::Keypad, k));
}

TEST(Keys, EveryNameParsesPrintsBackAndHasItsLabel) {
    for (const KeyText& c : kKeyTexts) {
        SCOPED_TRACE(c.name);
        const std::optional<Key> key = parse_key(c.name);
        ASSERT_TRUE(key.has_value());
        EXPECT_EQ(*key, c.key);
        EXPECT_EQ(key_name(*key), c.name);
        EXPECT_EQ(key_label(*key, mac_labels()), c.mac_label);
        EXPECT_EQ(key_label(*key, linux_labels()), c.linux_label);
        EXPECT_EQ(key_label(*key), key_label(*key, native_labels()));
    }
}

TEST(Keys, AllLettersDigitsAndFunctionKeysRoundTrip) {
    std::vector<Key> keys;
    add_keys_with_a_parameter(keys);
    ASSERT_EQ(keys.size(), 88u);
    for (const Key& key : keys) {
        const std::string name = key_name(key);
        EXPECT_EQ(parse_key(name), key) << name;
    }
    EXPECT_EQ(key_label(Key::letter('q')), "Q");
    EXPECT_EQ(key_name(Key::letter('q')), "q");
}

TEST(Keys, MediaKindsHaveNamesAndLabelsButDoNotParse) {
    const KeyText media[] = {
        {"playpause", Key(KeyKind::PlayPause), "Playpause", "Play/Pause"},
        {"nexttrack", Key(KeyKind::NextTrack), "Nexttrack", "Next Track"},
        {"previoustrack", Key(KeyKind::PreviousTrack), "Previoustrack", "Previous Track"},
        {"volumeup", Key(KeyKind::VolumeUp), "Volumeup", "Volume Up"},
        {"volumedown", Key(KeyKind::VolumeDown), "Volumedown", "Volume Down"},
        {"mute", Key(KeyKind::Mute), "Mute", "Mute"},
    };
    for (const KeyText& c : media) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(key_name(c.key), c.name);
        EXPECT_EQ(key_label(c.key, mac_labels()), c.mac_label);
        EXPECT_EQ(key_label(c.key, linux_labels()), c.linux_label);
        EXPECT_EQ(parse_key(c.name), std::nullopt);
    }
}

TEST(Keys, AliasesCaseAndWhiteSpace) {
    struct Case {
        const char* text;
        Key key;
    };
    const Case cases[] = {
        {"esc", Key(KeyKind::Esc)},
        {"return", Key(KeyKind::Enter)},
        {"control", Key(KeyKind::Ctrl)},
        {"option", Key(KeyKind::Alt)},
        {"opt", Key(KeyKind::Alt)},
        {"command", Key(KeyKind::Meta)},
        {"meta", Key(KeyKind::Meta)},
        {"super", Key(KeyKind::Meta)},
        {"win", Key(KeyKind::Meta)},
        {"ESCAPE", Key(KeyKind::Esc)},
        {"Page-Down", Key(KeyKind::PageDown)},
        {"CMD", Key(KeyKind::Meta)},
        {"T", Key::letter('t')},
        {"F5", Key::function(5)},
        {" tab ", Key(KeyKind::Tab)},
        {"\t\nhome\r\v\f", Key(KeyKind::Home)},
        {"\u00A0end\u3000", Key(KeyKind::End)},
        {"\u2003\u2028x\u205F\u0085", Key::letter('x')},
        {"f", Key::letter('f')},
        {"f012", Key::function(12)},
        {"f0000000001", Key::function(1)},
        {"f+7", Key::function(7)},
        {"\u212A", Key::letter('k')},  // KELVIN SIGN lower-cases to k
        {"-", Key::symbol('-')},
        {"=", Key::symbol('=')},
        {";", Key::symbol(';')},
        {"Minus", Key::symbol('-')},
        {"KP-Enter", Key::keypad(KeypadKey::Enter)},
        {"ins", Key(KeyKind::Insert)},
        {"del", Key(KeyKind::Delete)},
        {"printscreen", Key(KeyKind::Print)},
        {"sysrq", Key(KeyKind::Print)},
        {"f+24", Key::function(24)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse_key(c.text), c.key) << c.text;
}

TEST(Keys, RejectedTexts) {
    const char* const cases[] = {
        "",       "   ",  "\u00A0",     "f0",       "f25",     "f1x",    "f+",      "f256",
        "f-1",    "f 1",  "f+-1",       "ff",       "+",       "kp-",    "kp-10",   "kp-plus",
        "kp0",    "!",    "minus sign", "<",        "page up", "pageup", "esc ape", "\u00E9",
        "\u0130", "\xff", "a\xff",      "\xe2\x80", "shift1",  "cmdw",   "1 2",     "escape\x1f",
    };
    for (const char* text : cases)
        EXPECT_EQ(parse_key(text), std::nullopt) << text;
}

TEST(Keys, EqualityIgnoresTheParameterOfKindsWithoutOne) {
    Key forged(KeyKind::Tab);
    forged.param = 7;
    EXPECT_EQ(forged, Key(KeyKind::Tab));
    EXPECT_EQ(key_name(forged), "tab");
    EXPECT_NE(Key::letter('a'), Key::letter('b'));
    EXPECT_NE(Key::function(1), Key::digit(1));
    EXPECT_EQ(Key(KeyKind::Space, 9).param, 0);
}

TEST(Keys, OrderIsByKindThenParameter) {
    const std::vector<Key> ascending = {
        Key(KeyKind::Up),        Key(KeyKind::PageDown), Key::letter('a'),  Key::letter('z'),
        Key::digit(0),           Key::digit(9),          Key::function(1),  Key::function(12),
        Key(KeyKind::Ctrl),      Key(KeyKind::Shift),    Key(KeyKind::Alt), Key(KeyKind::Meta),
        Key(KeyKind::PlayPause), Key(KeyKind::Mute),
    };
    for (std::size_t i = 1; i < ascending.size(); ++i)
        EXPECT_LT(ascending[i - 1], ascending[i]) << i;
    EXPECT_EQ(key_kind_number(KeyKind::Letter), 14);
    EXPECT_EQ(key_kind_number(KeyKind::Meta), 20);
    EXPECT_EQ(key_kind_number(KeyKind::Mute), 26);
}

// Every output command's key bytes are decoded here once; a byte pair outside the vocabulary
// must never become a key an event output would post.
TEST(Keys, CommandBytesDecodeToTheVocabularyOnly) {
    const struct {
        std::uint8_t kind;
        std::uint8_t param;
        std::optional<Key> key;
    } cases[] = {
        {0, 0, Key(KeyKind::Up)},      {4, 77, Key(KeyKind::Esc)},
        {14, 'a', Key::letter('a')},   {14, 'z', Key::letter('z')},
        {14, 'A', std::nullopt},       {14, '{', std::nullopt},
        {14, 0, std::nullopt},         {15, 0, Key::digit(0)},
        {15, 9, Key::digit(9)},        {15, 10, std::nullopt},
        {16, 1, Key::function(1)},     {16, 12, Key::function(12)},
        {16, 0, std::nullopt},         {16, 24, Key::function(24)},
        {16, 25, std::nullopt},        {17, 0, Key(KeyKind::Ctrl)},
        {20, 0, Key(KeyKind::Meta)},   {26, 0, Key(KeyKind::Mute)},
        {27, 9, Key(KeyKind::Insert)}, {28, 0, Key(KeyKind::Print)},
        {29, '-', Key::symbol('-')},   {29, 'a', std::nullopt},
        {29, '+', std::nullopt},       {30, 16, Key::keypad(KeypadKey::Equal)},
        {30, 17, std::nullopt},        {31, 0, std::nullopt},
        {255, 'a', std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(key_from_bytes(c.kind, c.param), c.key)
            << "kind " << int{c.kind} << " parameter " << int{c.param};
}

TEST(Keys, TableIsInKindOrder) {
    const auto& table = key_kinds();
    for (std::size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(key_kind_number(table[i].kind), i);
    EXPECT_EQ(table[20].name, "cmd");
}

Key ctrl() {
    return Key(KeyKind::Ctrl);
}
Key shift() {
    return Key(KeyKind::Shift);
}
Key alt() {
    return Key(KeyKind::Alt);
}
Key meta() {
    return Key(KeyKind::Meta);
}

TEST(Shortcuts, ParseNormaliseAndPrint) {
    struct Case {
        const char* text;
        std::vector<Key> modifiers;
        Key key;
        const char* name;
        const char* label;  // macOS's
    };
    const Case cases[] = {
        {"cmd+w", {meta()}, Key::letter('w'), "cmd+w", "\u2318W"},
        {"CMD+W", {meta()}, Key::letter('w'), "cmd+w", "\u2318W"},
        {"cmd+shift+t", {shift(), meta()}, Key::letter('t'), "shift+cmd+t", "\u21E7\u2318T"},
        {"Cmd + Shift + T", {shift(), meta()}, Key::letter('t'), "shift+cmd+t", "\u21E7\u2318T"},
        {"command+option+esc",
         {alt(), meta()},
         Key(KeyKind::Esc),
         "alt+cmd+escape",
         "\u2325\u2318Esc"},
        {"ctrl+alt+delete",
         {ctrl(), alt()},
         Key(KeyKind::Delete),
         "ctrl+alt+delete",
         "\u2303\u2325\u2326"},
        {"shift+shift+a", {shift()}, Key::letter('a'), "shift+a", "\u21E7A"},
        {"shift+shift", {}, shift(), "shift", "\u21E7"},
        {"shift", {}, shift(), "shift", "\u21E7"},
        {"cmd+shift+cmd", {shift()}, meta(), "shift+cmd", "\u21E7\u2318"},
        {"win+l", {meta()}, Key::letter('l'), "cmd+l", "\u2318L"},
        {"super+l", {meta()}, Key::letter('l'), "cmd+l", "\u2318L"},
        {"meta+control+opt+shift+f12",
         {ctrl(), shift(), alt(), meta()},
         Key::function(12),
         "ctrl+shift+alt+cmd+f12",
         "\u2303\u21E7\u2325\u2318F12"},
        {"alt+alt+alt+0", {alt()}, Key::digit(0), "alt+0", "\u23250"},
        {"escape", {}, Key(KeyKind::Esc), "escape", "Esc"},
        {"up", {}, Key(KeyKind::Up), "up", "\u2191"},
        {"ctrl+return", {ctrl()}, Key(KeyKind::Enter), "ctrl+enter", "\u2303Return"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<Shortcut> s = parse_shortcut(c.text);
        ASSERT_TRUE(s.has_value());
        EXPECT_EQ(s->modifiers, c.modifiers);
        EXPECT_EQ(s->key, c.key);
        EXPECT_EQ(shortcut_name(*s), c.name);
        EXPECT_EQ(shortcut_label(*s, mac_labels()), c.label);
        EXPECT_EQ(parse_shortcut(shortcut_name(*s)), s);
    }
}

TEST(Shortcuts, LinuxLabelsJoinKeyWordsWithPlus) {
    const struct {
        const char* text;
        const char* label;
    } cases[] = {
        {"ctrl+shift+t", "Ctrl+Shift+T"},
        {"super+w", "Super+W"},
        {"cmd+w", "Super+W"},
        {"ctrl+alt+k", "Ctrl+Alt+K"},
        {"backspace", "Backspace"},
        {"ctrl+minus", "Ctrl+-"},
        {"ctrl+=", "Ctrl+="},
        {"shift+kp-add", "Shift+Keypad +"},
        {"alt+f13", "Alt+F13"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<Shortcut> s = parse_shortcut(c.text);
        ASSERT_TRUE(s.has_value());
        EXPECT_EQ(shortcut_label(*s, linux_labels()), c.label);
    }
}

TEST(Shortcuts, RejectedTexts) {
    const char* const cases[] = {
        "",      "ctrl+",       "+w",  "ctrl++",  "ctrl++w",       "a+b",
        "w+cmd", "+",           "++",  "cmd+f25", "cmd+mute",      "1+a",
        "tab+x", "cmd+page up", " + ", "cmd+é",   "cmd+playpause", "f5+shift",
    };
    for (const char* text : cases)
        EXPECT_EQ(parse_shortcut(text), std::nullopt) << text;
}

TEST(Shortcuts, MakeShortcutNormalisesCapturedModifiers) {
    // Capture lists modifiers as ctrl, alt, shift, cmd; the result must use key order.
    const Shortcut s = make_shortcut({ctrl(), alt(), shift(), meta()}, Key::letter('t'));
    EXPECT_EQ(s.modifiers, (std::vector<Key>{ctrl(), shift(), alt(), meta()}));
    EXPECT_EQ(shortcut_name(s), "ctrl+shift+alt+cmd+t");

    const Shortcut dup = make_shortcut({meta(), meta(), shift()}, meta());
    EXPECT_EQ(dup.modifiers, std::vector<Key>{shift()});
    EXPECT_EQ(dup.key, meta());

    // A non-modifier in the list would be written as text that no longer parses.
    const Shortcut junk =
        make_shortcut({Key::letter('a'), Key(KeyKind::Tab), alt()}, Key::digit(3));
    EXPECT_EQ(junk.modifiers, std::vector<Key>{alt()});
    EXPECT_TRUE(parse_shortcut(shortcut_name(junk)).has_value());
}

TEST(Shortcuts, EveryKeyWithEveryModifierSetRoundTrips) {
    std::vector<Key> keys;
    for (const KeyKindInfo& row : key_kinds())
        if (!key_kind_has_param(row.kind) && !is_media(row.kind)) keys.push_back(Key(row.kind));
    add_keys_with_a_parameter(keys);
    const Key mods[] = {meta(), alt(), shift(), ctrl()};
    int checked = 0;
    for (const Key& key : keys) {
        for (unsigned mask = 0; mask < 16; ++mask) {
            std::vector<Key> chosen;
            for (unsigned bit = 0; bit < 4; ++bit)
                if ((mask & (1u << bit)) != 0) chosen.push_back(mods[bit]);
            const Shortcut s = make_shortcut(chosen, key);
            const std::string name = shortcut_name(s);
            ASSERT_EQ(parse_shortcut(name), s) << name;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 108 * 16);
}

}  // namespace
}  // namespace thumbrover
