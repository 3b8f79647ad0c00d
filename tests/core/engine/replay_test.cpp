#include "core/engine/replay.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/common/files.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using std::chrono::nanoseconds;

TEST(ReplayTime, ParsesExactlyAndPrintsTheShortestForm) {
    struct Case {
        std::string_view text;
        std::int64_t ns;
        std::string_view printed;
    };
    const Case cases[] = {
        {"0", 0, "0"},
        {"8", 8'000'000, "8"},
        {"408.5", 408'500'000, "408.5"},
        {"408.500000", 408'500'000, "408.5"},
        {"0.000001", 1, "0.000001"},
        {"12.345678", 12'345'678, "12.345678"},
        {"007", 7'000'000, "7"},
    };
    for (const auto& c : cases) {
        const auto parsed = parse_replay_time(c.text);
        ASSERT_TRUE(parsed.ok()) << c.text;
        EXPECT_EQ(parsed->count(), c.ns) << c.text;
        EXPECT_EQ(format_replay_time(*parsed), c.printed) << c.text;
    }
    for (const std::string_view bad :
         {"", "-1", "1.2345678", ".5", "1e3", "8ms", "1.2.3", "+1", "99999999999999999999"}) {
        EXPECT_FALSE(parse_replay_time(bad).ok()) << bad;
    }
}

TEST(Replay, AxisValuesAreReadInEveryFormAFloatIsWritten) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        std::string_view text;
        float value;
    } cases[] = {
        {"0.25", 0.25f}, {"-.5", -0.5f},  {"1.", 1.0f},    {"2.5e-1", 0.25f},
        {"1E+0", 1.0f},  {"-0", -0.0f},   {"INF", inf},    {"-infinity", -inf},
        {"1e50", inf},   {"-1e50", -inf}, {"1e-50", 0.0f}, {"0.1", 0.1f},
    };
    for (const auto& c : cases) {
        EngineState state(Config{}, true);
        std::string out;
        const auto result = run_replay("0 axis 0 " + std::string(c.text) + "\n", state, out);
        ASSERT_TRUE(result.ok()) << c.text << ": " << result.error();
        EXPECT_EQ(state.lx, c.value) << c.text;
    }
    EngineState state(Config{}, true);
    std::string out;
    ASSERT_TRUE(run_replay("0 axis 0 NaN\n", state, out).ok());
    EXPECT_TRUE(std::isnan(state.lx));

    for (const std::string_view bad :
         {"+1", "1e", "e5", ".", "-", "1.2.3", "0x1p3", "1,5", "--1", "infinite", "nan1", "1e+"}) {
        EngineState s(Config{}, true);
        const auto result = run_replay("0 axis 0 " + std::string(bad) + "\n", s, out);
        ASSERT_FALSE(result.ok()) << bad;
        EXPECT_EQ(result.error(),
                  "line 1: axis value `" + std::string(bad) + "` is not a decimal number");
    }
}

struct BadLine {
    std::string_view scenario;
    std::string_view error;
};

TEST(Replay, ReportsTheFirstMalformedLineAfterTheOutputBeforeIt) {
    const BadLine cases[] = {
        {"0 toggle\n\n# note\n5 jump\n", "line 4: unknown operation `jump`"},
        {"0 toggle\nx tick\n", "line 2: time `x` is not milliseconds"},
        {"0 toggle\n5\n", "line 2: missing operation"},
        {"0 toggle\n5 button 11 down\n", "line 2: button number `11` is not 0..10"},
        {"0 toggle\n5 button 1 pressed\n", "line 2: expected `down` or `up`"},
        {"0 toggle\n5 button 1\n", "line 2: expected `button N down|up`"},
        {"0 toggle\n5 axis 8 1\n", "line 2: axis number `8` is not 0..7"},
        {"0 toggle\n5 axis 1 fast\n", "line 2: axis value `fast` is not a decimal number"},
        {"0 toggle\n5 tick now\n", "line 2: `tick` takes no arguments"},
        {"0 toggle\n5 ticks 10 0\n", "line 2: the tick step must be more than 0"},
        {"0 toggle\n5 ticks 10\n", "line 2: expected `ticks END STEP`"},
        {"0 toggle\n5 set hold_ms\n", "line 2: expected `set KEY = VALUE`"},
        {"0 toggle\n5 set hold_ms = -1\n",
         "line 2: invalid setting `hold_ms = -1`: key `hold_ms`: invalid value"},
        {"0 toggle\n5 set buttons.jump = \"mute\"\n", "line 2: invalid setting"},
        {"0 toggle\n5 set hold_ms = [\n", "line 2: invalid setting `hold_ms = [`"},
    };
    for (const auto& c : cases) {
        EngineState state(Config{}, true);
        std::string out;
        const auto result = run_replay(c.scenario, state, out);
        ASSERT_FALSE(result.ok()) << c.scenario;
        EXPECT_TRUE(result.error().starts_with(c.error)) << result.error();
        EXPECT_EQ(out, "0 SetEnabled 0 0 0 0\n0 Rumble 0 0 0 0\n") << c.scenario;
    }
}

