#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/targets.hpp"

namespace thumbrover::fuzz {

// Tests print their parameter with a failure and in the test list: its name, not its bytes.
// Beside the type, where argument-dependent lookup finds it.
void PrintTo(const NamedTarget& target, std::ostream* os) {
    *os << target.name;
}

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> corpus_files(std::string_view target) {
    std::vector<fs::path> files;
    const fs::path folder = fs::path(THUMBROVER_TEST_DATA) / target;
    if (!fs::is_directory(folder)) return files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CorpusTest : public testing::TestWithParam<NamedTarget> {};

// Every saved input, crashers found by fuzzing included, keeps every promise; and each corpus
// holds inputs the parser takes as well as ones it refuses, so both paths stay covered.
TEST_P(CorpusTest, EverySavedInputKeepsItsPromises) {
    const NamedTarget target = GetParam();
    const auto files = corpus_files(target.name);
    ASSERT_GE(files.size(), 4u) << "corpus for " << target.name << " is missing or tiny";
    std::size_t accepted = 0;
    for (const fs::path& file : files) {
        const Outcome outcome = target.run(contents(file));
        EXPECT_EQ(outcome.finding, "") << file.filename();
        if (outcome.accepted) ++accepted;
    }
    EXPECT_GT(accepted, 0u) << "no input in the " << target.name << " corpus is accepted";
    EXPECT_LT(accepted, files.size()) << "no input in the " << target.name << " corpus is refused";
}

INSTANTIATE_TEST_SUITE_P(Targets, CorpusTest, testing::ValuesIn(all_targets()),
                         [](const testing::TestParamInfo<NamedTarget>& param) {
                             return std::string(param.param.name);
                         });

struct Case {
    Target target;
    std::string input;
    bool accepted;
};

// A few inputs whose fate is known, so that a target that stopped parsing (or started taking
// everything) is noticed even when its corpus still passes.
TEST(FuzzTargets, KnownInputsAreTakenOrRefused) {
    const std::vector<Case> cases = {
        {&fuzz_settings, "", true},
        {&fuzz_settings, "hold_ms = -1\n", false},
        {&fuzz_settings, "[buttons]\na = \"ctrl+shift+t\"\n", true},
        {&fuzz_action, " Ctrl+Shift+T ", true},
        {&fuzz_action, "ctrl+", false},
        {&fuzz_version, "v1.2.3-beta", true},
        {&fuzz_version, "1.2.3.4", false},
        {&fuzz_release, R"({"version":"1.0","url":"https://x","notes":"a\u0000b"})", true},
        {&fuzz_release, R"({"version":"1.0","url":"https://x"})", false},
        {&fuzz_stored_update, "checked_at = 5\n", true},
        {&fuzz_stored_update, "checked_at = \"5\"\n", false},
        {&fuzz_replay, "0 button 0 down\n10 tick\n", true},
        {&fuzz_replay, "0 button 99 down\n", false},
        {&fuzz_replay, "0 ticks 100000000 0.000001\n", false},
    };
    for (const Case& c : cases) {
        const Outcome outcome = c.target(c.input);
        EXPECT_EQ(outcome.finding, "") << c.input;
        EXPECT_EQ(outcome.accepted, c.accepted) << c.input;
    }
}

std::string repeated(std::string_view piece, std::size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

// Inputs too large to keep as corpus files: the deep ones once overflowed the parser's stack.
TEST(FuzzTargets, DeepAndLargeInputsKeepTheirPromises) {
    const std::string deep_key = repeated("a.", 100000) + "a";
    const std::vector<std::string> inputs = {
        deep_key + " = 1\n",
        "[" + deep_key + "]\n",
        "[[" + deep_key + "]]\n",
        "x = { " + deep_key + " = 1 }\n",
        "checked_at = 5\n" + deep_key + " = 1\n",
        "x = " + repeated("[", 100000) + "\n",
        "x = " + repeated("{ a = ", 100000) + "\n",
        "x = [" + repeated("[1], ", 100000) + "]\n",
        [] {
            std::string headers;
            for (int i = 0; headers.size() < 16 * 1024 * 1024; ++i)
                headers += "[t" + std::to_string(i) + "]\n";
            return headers;
        }(),
    };
    for (const Target target : {&fuzz_settings, &fuzz_stored_update}) {
        for (const std::string& input : inputs) {
            const Outcome outcome = target(input);
            EXPECT_EQ(outcome.finding, "") << input.substr(0, 40);
            EXPECT_FALSE(outcome.accepted) << input.substr(0, 40);
        }
    }
}

}  // namespace
}  // namespace thumbrover::fuzz
