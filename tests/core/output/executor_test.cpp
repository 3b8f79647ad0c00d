#include "core/output/executor.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "fakes/event_output.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using ::testing::ElementsAre;
using testing::slurp;
using testing::TempDir;

using fakes::RecordingOutput;
using RecordingDesktop = fakes::RecordingDesktopActions;

OutputCommand cmd(CommandKind kind, std::uint8_t p1 = 0, std::int32_t a = 0) {
    return {kind, p1, 0, a, 0};
}

// Everything an engine run hands the executor, with fakes for the ports.
struct Harness {
    TempDir dir;
    RecordingOutput output;
    RecordingDesktop desktop;
    bool enabled = true;
    std::pair<FeedbackSender, FeedbackReceiver> feedback = make_channel<FeedbackRequest>();
    EngineLink link{EngineSender{}, true};
    std::atomic<bool> circle{false};
    ExecutorContext context{output,         desktop, enabled, dir / "enabled",
                            feedback.first, &link,   circle};

    // Runs the list and returns what went to standard error meanwhile.
    std::string run(const std::vector<OutputCommand>& commands) {
        ::testing::internal::CaptureStderr();
        run_commands(commands, context);
        return ::testing::internal::GetCapturedStderr();
    }
};

TEST(RunCommands, InputCommandsGoToTheEventOutputInOrder) {
    Harness h;
    std::vector<OutputCommand> commands;
    for (std::uint8_t k = 0; k <= 10; ++k)
        commands.push_back({static_cast<CommandKind>(k), k, std::uint8_t(k + 1), k * 10, -k});
    EXPECT_EQ(h.run(commands), "");
    EXPECT_EQ(h.output.performed, commands);
    EXPECT_TRUE(h.desktop.calls.empty());
}

TEST(RunCommands, AFailingInputCommandIsReportedAndTheRestStillRun) {
    Harness h;
    h.output.failing_calls = {1, 3};
    const std::vector<OutputCommand> commands = {
        cmd(CommandKind::Move, 0, 1),    cmd(CommandKind::ButtonDown, 0),
        cmd(CommandKind::SetEnabled, 0), cmd(CommandKind::ButtonUp, 0),
        cmd(CommandKind::Move, 0, 2),    cmd(CommandKind::SteeringCircle, 1),
    };
    EXPECT_EQ(h.run(commands),
              "thumbrover: could not send input: could not create an input event\n"
              "thumbrover: could not send input: could not create an input event\n");
    EXPECT_THAT(h.output.performed,
                ElementsAre(commands[0], commands[1], commands[3], commands[4]));
    EXPECT_FALSE(h.enabled);
    EXPECT_TRUE(h.circle.load());
}

TEST(RunCommands, SetEnabledWritesTheStateFileExactly) {
    const struct {
        std::uint8_t p1;
        bool enabled;
        std::string file;
    } cases[] = {{0, false, "false"}, {1, true, "true"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Harness h;
        h.enabled = !c.enabled;
        h.link.set_enabled(!c.enabled);
        const std::uint64_t changes = h.link.change_count();
        EXPECT_EQ(h.run({cmd(CommandKind::SetEnabled, c.p1)}), "");
        EXPECT_EQ(h.enabled, c.enabled);
        EXPECT_EQ(slurp(h.dir / "enabled"), c.file);
        EXPECT_EQ(h.link.status().enabled, c.enabled);
        EXPECT_GT(h.link.change_count(), changes);
    }
}

TEST(RunCommands, SetEnabledReplacesOldContentsAndFollowsTheLastCommand) {
    Harness h;
    { std::ofstream(h.dir / "enabled") << "false\n\n  some old text"; }
    EXPECT_EQ(h.run({cmd(CommandKind::SetEnabled, 0), cmd(CommandKind::SetEnabled, 1)}), "");
    EXPECT_EQ(slurp(h.dir / "enabled"), "true");
    EXPECT_TRUE(h.enabled);
}

TEST(RunCommands, UnwritableStateFileIsReportedButTheSwitchStillHappens) {
    Harness h;
    h.context.enabled_file = h.dir / "missing-folder" / "enabled";
    const std::string err = h.run({cmd(CommandKind::SetEnabled, 0)});
    EXPECT_EQ(err, "thumbrover: could not save state: No such file or directory\n");
    EXPECT_FALSE(h.enabled);
    EXPECT_FALSE(h.link.status().enabled);
}

TEST(RunCommands, SetEnabledWithoutALinkOnlyChangesTheFlagAndFile) {
    Harness h;
    h.context.link = nullptr;
    EXPECT_EQ(h.run({cmd(CommandKind::SetEnabled, 0)}), "");
    EXPECT_FALSE(h.enabled);
    EXPECT_EQ(slurp(h.dir / "enabled"), "false");
    EXPECT_TRUE(h.link.status().enabled);
}

TEST(RunCommands, SteeringCircleFollowsEachCommand) {
    Harness h;
    const struct {
        std::uint8_t p1;
        bool visible;
    } steps[] = {{1, true}, {1, true}, {0, false}, {1, true}, {0, false}};
    for (const auto& s : steps) {
        static_cast<void>(h.run({cmd(CommandKind::SteeringCircle, s.p1)}));
        EXPECT_EQ(h.circle.load(), s.visible);
    }
}

TEST(RunCommands, RumbleAsksTheMainThreadOncePerCommand) {
    Harness h;
    EXPECT_EQ(h.run({cmd(CommandKind::Rumble), cmd(CommandKind::Rumble)}), "");
    EXPECT_EQ(h.feedback.second.try_recv(), FeedbackRequest::Rumble);
    EXPECT_EQ(h.feedback.second.try_recv(), FeedbackRequest::Rumble);
    EXPECT_EQ(h.feedback.second.try_recv(), std::nullopt);
}

TEST(RunCommands, RumbleToAClosedChannelIsDroppedQuietly) {
    Harness h;
    h.feedback.second = FeedbackReceiver{};
    EXPECT_EQ(h.run({cmd(CommandKind::Rumble), cmd(CommandKind::SteeringCircle, 1)}), "");
    EXPECT_TRUE(h.circle.load());
}

TEST(RunCommands, DesktopCommandsGoToTheDesktopPortAndFailuresArePrinted) {
    Harness h;
    h.desktop.overview_result = Error{"could not open Mission Control: No such file or directory"};
    EXPECT_EQ(h.run({cmd(CommandKind::MissionControl), cmd(CommandKind::OnScreenKeyboard),
                     cmd(CommandKind::Move, 0, 3)}),
              "thumbrover: could not open Mission Control: No such file or directory\n");
    EXPECT_THAT(h.desktop.calls, ElementsAre("overview", "keyboard"));
    EXPECT_THAT(h.output.performed, ElementsAre(cmd(CommandKind::Move, 0, 3)));
}

}  // namespace
}  // namespace thumbrover
