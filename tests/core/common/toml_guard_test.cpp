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
    std::size_t column = 0;           // in bytes where the parser found the mistake
    bool ours = true;                 // the report is about the non-ASCII character itself
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

std::string repeated(std::string_view piece, int times) {
    std::string out;
    out.reserve(piece.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

struct NestingCase {
    std::string name;
    std::string text;
    std::optional<std::size_t> refused_on_line;  // nothing: the text parses
};

// Nesting is what the parser's stack pays for, however it is built up: within one line, across
// a table header and the keys below it, or down an array that spans lines. Breadth costs no
// depth, so a long line of short keys or values is no reason to refuse.
TEST(ParseToml, RefusesDeepNestingWhereverItBuildsUpAndNothingElse) {
    const std::string deep_key = repeated("a.", 100000) + "a";
    const std::string part_key = repeated("a.", 150) + "a";
    std::string deep_array_lines = "x = [\n";
    for (int i = 0; i < 200; ++i)
        deep_array_lines += "{ " + part_key + " = [\n";
    const std::vector<NestingCase> cases = {
        {"dotted key", deep_key + " = 1\n", 1},
        {"table header", "[" + deep_key + "]\n", 1},
        {"array of tables", "[[" + deep_key + "]]\n", 1},
        {"inline table", "x = { " + deep_key + " = 1 }\n", 1},
        {"nested arrays", "x = " + repeated("[", 300) + repeated("]", 300) + "\n", 1},
        {"header and key", "[" + part_key + "]\n" + part_key + " = 1\n", 2},
        {"array over lines", deep_array_lines, 3},
        {"wide array", "x = [" + repeated("[1], ", 2000) + "]\n", std::nullopt},
        {"many decimals", "x = [" + repeated("1.5, ", 5000) + "]\n", std::nullopt},
        {"inline keys",
         "x = {" +
             [] {
                 std::string keys;
                 for (int i = 0; i < 400; ++i)
                     keys += (i ? ", k" : " k") + std::to_string(i) + ".v = 1";
                 return keys;
             }() +
             " }\n",
         std::nullopt},
        {"part key alone", part_key + " = 1\n", std::nullopt},
        {"headers in turn", "[" + part_key + "]\n[" + part_key + "b]\n", std::nullopt},
    };
    for (const NestingCase& c : cases) {
        const TomlReading reading = parse_toml(c.text);
        ASSERT_EQ(reading.ok(), !c.refused_on_line) << c.name;
        if (reading.ok()) continue;
        EXPECT_EQ(reading.problem->line, *c.refused_on_line) << c.name;
        EXPECT_EQ(reading.problem->message, "nested more than 256 levels deep") << c.name;
    }
}

TEST(ParseToml, GivesTheParsersOwnReportWithItsPlace) {
    const TomlReading reading = parse_toml("a = 1\nb = \n");
    ASSERT_FALSE(reading.ok());
    EXPECT_EQ(reading.problem->line, 2u);
    EXPECT_FALSE(reading.problem->message.empty());
    const TomlReading good = parse_toml("a = 1\n[t]\nb = \"x\"\n");
    ASSERT_TRUE(good.ok());
    EXPECT_EQ(good.table["t"]["b"].value_or(std::string()), "x");
}

}  // namespace
}  // namespace thumbrover
