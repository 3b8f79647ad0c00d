#include "macos/key_layout.hpp"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "macos/key_capture.hpp"
#include "macos/key_codes.hpp"

namespace thumbrover {
namespace {

// The letter keys' codes row by row, with the punctuation keys around them, and what some
// layouts type on them (from the layouts' own charts).
constexpr std::array<std::uint16_t, 33> kPositions = {
    12, 13, 14, 15, 17, 16, 32, 34, 31, 35, 33, 30,  // q w e r t y u i o p [ ]
    0,  1,  2,  3,  5,  4,  38, 40, 37, 41, 39,      // a s d f g h j k l ; '
    6,  7,  8,  9,  11, 45, 46, 43, 47, 44,          // z x c v b n m , . /
};

KeyboardLayout layout(std::u32string_view keys) {
    KeyboardLayout made;
    for (std::size_t i = 0; i < kPositions.size() && i < keys.size(); ++i)
        made.plain[kPositions[i]] = keys[i];
    return made;
}

using namespace std::string_view_literals;

// "^" on AZERTY is a dead key, which types nothing by itself.
const KeyboardLayout kAzerty = layout(U"azertyuiop\0$qsdfghjklm\u00f9wxcvbn,;:!"sv);
const KeyboardLayout kQwertz = layout(U"qwertzuiop\u00fc+asdfghjkl\u00f6\u00e4yxcvbnm,.-");
const KeyboardLayout kDvorak = layout(U"',.pyfgcrl/=aoeuidhtns-;qjkxbmwvz");
const KeyboardLayout kRussian = layout(
    U"\u0439\u0446\u0443\u043a\u0435\u043d\u0433\u0448\u0449\u0437\u0445\u044a"
    U"\u0444\u044b\u0432\u0430\u043f\u0440\u043e\u043b\u0434\u0436\u044d"
    U"\u044f\u0447\u0441\u043c\u0438\u0442\u044c\u0431\u044e.");

TEST(LetterKeys, EachLetterIsPressedOnTheKeyThatTypesIt) {
    const LetterKeys us, azerty(kAzerty), qwertz(kQwertz), dvorak(kDvorak);
    // Without Latin letters, shortcuts use the ASCII-capable layout beside it, or US positions.
    const LetterKeys russian(kRussian, &kDvorak), russian_alone(kRussian);
    const struct {
        const LetterKeys& keys;
        char letter;
        std::uint16_t code;
    } both_ways[] = {
        {us, 'w', 13},     {azerty, 'w', 6},  {azerty, 'a', 12},  {azerty, 'q', 0},
        {azerty, 'm', 41}, {qwertz, 'z', 16}, {qwertz, 'y', 6},   {dvorak, 'w', 43},
        {dvorak, 'o', 1},  {dvorak, 'z', 44}, {russian, 'w', 43}, {russian_alone, 'w', 13},
    };
    for (const auto& c : both_ways) {
        EXPECT_EQ(c.keys.code_for(c.letter), c.code) << c.letter;
        EXPECT_EQ(c.keys.letter_at(c.code), c.letter) << c.code;
    }
    // Keys typing no letter: "," where US has "m", a dead key, "." on the Russian layout (ASCII,
    // so its own answer stands), a code past the table.
    for (const auto& [keys, code] :
         {std::pair{&azerty, 46}, {&azerty, 33}, {&dvorak, 13}, {&russian, 44}, {&azerty, 128}})
        EXPECT_EQ(keys->letter_at(static_cast<std::uint16_t>(code)), std::nullopt) << code;
    EXPECT_EQ(us.code_for('A'), std::nullopt);
    EXPECT_EQ(azerty.code_for('1'), std::nullopt);
}

TEST(LetterKeys, PostingAndCapturingFollowTheCellAndOtherKeysKeepTheirCodes) {
    LetterKeysCell cell;
    const KeyCodeTable table = mac_key_code_table(cell);
    EXPECT_EQ(table(12), Key::letter('q'));
    cell.set(std::make_shared<const LetterKeys>(kAzerty));
    EXPECT_EQ(table(12), Key::letter('a'));
    EXPECT_EQ(table(18), Key::digit(1)) << "the digit row keeps its digits";
    EXPECT_EQ(mac_key(Key::letter('w'), *cell.get())->code, 6);
    EXPECT_EQ(mac_key(Key(KeyKind::Enter), *cell.get()), mac_key(Key(KeyKind::Enter)));
    cell.set(nullptr);
    EXPECT_EQ(table(12), Key::letter('q'));
}

}  // namespace
}  // namespace thumbrover
