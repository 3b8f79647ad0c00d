#include "core/update/version.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>

namespace thumbrover {
namespace {

struct VersionCase {
    std::string text;
    std::optional<Version> expected;
};

class VersionParsing : public ::testing::TestWithParam<VersionCase> {};

// Tests print their parameter with a failure and in the test list: the text, not its bytes.
void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(c.text);
}

TEST_P(VersionParsing, ReadsOrRefuses) {
    const VersionCase& c = GetParam();
    EXPECT_EQ(parse_version(c.text), c.expected) << '"' << c.text << '"';
}

constexpr std::uint64_t u64_max = 18446744073709551615u;

INSTANTIATE_TEST_SUITE_P(
    Table, VersionParsing,
    ::testing::Values(
        VersionCase{"0.1.0", Version{0, 1, 0}}, VersionCase{"1.2.3", Version{1, 2, 3}},
        VersionCase{"2", Version{2, 0, 0}}, VersionCase{"0.2", Version{0, 2, 0}},
        VersionCase{"v0.2", Version{0, 2, 0}}, VersionCase{"  v1.0.7\n", Version{1, 0, 7}},
        VersionCase{"\u00A0\u30000.3\u2009", Version{0, 3, 0}},
        VersionCase{"0.2.0-rc1", Version{0, 2, 0}}, VersionCase{"1.2.0+build.7", Version{1, 2, 0}},
        VersionCase{"1.2-beta+x", Version{1, 2, 0}}, VersionCase{"1-", Version{1, 0, 0}},
        VersionCase{"007.010.000", Version{7, 10, 0}},
        VersionCase{"18446744073709551615.0.18446744073709551615", Version{u64_max, 0, u64_max}},
        // Not versions.
        VersionCase{"", std::nullopt}, VersionCase{"   ", std::nullopt},
        VersionCase{"v", std::nullopt}, VersionCase{"vv1", std::nullopt},
        VersionCase{"V1", std::nullopt}, VersionCase{"0.2.0.1", std::nullopt},
        VersionCase{"0.x", std::nullopt}, VersionCase{"1..2", std::nullopt},
        VersionCase{".1", std::nullopt}, VersionCase{"1.", std::nullopt},
        VersionCase{"1.2.", std::nullopt}, VersionCase{"-1", std::nullopt},
        VersionCase{"+1", std::nullopt}, VersionCase{"1.2 .3", std::nullopt},
        VersionCase{"1 .2", std::nullopt}, VersionCase{"1.2 -rc", std::nullopt},
        VersionCase{"18446744073709551616", std::nullopt},
        VersionCase{"99999999999999999999", std::nullopt}, VersionCase{"1.0x10", std::nullopt},
        VersionCase{"١.٢", std::nullopt}, VersionCase{"1.2.3 beta", std::nullopt},
        VersionCase{"beta-1.2", std::nullopt}),
    [](const ::testing::TestParamInfo<VersionCase>& param_info) {
        // Unique by the index; readable by the text, with what a test name cannot hold as "_".
        std::string name = std::to_string(param_info.index) + "_";
        for (const char c : param_info.param.text.substr(0, 24))
            name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
        return name;
    });

TEST(VersionOrder, ComparesMajorThenMinorThenPatch) {
    EXPECT_LT((Version{0, 1, 0}), (Version{0, 2, 0}));
    EXPECT_LT((Version{0, 9, 9}), (Version{1, 0, 0}));
    EXPECT_LT((Version{1, 2, 3}), (Version{1, 2, 4}));
    EXPECT_LT((Version{1, 99, 0}), (Version{2, 0, 0}));
    EXPECT_EQ((Version{1, 0, 0}), *parse_version("1"));
    EXPECT_GT(*parse_version("0.10"), *parse_version("0.9.99"));
    EXPECT_EQ(*parse_version("0.2.0-rc1"), *parse_version("v0.2"));
}

TEST(RunningVersion, IsTheCompiledInVersionAndParses) {
    EXPECT_EQ(running_version(), "0.1.0");
    EXPECT_EQ(parse_version(running_version()), (Version{0, 1, 0}));
}

}  // namespace
}  // namespace thumbrover
