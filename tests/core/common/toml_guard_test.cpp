#include "core/common/toml_guard.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace thumbrover {
namespace {

struct Case {
    std::string text;
    std::optional<std::size_t> line;  // nothing: the text is safe to parse
    std::size_t column = 0;  // in bytes where the parser found the mistake
    bool ours = true;        // the report is about the non-ASCII character itself
};

TEST(TomlGuard, FindsNonAsciiWhereTheParserLooksForWhiteSpace) {
    const std::vector<Case> cases = {
        {"a = 1\n# caf\xc3\xa9\n", std::nullopt},
        {"a = \"caf\xc3\xa9\"\nb = 'caf\xc3\xa9'\n", std::nullopt},
        {"a = \"\"\"\ncaf\xc3\xa9\"\"\"\n", std::nullopt},
        {"a = '''\\\n\xc3\xa9'''\n", std::nullopt},
        {"a = \"\\\\\xc3\xa9\"\n", std::nullopt},
        {"a = \"\\\"\" \xc3\xa9\n", 1, 10},
        {"a = \xc3\xa9\n", 1, 5},
        {"\xc3\xa9 = 1\n", 1, 1},
        {"a = 1\nb.\xc3\xa9 = 2\n", 2, 3},
        {"a = \"\xc3\xa9\" \xc3\xa9\n", 1, 10},
        {"a = \"\"\"\\\n   \xc3\xa9\"\"\"\n", 2, 4},
        {"a = \"\"\"\\\xc3\xa9\"\"\"\n", 1, 9},
        {"a = \"\\\xc3\xa9\"\n", 1, 7},
        {"a = \"x\n\xc3\xa9 = 1\n", 1, 7, false},
        {"a = 1\xe3\x80\x81\n", 1, 6},
    };
    for (const Case& c : cases) {
        const auto hazard = find_toml_hazard(c.text);
        ASSERT_EQ(hazard.has_value(), c.line.has_value()) << c.text;
        if (!hazard) continue;
        EXPECT_EQ(hazard->line, *c.line) << c.text;
        EXPECT_EQ(hazard->column, c.column) << c.text;
        EXPECT_EQ(hazard->message == kTomlHazardMessage, c.ours) << hazard->message;
    }
}

}  // namespace
}  // namespace thumbrover
