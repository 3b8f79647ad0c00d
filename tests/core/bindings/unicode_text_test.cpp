#include "core/bindings/unicode_text.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace thumbrover {
namespace {

TEST(UnicodeText, Trim) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"", ""},
        {" \t\n\v\f\r", ""},
        {"\u3000", ""},
        {"\u0085x\u2029", "x"},
        {"\u200Bx", "\u200Bx"},  // zero-width space is not white space
        {"\x1fx\x1c", "\x1fx\x1c"},
        {"a b", "a b"},
        {"\u00E9\u3000", "\u00E9"},
        {" \u00E9 ", "\u00E9"},
        // Broken UTF-8 is kept as it is and never read past its end.
        {"a\xe3\x80", "a\xe3\x80"},
        {"\x80\x80\x80\x80 ", "\x80\x80\x80\x80"},
        {" \xe3\x80\x80\x80", "\x80"},
        {"\x80\xe3\x80\x80", "\x80"},
        {"\xc2 ", "\xc2"},
        {"\xc2\xa0\xc2", "\xc2"},
        {"\xe0\x80\xa0", "\xe0\x80\xa0"},  // an over-long encoding of a space is not a space
    };
    for (const Case& c : cases)
        EXPECT_EQ(unicode_text::trim(c.in), c.out) << c.in;
}

TEST(UnicodeText, AsciiLower) {
    struct Case {
        std::string in;
        std::optional<std::string> out;
    };
    const Case cases[] = {
        {"", ""},
        {"Page-UP", "page-up"},
        {"F12+Z", "f12+z"},
        {"\u212A", "k"},
        {"\u00C9", std::nullopt},
        {"\u0130", std::nullopt},  // its full lower case carries a combining dot
        {"a\xff", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(unicode_text::ascii_lower(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace thumbrover