TEST(Replay, StopsAtTheOutputLineOfAScenarioFile) {
    struct Case {
        std::string_view scenario;
        bool ok;
    };
    const Case cases[] = {
        {"0 toggle\n--- output\n0 SetEnabled 0 0 0 0\n", true},
        {"0 toggle\n--- output\nnot a scenario line at all\n", true},
        {"0 toggle\n--- output", true},
        {"0 toggle\n--- outputs\n", false},
        {"0 toggle\n --- output\n", false},
    };
    for (const auto& c : cases) {
        EngineState state(Config{}, true);
        std::string out;
        const auto result = run_replay(c.scenario, state, out);
        EXPECT_EQ(result.ok(), c.ok) << c.scenario;
        EXPECT_EQ(out, "0 SetEnabled 0 0 0 0\n0 Rumble 0 0 0 0\n") << c.scenario;
    }
}

TEST(Replay, ATickRunOmitsTimesAfterItsEnd) {
    EngineState state(Config{}, true);
    state.switcher_deadline = nanoseconds(25'000'000);
    std::string out;
    ASSERT_TRUE(run_replay("3.5 ticks 30 7.25\n", state, out).ok());
    // Ticks at 3.5, 10.75, 18, 25.25 (the switcher commits here), 32.5 is after the end.
    EXPECT_EQ(out, "25.25 HoldCommand 0 0 0 0\n");
    EXPECT_EQ(state.last_tick, nanoseconds(25'250'000));

    // A run whose end lies before its start still ticks once, at its start.
    out.clear();
    ASSERT_TRUE(run_replay("40 ticks 30 8\n", state, out).ok());
    EXPECT_EQ(state.last_tick, nanoseconds(40'000'000));
}

TEST(Replay, SetChangesOnlyTheNamedSetting) {
    Config expected;
    expected.hold_ms = 300;
    expected.buttons[button_index(Button::A)].hold = *parse_action("cmd+q");
    expected.right_stick = StickRole::Pointer;
    expected.pointer_speed = 0.3f;
    EngineState state(Config{}, true);
    std::string out;
    ASSERT_TRUE(run_replay("0 set hold_ms = 300\n"
                           "0 set buttons.a_hold = \"cmd+q\"\n"
                           "0 set right_stick=\"pointer\"\n"
                           "1 set   pointer_speed =  0.3  \n",
                           state, out)
                    .ok());
    EXPECT_EQ(state.config, expected);
    EXPECT_EQ(out, "");
}

TEST(Replay, SetRefusesAValueNestedTooDeepInsteadOfCrashing) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "a.";
    const std::pair<std::string, std::string> cases[] = {
        {"{ " + deep + "a = 1 }", "nested more than 256 levels deep"},
        {std::string(300, '[') + std::string(300, ']'), "nested more than 256 levels deep"},
    };
    for (const auto& [value, reason] : cases) {
        const auto changed = config_with_setting(Config{}, "pointer_speed", value);
        ASSERT_FALSE(changed.ok());
        EXPECT_TRUE(changed.error().starts_with("invalid setting `pointer_speed = "));
        EXPECT_TRUE(changed.error().ends_with(": " + reason)) << changed.error().substr(0, 80);
    }
}

