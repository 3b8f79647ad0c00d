#include "macos/key_codes.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

namespace thumbrover {
namespace {

using ::testing::ElementsAre;

// kVK_ANSI_* codes follow the keyboard's rows, so the letters are listed by code.
TEST(MacKeyCodes, LettersDigitsAndFunctionKeysMatchHIToolbox) {
    const std::string letters_by_code = "asdfhgzxcv?bqweryt";  // codes 0..17; 10 is ISO section
    for (std::size_t code = 0; code < letters_by_code.size(); ++code) {
        const char c = letters_by_code[code];
        if (c == '?') continue;
        SCOPED_TRACE(std::string(1, c));
        EXPECT_EQ(mac_key(Key::letter(c)), (MacKey{MacKeyClass::Plain, std::uint16_t(code), 0}));
    }
    const std::pair<char, std::uint16_t> other_letters[] = {
        {'o', 31}, {'u', 32}, {'i', 34}, {'p', 35}, {'l', 37},
        {'j', 38}, {'k', 40}, {'n', 45}, {'m', 46},
    };
    for (const auto& [c, code] : other_letters)
        EXPECT_EQ(mac_key(Key::letter(c))->code, code) << c;

    const std::uint16_t digits[] = {29, 18, 19, 20, 21, 23, 22, 26, 28, 25};
    for (std::uint8_t d = 0; d < 10; ++d)
        EXPECT_EQ(mac_key(Key::digit(d)), (MacKey{MacKeyClass::Plain, digits[d], 0})) << int(d);

    const std::uint16_t function_keys[] = {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111};
    for (std::uint8_t f = 1; f <= 12; ++f)
        EXPECT_EQ(mac_key(Key::function(f)),
                  (MacKey{MacKeyClass::Plain, function_keys[f - 1], 0x800000}))
            << int(f);
}

TEST(MacKeyCodes, FixedKeysModifiersAndMediaKeys) {
    const std::pair<KeyKind, MacKey> table[] = {
        {KeyKind::Up, {MacKeyClass::Plain, 126, 0xA00000}},
        {KeyKind::Down, {MacKeyClass::Plain, 125, 0xA00000}},
        {KeyKind::Left, {MacKeyClass::Plain, 123, 0xA00000}},
        {KeyKind::Right, {MacKeyClass::Plain, 124, 0xA00000}},
        {KeyKind::Esc, {MacKeyClass::Plain, 53, 0}},
        {KeyKind::Tab, {MacKeyClass::Plain, 48, 0}},
        {KeyKind::Enter, {MacKeyClass::Plain, 36, 0}},
        {KeyKind::Space, {MacKeyClass::Plain, 49, 0}},
        {KeyKind::Backspace, {MacKeyClass::Plain, 51, 0}},
        {KeyKind::Delete, {MacKeyClass::Plain, 117, 0x800000}},
        {KeyKind::Home, {MacKeyClass::Plain, 115, 0x800000}},
        {KeyKind::End, {MacKeyClass::Plain, 119, 0x800000}},
        {KeyKind::PageUp, {MacKeyClass::Plain, 116, 0x800000}},
        {KeyKind::PageDown, {MacKeyClass::Plain, 121, 0x800000}},
        {KeyKind::Ctrl, {MacKeyClass::Modifier, 59, 0x40001}},
        {KeyKind::Shift, {MacKeyClass::Modifier, 56, 0x20002}},
        {KeyKind::Alt, {MacKeyClass::Modifier, 58, 0x80020}},
        {KeyKind::Meta, {MacKeyClass::Modifier, 55, 0x100008}},
        {KeyKind::PlayPause, {MacKeyClass::Media, 16, 0}},
        {KeyKind::NextTrack, {MacKeyClass::Media, 19, 0}},
        {KeyKind::PreviousTrack, {MacKeyClass::Media, 20, 0}},
        {KeyKind::VolumeUp, {MacKeyClass::Media, 0, 0}},
        {KeyKind::VolumeDown, {MacKeyClass::Media, 1, 0}},
        {KeyKind::Mute, {MacKeyClass::Media, 7, 0}},
    };
    for (const auto& [kind, expected] : table)
        EXPECT_EQ(mac_key(Key(kind)), expected) << int(key_kind_number(kind));
}

TEST(MacKeyCodes, ParametersOutsideTheirRangeHaveNoCode) {
    for (const Key key : {Key::letter('A'), Key::letter('{'), Key(KeyKind::Letter, 0),
                          Key::digit(10), Key::function(0), Key::function(21), Key(KeyKind::Print)})
        EXPECT_FALSE(mac_key(key).has_value()) << key_name(key);
}

TEST(MacKeyCodes, EveryKeyboardKeyReadsBackFromItsCode) {
    std::set<std::uint16_t> codes;
    for (std::uint8_t k = 0; k < kKeyKindCount; ++k) {
        const auto kind = static_cast<KeyKind>(k);
        std::vector<Key> keys;
        if (kind == KeyKind::Letter) {
            for (char c = 'a'; c <= 'z'; ++c)
                keys.push_back(Key::letter(c));
        } else if (kind == KeyKind::Digit) {
            for (std::uint8_t d = 0; d <= 9; ++d)
                keys.push_back(Key::digit(d));
        } else if (kind == KeyKind::F) {
            for (std::uint8_t f = 1; f <= 20; ++f)  // a Mac has no F21..F24
                keys.push_back(Key::function(f));
        } else if (kind == KeyKind::Symbol) {
            for (const SymbolKeyInfo& row : kSymbolKeys)
                keys.push_back(Key::symbol(row.character));
        } else if (kind == KeyKind::Keypad) {
            for (std::uint8_t p = 0; p < kKeypadKeyCount; ++p)
                keys.emplace_back(KeyKind::Keypad, p);
        } else if (kind == KeyKind::Print) {
            continue;  // no Print key on a Mac
        } else {
            keys.emplace_back(kind);
        }
        for (const Key& key : keys) {
            const auto mac = mac_key(key);
            ASSERT_TRUE(mac.has_value()) << key_name(key);
            if (mac->key_class == MacKeyClass::Media) continue;
            EXPECT_TRUE(codes.insert(mac->code).second) << "code used twice: " << mac->code;
            EXPECT_EQ(key_for_mac_key_code(mac->code), key) << key_name(key);
        }
    }
    EXPECT_EQ(codes.size(), 14u + 26u + 10u + 20u + 4u + 1u + 11u + 17u);
}

TEST(MacKeyCodes, RightHandModifiersAndUnknownCodes) {
    EXPECT_EQ(key_for_mac_key_code(54), Key(KeyKind::Meta));
    EXPECT_EQ(key_for_mac_key_code(60), Key(KeyKind::Shift));
    EXPECT_EQ(key_for_mac_key_code(61), Key(KeyKind::Alt));
    EXPECT_EQ(key_for_mac_key_code(62), Key(KeyKind::Ctrl));
    // ISO section, Caps Lock, and codes past the table.
    for (const int code : {10, 57, 200, 0xFFFF})
        EXPECT_FALSE(key_for_mac_key_code(std::uint16_t(code)).has_value()) << code;
}

TEST(MacKeyCodes, ModifiersFromFlagsUseTheDeviceIndependentMasks) {
    EXPECT_THAT(modifiers_in_mac_flags(0x100), ElementsAre());
    EXPECT_THAT(modifiers_in_mac_flags(0x100000 | 0x20000 | 0x100),
                ElementsAre(Key(KeyKind::Shift), Key(KeyKind::Meta)));
    EXPECT_THAT(modifiers_in_mac_flags(0x1C0000 | 0x20000),
                ElementsAre(Key(KeyKind::Ctrl), Key(KeyKind::Shift), Key(KeyKind::Alt),
                            Key(KeyKind::Meta)));
    // Device bits alone (a right-hand key's leftover) and the Fn / keypad bits are no modifiers.
    EXPECT_THAT(modifiers_in_mac_flags(0x2000 | 0x4 | 0x800000 | 0x200000), ElementsAre());
}

}  // namespace
}  // namespace thumbrover
