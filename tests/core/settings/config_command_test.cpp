#include "core/settings/config_command.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST_F(ConfigCommand, CheckReportsEveryMistakeOfAFileThatParses) {
    const fs::path file = tmp_ / "mine.toml";
    put(file,
        "pointer_sped = 900.0\n"
        "hold_ms = -1\n"
        "b_hold_ms = 300\n"
        "[buttons]\n"
        "a = \"left-clik\"\n"
        "zz = \"none\"\n"
        "b = \"right-click\"\n");
    const CommandOutcome check = run({"check", file.string()});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, "");
    const std::string at = "thumbroverctl: " + file.string() + ": ";
    EXPECT_EQ(check.err,
              at + "line 1, column 1: unknown field `pointer_sped`, expected " +
                  "one of `pointer_speed`, `precise_factor`, `scroll_speed`, `stick_deadzone`, "
                  "`stick_curve`, `circle_scale`, `left_stick`, `right_stick`, `b_hold_ms`, "
                  "`hold_ms`, `xbox_hold_ms`, `alt_tab_commit_ms`, `steering_idle_ms`, "
                  "`volume_delay_ms`, `volume_repeat_ms`, `check_for_updates`, `buttons`, "
                  "`shifted`, `apps`\n" +
                  at +
                  "line 2, column 11, key `hold_ms`: invalid value: integer `-1`, expected u64\n" +
                  at + "line 3, column 1: duplicate field `hold_ms`\n" + at +
                  "line 5, column 5: unknown action `left-clik` for `a`\n" + at +
                  "line 6, column 1: unknown button `zz`\n");
    // A text that is not TOML stops where the reading stopped.
    put(file, "hold_ms = \n");
    const CommandOutcome syntax = run({"check", file.string()});
    EXPECT_EQ(syntax.status, 1);
    EXPECT_EQ(std::count(syntax.err.begin(), syntax.err.end(), '\n'), 1) << syntax.err;
}

TEST_F(ConfigCommand, CheckWarnsOfValuesOutsideTheirSensibleRangeWithTheLikelyMeaning) {
    struct Case {
        std::string line;
        std::string warning;  // empty: none
    };
    const std::vector<Case> cases = {
        {"stick_deadzone = 12",
         "`stick_deadzone` = 12.0 is outside the sensible range 0.0 to 0.4 (0.12?)"},
        {"precise_factor = 30.0",
         "`precise_factor` = 30.0 is outside the sensible range 0.1 to 1.0 (0.3?)"},
        {"pointer_speed = -800.0",
         "`pointer_speed` = -800.0 is outside the sensible range 300.0 to 4000.0 (800.0?)"},
        {"pointer_speed = 1e9",
         "`pointer_speed` = 1000000000.0 is outside the sensible range 300.0 to 4000.0"},
        {"hold_ms = 1", "`hold_ms` = 1 is outside the sensible range 150 to 1500 (1000?)"},
        {"steering_idle_ms = 60000",
         "`steering_idle_ms` = 60000 is outside the sensible range 200 to 5000"},
        {"stick_curve = nan", "`stick_curve` = nan is outside the sensible range 1.0 to 4.0"},
        // The ends of each range and the float nearest to them are inside.
        {"stick_deadzone = 0.4", ""},
        {"precise_factor = 0.1", ""},
        {"volume_repeat_ms = 50", ""},
    };
    const fs::path file = tmp_ / "mine.toml";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        put(file, c.line + "\n");
        const CommandOutcome check = run({"check", file.string()});
        EXPECT_EQ(check.status, 0);
        EXPECT_EQ(check.out, file.string() + ": ok\n");
        EXPECT_EQ(check.err, c.warning.empty() ? ""
                                               : "thumbroverctl: " + file.string() +
                                                     ": warning: " + c.warning + "\n");
    }
}

}  // namespace
}  // namespace thumbrover
