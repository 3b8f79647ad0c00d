#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/controller/poll.hpp"
#include "fakes/controller_events.hpp"
#include "sdl_pads.hpp"

namespace thumbrover {
namespace {

// The controller poll run against SDL and a virtual controller, as the main thread's timer runs
// it: what the engine would hear, in order.
using fakes::RecordingEvents;
using testing::plug_in;

class PollWithSdlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gamepad_ = testing::open_sdl();
        ASSERT_TRUE(gamepad_);
        auto [sender, receiver] = make_channel<FeedbackRequest>();
        feedback_ = std::move(sender);
        link_ = std::make_unique<ControllerLink>(std::make_unique<RecordingEvents>(log_),
                                                 std::move(receiver));
        poller_ = std::make_unique<ControllerPoller>(*gamepad_, slots_);
    }

    // Polls until the next refresh has run (the poll looks for controllers every 125th time).
    void poll_through_refresh() {
        for (std::uint32_t i = 0; i < kControllerRefreshPolls; ++i)
            poller_->poll(link_.get());
    }

    std::vector<std::string> log_;
    ControllerSlots slots_;
    std::unique_ptr<SdlGamepad> gamepad_;
    FeedbackSender feedback_;
    std::unique_ptr<ControllerLink> link_;
    std::unique_ptr<ControllerPoller> poller_;
};

TEST_F(PollWithSdlTest, AdoptsReadsAndLetsGoOfAVirtualController) {
    auto pad = plug_in();
    ASSERT_TRUE(pad);
    pad->set_button(0, true);
    pad->set_axis(1, -1.0f);
    poll_through_refresh();
    EXPECT_EQ(poller_->current(), pad->id());
    EXPECT_EQ(slots_.name(), "Thumbrover Virtual Pad");
    EXPECT_EQ(log_,
              (std::vector<std::string>{"Connected true", "Button 0 down", "Axis 1 -1.000000"}));

    log_.clear();
    pad->set_button(0, false);
    pad->set_axis(1, 0.0f);
    poller_->poll(link_.get());
    poller_->poll(link_.get());
    EXPECT_EQ(log_, (std::vector<std::string>{"Button 0 up", "Axis 1 0.000000"}));

    log_.clear();
    feedback_.send(FeedbackRequest::Rumble);
    poller_->poll(link_.get());
    EXPECT_EQ(pad->rumbles(), 1);

    pad->unplug();
    poll_through_refresh();
    EXPECT_EQ(log_, (std::vector<std::string>{"Connected false", "ControllerGone"}));
    EXPECT_EQ(poller_->current(), std::nullopt);
    EXPECT_EQ(slots_.name(), std::nullopt);
}

TEST_F(PollWithSdlTest, ASecondControllerTakesOverOnlyWhenTheFirstIsGone) {
    auto first = plug_in();
    auto second = plug_in();
    ASSERT_TRUE(first && second);
    poll_through_refresh();
    EXPECT_EQ(poller_->current(), first->id());

    second->set_button(3, true);
    poll_through_refresh();
    EXPECT_EQ(log_, std::vector<std::string>{"Connected true"});

    log_.clear();
    first->unplug();
    poll_through_refresh();
    EXPECT_EQ(poller_->current(), second->id());
    EXPECT_EQ(log_, (std::vector<std::string>{"Connected false", "ControllerGone", "Connected true",
                                              "Button 3 down"}));
}

}  // namespace
}  // namespace thumbrover
