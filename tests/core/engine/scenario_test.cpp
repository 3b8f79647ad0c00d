#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "core/common/files.hpp"
#include "core/engine/replay.hpp"

namespace thumbrover {
namespace {

namespace fs = std::filesystem;

// A scenario file is replay input, then a line "--- output", then the lines the replay must
// print. A first line "# replay: --off" starts the engine switched off.
struct Scenario {
    std::string name;
    std::string input;
    std::string expected;
    bool off = false;
};

constexpr std::string_view kSeparator = "--- output\n";

Scenario load_scenario(const fs::path& path) {
    Scenario s;
    s.name = path.filename().string();
    auto text = read_file(path);
    if (!text) {
        ADD_FAILURE() << text.error();
        return s;
    }
    const auto at = text->find(kSeparator);
    if (at == std::string::npos) {
        ADD_FAILURE() << s.name << ": no \"--- output\" line";
        return s;
    }
    s.input = text->substr(0, at);
    s.expected = text->substr(at + kSeparator.size());
    s.off = s.input.starts_with("# replay: --off");
    return s;
}

// As text, which tests print readably (a path prints as the bytes of its object).
std::vector<std::string> scenario_files() {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(fs::path(THUMBROVER_TEST_DATA) / "scenarios")) {
        if (entry.path().extension() == ".scenario") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class ScenarioFile : public ::testing::TestWithParam<std::string> {};

TEST_P(ScenarioFile, ReplaysToTheExpectedCommands) {
    const Scenario s = load_scenario(GetParam());
    EngineState state(Config{}, !s.off);
    std::string out;
    const auto result = run_replay(s.input, state, out);
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(out, s.expected);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioFile, ::testing::ValuesIn(scenario_files()),
                         [](const ::testing::TestParamInfo<std::string>& param_info) {
                             std::string name = fs::path(param_info.param).stem().string();
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) {
                                     return !std::isalnum(static_cast<unsigned char>(c));
                                 },
                                 '_');
                             return name;
                         });

TEST(Scenarios, ThereAreEnoughToMatter) {
    EXPECT_GE(scenario_files().size(), 10u);
}

}  // namespace
}  // namespace thumbrover
