#include "core/settings/config_command.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/common/diag.hpp"
#include "core/settings/config_file.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::put;
namespace fs = std::filesystem;
using testing::TempDir;

class ConfigCommand : public ::testing::Test {
  protected:
    void SetUp() override { set_program_name("thumbroverctl"); }
    void TearDown() override { set_program_name("thumbrover"); }

    CommandOutcome run(std::vector<std::string_view> args) {
        return run_config_command(args, default_file_);
    }

    TempDir tmp_;
    fs::path default_file_ = tmp_ / "config.toml";
};

TEST_F(ConfigCommand, DefaultsPrintsTheDefaultFile) {
    const CommandOutcome o = run({"defaults"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, default_config_text());
    EXPECT_EQ(o.err, "");
}

TEST_F(ConfigCommand, CheckAndNormalizeAFileWithoutMistakes) {
    const fs::path file = tmp_ / "mine.toml";
    put(file, "# mine\nb_hold_ms = 300\npointer_speed = 1000\n");
    const CommandOutcome check = run({"check", file.string()});
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.out, file.string() + ": ok\n");
    EXPECT_EQ(check.err, "");

    const CommandOutcome normalized = run({"normalize", file.string()});
    EXPECT_EQ(normalized.status, 0);
    Config expected;
    expected.hold_ms = 300;
    expected.pointer_speed = 1000.0f;
    EXPECT_EQ(normalized.out, config_to_text(expected));
}

TEST_F(ConfigCommand, UsesTheSettingsFileWhenNoneIsNamed) {
    put(default_file_, "hold_ms = 5\n");
    EXPECT_EQ(run({"check"}).out, default_file_.string() + ": ok\n");
    Config expected;
    expected.hold_ms = 5;
    EXPECT_EQ(run({"normalize"}).out, config_to_text(expected));
}

TEST_F(ConfigCommand, MistakesAndUnreadableFilesFailWithTheReport) {
    const fs::path bad = tmp_ / "bad.toml";
    put(bad, "hold_ms = -1\n");
    const std::string report = "thumbroverctl: " + bad.string() +
                               ": line 1, column 11, key `hold_ms`: invalid value: integer `-1`, "
                               "expected u64\n";
    for (std::string_view command : {"check", "normalize"}) {
        SCOPED_TRACE(command);
        const CommandOutcome o = run({command, bad.string()});
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.err, report);

        const fs::path absent = tmp_ / "absent.toml";
        const CommandOutcome missing = run({command, absent.string()});
        EXPECT_EQ(missing.status, 1);
        EXPECT_EQ(missing.err,
                  "thumbroverctl: " + absent.string() + ": No such file or directory\n");
    }
    EXPECT_EQ(run({"check", tmp_.path().string()}).err,
              "thumbroverctl: " + tmp_.path().string() + ": Is a directory\n");
}

TEST_F(ConfigCommand, ANewAccountWithoutASettingsFileUsesTheDefaults) {
    const std::string note =
        default_file_.string() + ": no settings file yet; the defaults are in use";
    const CommandOutcome check = run({"check"});
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.out, note + "\n");
    EXPECT_EQ(check.err, "");
    const CommandOutcome normalized = run({"normalize"});
    EXPECT_EQ(normalized.status, 0);
    EXPECT_EQ(normalized.out, "");
    EXPECT_EQ(normalized.err, "thumbroverctl: " + note + "\n");
    EXPECT_FALSE(fs::exists(default_file_));
}

TEST_F(ConfigCommand, WrongUsageExitsWithTwo) {
    const std::vector<std::vector<std::string_view>> cases = {{},
                                                              {"frobnicate"},
                                                              {"defaults", "x"},
                                                              {"check", "a", "b"},
                                                              {"normalize", "a", "b"},
                                                              {"check", "--strict"},
                                                              {"normalize", "-q", "a"}};
    for (const auto& args : cases) {
        const CommandOutcome o = run(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.out, "");
        EXPECT_TRUE(o.err.starts_with("thumbroverctl: ")) << o.err;
        EXPECT_NE(o.err.find("Usage: thumbroverctl config"), std::string::npos);
    }
    for (const std::vector<std::string_view>& help :
         {std::vector<std::string_view>{"--help"}, {"check", "--help"}, {"defaults", "-h"}}) {
        const CommandOutcome o = run(help);
        EXPECT_EQ(o.status, 0);
        EXPECT_TRUE(o.out.starts_with("Usage: thumbroverctl config")) << o.out;
        EXPECT_EQ(o.err, "");
    }
    // A file named like an option stays reachable the usual way.
    put(tmp_ / "-dash.toml", "");
    EXPECT_EQ(run({"check", (tmp_ / "-dash.toml").string()}).status, 0);
}

}  // namespace
}  // namespace thumbrover