TEST(ReplayCommand, ReadsItsOptionsSettingsAndScenario) {
    testing::TempDir dir;
    ASSERT_TRUE(write_file_atomically(dir / "s.scenario", "0 button 0 down\n").ok());
    ASSERT_TRUE(write_file_atomically(dir / "right.toml", "[buttons]\na = \"right-click\"\n").ok());
    ASSERT_TRUE(write_file_atomically(dir / "bad.toml", "hold_ms = -1\n").ok());
    ASSERT_TRUE(write_file_atomically(dir / "expected.scenario",
                                      "0 button 0 down\n--- output\n0 ButtonDown 0 0 0 0\n")
                    .ok());
    const std::string scenario = (dir / "s.scenario").string();
    const std::string expected_after = (dir / "expected.scenario").string();
    const std::string right = (dir / "right.toml").string();
    const std::string bad = (dir / "bad.toml").string();
    const std::string missing = (dir / "missing.toml").string();
    const std::string no_scenario = (dir / "none").string();
    const auto stdin_text = []() -> Result<std::string> { return std::string("0 toggle\n"); };

    struct Case {
        std::vector<std::string_view> args;
        int status;
        std::string_view out;
        std::string err_start;
        bool help = false;
        std::string_view examples = {};
    };
    constexpr std::string_view kUsage =
        "Usage: thumbroverctl replay [--config FILE | --defaults] [--off] [SCENARIO]\n";
    const Case cases[] = {
        {{scenario}, 0, "0 ButtonDown 0 0 0 0\n", ""},
        {{"--config", right, scenario}, 0, "0 ButtonDown 1 0 0 0\n", ""},
        {{"--off", scenario}, 0, "", ""},
        {{}, 0, "0 SetEnabled 0 0 0 0\n0 Rumble 0 0 0 0\n", ""},
        {{"--off", "-"}, 0, "0 SetEnabled 1 0 0 0\n0 Rumble 0 0 0 0\n", ""},
        {{"--config", bad, scenario}, 1, "", "thumbroverctl: " + bad + ": "},
        {{"--config", missing, scenario}, 1, "", "thumbroverctl: " + missing + ": "},
        {{"--config"}, 2, "", "thumbroverctl: `--config` needs a settings file\nUsage: "},
        {{"--fast"}, 2, "", "thumbroverctl: unknown option `--fast`\nUsage: "},
        {{scenario, "--fast"}, 2, "", "thumbroverctl: unknown option `--fast`\nUsage: "},
        {{scenario, scenario}, 2, "", "thumbroverctl: only one scenario"},
        {{"--off", "--help", "--fast"}, 0, "", "", true},
        {{"-h"}, 0, "", "", true},
        {{"--help"}, 0, "", "", true, "/usr/share/doc/thumbrover/examples"},
        {{expected_after}, 0, "0 ButtonDown 0 0 0 0\n", ""},
        {{no_scenario}, 1, "", "thumbroverctl: could not read"},
    };
    for (const auto& c : cases) {
        const auto outcome = run_replay_command(c.args, stdin_text, {}, c.examples);
        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        if (c.help) {
            EXPECT_TRUE(outcome.out.starts_with(kUsage)) << outcome.out;
            // Only where the examples are is there a line about them.
            EXPECT_EQ(outcome.out.find("Examples"),
                      c.examples.empty() ? std::string::npos : outcome.out.rfind("\n\n") + 2);
            EXPECT_EQ(outcome.out.ends_with(std::string(c.examples) + "/*.scenario\n"),
                      !c.examples.empty());
        } else {
            EXPECT_EQ(outcome.out, c.out);
        }
        EXPECT_TRUE(outcome.err.starts_with(c.err_start)) << outcome.err;
        if (c.status != 0) {
            EXPECT_TRUE(outcome.err.ends_with("\n"));
        }
    }
}

TEST(ReplayCommand, UsesTheUsersOwnSettingsAsTheProgramWouldAndSaysWhich) {
    testing::TempDir dir;
    ASSERT_TRUE(write_file_atomically(dir / "s.scenario", "0 button 0 down\n").ok());
    ASSERT_TRUE(write_file_atomically(dir / "right.toml", "[buttons]\na = \"right-click\"\n").ok());
    ASSERT_TRUE(write_file_atomically(dir / "bad.toml", "hold_ms = -1\n").ok());
    const std::string scenario = (dir / "s.scenario").string();
    const std::filesystem::path right = dir / "right.toml";
    const std::filesystem::path bad = dir / "bad.toml";
    const std::filesystem::path missing = dir / "missing.toml";
    const std::string right_text = right.string();
    const auto no_stdin = []() -> Result<std::string> { return std::string(); };

    struct Case {
        std::filesystem::path user_file;
        std::vector<std::string_view> args;
        std::string_view out;
        std::string err;
    };
    const Case cases[] = {
        {right,
         {scenario},
         "0 ButtonDown 1 0 0 0\n",
         "thumbroverctl: using the settings of " + right.string() + "\n"},
        {missing,
         {scenario},
         "0 ButtonDown 0 0 0 0\n",
         "thumbroverctl: using the default settings (" + missing.string() + " does not exist)\n"},
        {bad,
         {scenario},
         "0 ButtonDown 0 0 0 0\n",
         "thumbroverctl: using the default settings, as Thumbrover would: " + bad.string() +
             ": line 1, column 11, key `hold_ms`: invalid value: integer `-1`, expected u64\n"},
        {right, {"--defaults", scenario}, "0 ButtonDown 0 0 0 0\n", ""},
        {bad, {"--config", right_text, scenario}, "0 ButtonDown 1 0 0 0\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        const auto outcome = run_replay_command(c.args, no_stdin, c.user_file);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.out, c.out);
        EXPECT_EQ(outcome.err, c.err);
    }
}

}  // namespace
}  // namespace thumbrover
