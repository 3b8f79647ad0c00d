#include "core/cli/command_line.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace thumbrover {
namespace {

struct Case {
    std::vector<std::string_view> args;
    bool starts;  // the program goes on to start (or to run the tool's command)
    int status;
    std::string out_start;
    std::string err;
};

void expect_answer(const std::optional<CommandOutcome>& answer, const Case& c) {
    ASSERT_EQ(!answer.has_value(), c.starts);
    if (!answer) return;
    EXPECT_EQ(answer->status, c.status);
    EXPECT_TRUE(answer->out.starts_with(c.out_start)) << answer->out;
    if (c.out_start.empty()) {
        EXPECT_EQ(answer->out, "");
    }
    EXPECT_EQ(answer->err, c.err);
}

TEST(ProgramCommandLine, AnswersHelpAndVersionAndRefusesEverythingElse) {
    const std::string usage = "Usage: thumbrover [--help | --version | --output=xtest|uinput]\n";
    const std::string version = "thumbrover " THUMBROVER_VERSION "\n";
    const Case cases[] = {
        {{}, true, 0, "", ""},
        {{"--restore-cursor"}, false, 0, "", ""},
        {{"--restore-cursor", "--bogus"}, false, 0, "", ""},
        {{"--help"}, false, 0, usage + "Turns a game controller", ""},
        {{"-h"}, false, 0, usage, ""},
        {{"--version"}, false, 0, version, ""},
        {{"--version", "--help"}, false, 0, usage, ""},
        {{"--bogus"}, false, 2, "", "thumbrover: unknown option `--bogus`\n" + usage},
        {{"-x"}, false, 2, "", "thumbrover: unknown option `-x`\n" + usage},
        {{"--help", "--bogus"}, false, 2, "", "thumbrover: unknown option `--bogus`\n" + usage},
        {{"settings"}, false, 2, "", "thumbrover: unexpected argument `settings`\n" + usage},
        {{"-"}, false, 2, "", "thumbrover: unexpected argument `-`\n" + usage},
        {{""}, false, 2, "", "thumbrover: unexpected argument ``\n" + usage},
        {{"--output=uinput"}, true, 0, "", ""},
        {{"--output=xtest", "--output=uinput"}, true, 0, "", ""},
        {{"--output=uinput", "--version"}, false, 0, version, ""},
        {{"--output=wayland"},
         false,
         2,
         "",
         "thumbrover: unknown output `wayland` (xtest or uinput)\n" + usage},
        {{"--output"}, false, 2, "", "thumbrover: unknown option `--output`\n" + usage},
        {{"--restore-cursorx"},
         false,
         2,
         "",
         "thumbrover: unknown option `--restore-cursorx`\n" + usage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("(none)") : std::string(c.args[0]));
        expect_answer(program_command_line(c.args), c);
    }
    const auto exact = program_command_line(std::vector<std::string_view>{"--version"});
    ASSERT_TRUE(exact.has_value());
    EXPECT_EQ(exact->out, version) << "one line, as scripts read it";
    const std::vector<std::string_view> two{"--output=xtest", "--output=uinput"};
    EXPECT_EQ(requested_output(two), "uinput") << "the last one counts";
    EXPECT_EQ(requested_output(std::vector<std::string_view>{}), std::nullopt);
}

TEST(CtlCommandLine, AnswersItsOwnOptionsAndPassesCommandsOn) {
    const std::string usage = "Usage: thumbroverctl [--help | --version] COMMAND [ARGS]\n";
    const Case cases[] = {
        {{"config", "check"}, true, 0, "", ""},
        {{"replay", "--help"}, true, 0, "", ""},
        {{"demo"}, true, 0, "", ""},
        {{"--help"}, false, 0, usage + "Checks Thumbrover", ""},
        {{"-h", "config"}, false, 0, usage, ""},
        {{"help"}, false, 0, usage, ""},
        {{"--version"}, false, 0, "thumbroverctl " THUMBROVER_VERSION "\n", ""},
        {{}, false, 2, "", "thumbroverctl: a command is needed\n" + usage},
        {{"--bogus"}, false, 2, "", "thumbroverctl: unknown option `--bogus`\n" + usage},
        {{"configure"}, false, 2, "", "thumbroverctl: unknown command `configure`\n" + usage},
        {{"-"}, false, 2, "", "thumbroverctl: unknown command `-`\n" + usage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("(none)") : std::string(c.args[0]));
        expect_answer(ctl_command_line(c.args), c);
    }
}

}  // namespace
}  // namespace thumbrover
