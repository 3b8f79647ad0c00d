#include "core/output/executor.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "macos/event_output.hpp"
#include "recording_sink.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::TempDir;

class NoDesktop final : public DesktopActions {
  public:
    Result<void> show_overview() override { return {}; }
    Result<void> show_on_screen_keyboard() override { return {}; }
};

OutputCommand command(CommandKind kind, std::uint8_t p1 = 0) {
    return {kind, p1, 0, 0, 0};
}

TEST(RunCommands, FailingSinkInTheMiddleOfAListWithTheRealEventSynthesis) {
    TempDir dir;
    NoDesktop desktop;
    bool enabled = true;
    auto feedback = make_channel<FeedbackRequest>();
    std::atomic<bool> circle{false};
    testing::RecordingSink sink;
    MacEventOutput mac(sink);
    ExecutorContext real{mac, desktop, enabled, dir / "enabled", feedback.first, nullptr, circle};
    sink.fail_post = 1;  // the Tab press of the switcher
    ::testing::internal::CaptureStderr();
    run_commands(std::vector<OutputCommand>{command(CommandKind::HoldCommand, 1),
                                            command(CommandKind::SwitcherTab),
                                            command(CommandKind::HoldCommand, 0)},
                 real);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "thumbrover: could not send input: could not create an input event\n");
    // Command went down and came back up; the failed Tab press took its release with it.
    ASSERT_EQ(sink.events.size(), 2u);
    EXPECT_EQ(sink.events[0].flags, 0x100u | 0x100008u);
    EXPECT_EQ(sink.events[1].flags, 0x100u);
    EXPECT_FALSE(mac.command_held());
}

}  // namespace
}  // namespace thumbrover
