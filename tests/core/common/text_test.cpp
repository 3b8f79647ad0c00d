#include "core/common/text.hpp"

#include <gtest/gtest.h>

#include <string>

namespace thumbrover {
namespace {

const std::string fffd = "\xEF\xBF\xBD";

TEST(ValidUtf8, KeepsWellFormedTextAndReplacesEachBadSequenceOnce) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"é 🎮 \xE2\x82\xAC", "é 🎮 \xE2\x82\xAC"},
        {"a\xFF"
         "b",
         "a" + fffd + "b"},
        {"\xC3", fffd},      // truncated two-byte
        {"\xE2\x82", fffd},  // truncated three-byte: one mark
        {"\xE2\x82z", fffd + "z"},
        {"\xC0\xAF", fffd + fffd},                        // overlong '/'
        {"\xED\xA0\x80", fffd + fffd + fffd},             // surrogate
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},  // above U+10FFFF
        {"\xF0\x9F\x8E", fffd},
        {"\x80\x80", fffd + fffd},
        {std::string("nul\0ok", 6), std::string("nul\0ok", 6)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(to_valid_utf8(c.in), c.out) << c.in;
}

TEST(OneLine, KeepsDiagnosticsOnOneHarmlessLine) {
    EXPECT_EQ(one_line("curl: (6) Could not resolve host"), "curl: (6) Could not resolve host");
    EXPECT_EQ(one_line("first\r\n\nsecond\nthird"), "first\\r\\n\\nsecond\\nthird");
    EXPECT_EQ(one_line("red \x1b[31m!\x7f"), "red \\u{1b}[31m!\\u{7f}");
    EXPECT_EQ(one_line("tab\tshown"), "tab\\tshown");
    EXPECT_EQ(one_line(std::string("nul\0", 4)), "nul\\u{0}");
    EXPECT_EQ(one_line("é"), "é");
}

}  // namespace
}  // namespace thumbrover
