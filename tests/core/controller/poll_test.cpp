#include "core/controller/poll.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/controller/engine_events.hpp"
#include "core/controller/link.hpp"
#include "core/controller/slots.hpp"
#include "core/engine/messages.hpp"
#include "fakes/controller_events.hpp"
#include "fakes/gamepad.hpp"

namespace thumbrover {
namespace {

using fakes::FakeGamepad;
using fakes::FakePad;

using fakes::RecordingEvents;

class PollTest : public ::testing::Test {
  protected:
    PollTest() {
        auto [sender, receiver] = make_channel<FeedbackRequest>();
        feedback = sender;
        link = std::make_unique<ControllerLink>(std::make_unique<RecordingEvents>(sent),
                                                std::move(receiver));
    }

    // Runs polls and returns what the engine got from them, with stderr alongside.
    std::vector<std::string> poll(int times = 1) {
        sent.clear();
        ::testing::internal::CaptureStderr();
        for (int i = 0; i < times; ++i)
            poller.poll(link.get());
        errors = ::testing::internal::GetCapturedStderr();
        return sent;
    }

    FakeGamepad pad;
    ControllerSlots slots;
    ControllerPoller poller{pad, slots};
    FeedbackSender feedback;
    std::vector<std::string> sent;
    std::unique_ptr<ControllerLink> link;
    std::string errors;
};

using Lines = std::vector<std::string>;

TEST_F(PollTest, NothingHappensBeforeTheEngineLinkExists) {
    pad.plug(1);
    poller.poll(nullptr);
    EXPECT_EQ(pad.list_queries, 0);
    // The refresh counter has not moved either: the first linked poll still looks for
    // controllers.
    EXPECT_EQ(poll(), Lines{"Connected true"});
}

TEST_F(PollTest, AdoptionReportsThePressedButtonsAndOffCentreAxesInFixedOrder) {
    FakePad& p = pad.plug(7);
    p.vendor = "Xbox Wireless Controller";
    p.battery = 0.85f;
    p.state.buttons[10] = true;
    p.state.buttons[0] = true;
    p.state.axes[7] = 1.0f;
    p.state.axes[1] = -0.5f;

    EXPECT_EQ(poll(), (Lines{"Connected true", "Button 0 down", "Button 10 down",
                             "Axis 1 -0.500000", "Axis 7 1.000000"}));
    EXPECT_EQ(errors, "thumbrover: using controller Xbox Wireless Controller\n");
    EXPECT_EQ(pad.calls, Lines{"home 7"});
    EXPECT_EQ(slots.name(), "Xbox Wireless Controller");
    EXPECT_EQ(slots.battery(), 0.85f);
    EXPECT_EQ(poller.current(), 7u);
}

TEST_F(PollTest, AnUnnamedControllerIsCalledUnknown) {
    pad.plug(1);
    poll();
    EXPECT_EQ(errors, "thumbrover: using controller unknown\n");
    EXPECT_EQ(slots.name(), "unknown");
    EXPECT_EQ(slots.battery(), std::nullopt);
}

TEST_F(PollTest, ValuesAtRestAreSentOnceAndEveryChangeOnce) {
    FakePad& p = pad.plug(1);
    p.state.axes[0] = 0.25f;
    poll();
    EXPECT_EQ(poll(20), Lines{});

    p.state.axes[0] = 0.2500001f;
    p.state.buttons[3] = true;
    EXPECT_EQ(poll(), (Lines{"Button 3 down", "Axis 0 0.250000"}));
    p.state.buttons[3] = false;
    p.state.axes[0] = 0.0f;
    EXPECT_EQ(poll(), (Lines{"Button 3 up", "Axis 0 0.000000"}));
    EXPECT_EQ(poll(3), Lines{});
}

TEST_F(PollTest, WhileTheEngineSteersStickChangesAreLeftToItsReadsAndNothingIsLost) {
    FakePad& p = pad.plug(1);
    poll();
    // Steering, but nothing reads for the engine (the main thread's timer polls): no change waits.
    link->set_steering(true);
    p.state.axes[0] = 0.25f;
    EXPECT_EQ(poll(), Lines{"Axis 0 0.250000"});
    std::vector<std::string> read_by_engine;
    RecordingEvents engine_sink(read_by_engine);
    link->set_sampler([&](ControllerEvents& sink) { poller.sample(sink); });
    const auto engine_reads = [&] {
        read_by_engine.clear();
        EXPECT_TRUE(link->sample(engine_sink, [] { return true; }));
        return read_by_engine;
    };
    // steering, read by the engine before a tick (else the reader's poll), left stick, B, trigger
    const struct {
        bool steering, engine;
        float lx;
        bool b;
        float trigger;
        Lines heard;
    } steps[] = {
        {false, false, 0.5f, false, 0.0f, {"Axis 0 0.500000"}},
        // Steering: the reader sends buttons and triggers only, the engine's read the sticks
        // only, and the reader's next poll does not repeat them.
        {true, false, 0.6f, true, 0.5f, {"Button 1 down", "Axis 4 0.500000"}},
        {true, true, 0.6f, true, 0.5f, {"Axis 0 0.600000"}},
        {true, true, 0.7f, false, 0.4f, {"Axis 0 0.700000"}},
        {true, false, 0.7f, false, 0.4f, {"Button 1 up", "Axis 4 0.400000"}},
        // A change left behind when steering stops: the reader's next poll sends it.
        {true, false, 0.0f, false, 0.4f, {}},
        {false, false, 0.0f, false, 0.4f, {"Axis 0 0.000000"}},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const auto& s = steps[i];
        SCOPED_TRACE(i);
        link->set_steering(s.steering);
        p.state.axes[0] = s.lx;
        p.state.buttons[1] = s.b;
        p.state.axes[4] = s.trigger;
        EXPECT_EQ(s.engine ? engine_reads() : poll(), s.heard);
    }
    // The service was told each time steering started or stopped, and only then.
    EXPECT_EQ(pad.calls, (Lines{"home 1", "quiet", "loud"}));
    // A read under way on the reader's thread, or a message still waiting: no read.
    EXPECT_FALSE(link->sample(engine_sink, [] { return false; }));
    const auto lock = link->lock();
    EXPECT_FALSE(std::async(std::launch::async, [&] {
                     return link->sample(engine_sink, [] { return true; });
                 }).get());
}

TEST_F(PollTest, ANotANumberAxisReadsAsCentredInsteadOfChangingEveryTick) {
    FakePad& p = pad.plug(1);
    p.state.axes[2] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(poll(5), Lines{"Connected true"});
}

TEST_F(PollTest, ControllersAreListedOnlyEvery125thPoll) {
    poll(125);
    EXPECT_EQ(pad.list_queries, 1);
    pad.plug(4);
    EXPECT_EQ(poll(), Lines{"Connected true"});  // poll 126 is the 125th after the first
    EXPECT_EQ(pad.list_queries, 2);
    poll(124);
    EXPECT_EQ(pad.list_queries, 2);
    poll();
    EXPECT_EQ(pad.list_queries, 3);
}

TEST_F(PollTest, ASlowerTickLooksForControllersMoreOftenInPolls) {
    poller.set_polls_per_refresh(5);
    poll(5);
    EXPECT_EQ(pad.list_queries, 1);
    pad.plug(4);
    EXPECT_EQ(poll(), Lines{"Connected true"});
    EXPECT_EQ(pad.list_queries, 2);
    EXPECT_TRUE(poller.has_controller());
    poller.set_polls_per_refresh(0);  // never a division by zero: every poll looks
    poll(3);
    EXPECT_EQ(pad.list_queries, 5);
}

TEST_F(PollTest, UnpluggingSendsTheDisconnectSequenceAndClearsTheSlots) {
    FakePad& p = pad.plug(3);
    p.battery = 0.5f;
    p.vendor = "Pad";
    p.state.buttons[0] = true;
    poll();
    poll(124);
    pad.unplug(3);
    EXPECT_EQ(poll(), (Lines{"Connected false", "ControllerGone"}));
    EXPECT_EQ(errors, "thumbrover: controller disconnected\n");
    EXPECT_EQ(pad.calls, (Lines{"home 3", "release 3"}));
    EXPECT_EQ(slots.battery(), std::nullopt);
    EXPECT_EQ(slots.name(), std::nullopt);
    EXPECT_EQ(poller.current(), std::nullopt);
    EXPECT_EQ(poll(300), Lines{});
}

TEST_F(PollTest, TheFirstExtendedControllerWinsAndAnotherTakesOverOnlyAfterItLeaves) {
    pad.plug(1).extended = false;
    pad.plug(2).vendor = "Second";
    pad.plug(3).vendor = "Third";
    poll();
    EXPECT_EQ(poller.current(), 2u);

    pad.plug(9);  // a newcomer is ignored while one is current
    poll(125);
    EXPECT_EQ(poller.current(), 2u);

    pad.pads[3].state.buttons[1] = true;
    pad.unplug(2);
    poll(124);
    EXPECT_EQ(poll(),
              (Lines{"Connected false", "ControllerGone", "Connected true", "Button 1 down"}));
    EXPECT_EQ(errors, "thumbrover: controller disconnected\nthumbrover: using controller Third\n");
    EXPECT_EQ(poller.current(), 3u);
    EXPECT_EQ(slots.name(), "Third");
}

TEST_F(PollTest, AControllerThatLosesItsProfileIsKeptButNotRead) {
    FakePad& p = pad.plug(1);
    poll();
    p.extended = false;
    p.state.buttons[0] = true;
    EXPECT_EQ(poll(200), Lines{});
    EXPECT_EQ(poller.current(), 1u);
    p.extended = true;
    EXPECT_EQ(poll(), Lines{"Button 0 down"});
}

// What the slots hold at the moment each `Connected` leaves: the engine reads the battery in the
// same pass as it handles the message.
class SlotsAtConnection final : public ControllerEvents {
  public:
    SlotsAtConnection(const ControllerSlots& slots, std::vector<std::string>& log)
        : slots_(slots), log_(log) {}
    void connected(bool is_connected) override {
        const auto battery = battery_text(slots_.battery());
        log_.push_back(std::string(is_connected ? "Connected true" : "Connected false") + ": " +
                       slots_.name().value_or("no name") + ", " + battery.value_or("no battery"));
    }
    void button_changed(std::uint8_t /*index*/, bool /*pressed*/) override {}
    void axis_changed(std::uint8_t /*index*/, float /*value*/) override {}
    void controller_gone() override {}

  private:
    const ControllerSlots& slots_;
    std::vector<std::string>& log_;
};

TEST(PollConnection, NameAndBatteryAreStoredBeforeTheEngineHearsOfTheController) {
    struct Case {
        const char* what;
        std::optional<float> first_battery;
        std::optional<float> second_battery;
        Lines expected;
    };
    const Case cases[] = {
        {"a low battery is there to warn about at once",
         0.15f,
         std::nullopt,
         {"Connected true: First, Low"}},
        {"a level is there to show at once", 0.85f, std::nullopt, {"Connected true: First, 85%"}},
        {"without a level there is none to show",
         std::nullopt,
         std::nullopt,
         {"Connected true: First, no battery"}},
        {"a controller taking over brings its own",
         0.85f,
         0.5f,
         {"Connected true: First, 85%", "Connected false: no name, no battery",
          "Connected true: Second, 50%"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeGamepad pad;
        ControllerSlots slots;
        ControllerPoller poller(pad, slots);
        Lines log;
        auto [sender, receiver] = make_channel<FeedbackRequest>();
        ControllerLink link(std::make_unique<SlotsAtConnection>(slots, log), std::move(receiver));
        FakePad& first = pad.plug(1);
        first.vendor = "First";
        first.battery = c.first_battery;
        if (c.second_battery) {
            FakePad& second = pad.plug(2);
            second.vendor = "Second";
            second.battery = c.second_battery;
        }
        ::testing::internal::CaptureStderr();
        poller.poll(&link);
        if (c.second_battery) {
            pad.unplug(1);
            for (int i = 0; i < 125; ++i)
                poller.poll(&link);
        }
        (void)::testing::internal::GetCapturedStderr();
        EXPECT_EQ(log, c.expected);
    }
}

TEST_F(PollTest, BatteryIsRefreshedWithTheListAndClearedWhenTheControllerStopsReporting) {
    FakePad& p = pad.plug(1);
    p.battery = 0.9f;
    poll();
    p.battery = 0.1f;
    poll(124);
    EXPECT_EQ(slots.battery(), 0.9f);
    poll();
    EXPECT_EQ(slots.battery(), 0.1f);
    p.battery.reset();
    poll(125);
    EXPECT_EQ(slots.battery(), std::nullopt);
}

TEST_F(PollTest, RumbleRequestsPlayOnTheCurrentControllerAndOthersAreDropped) {
    feedback.send(FeedbackRequest::Rumble);  // no controller yet: dropped
    poll();
    EXPECT_TRUE(pad.calls.empty());

    pad.plug(5);
    poll(124);
    feedback.send(FeedbackRequest::Rumble);
    feedback.send(static_cast<FeedbackRequest>(7));
    feedback.send(FeedbackRequest::Rumble);
    poll();
    EXPECT_EQ(pad.calls, (Lines{"home 5", "rumble 5", "rumble 5"}));
    EXPECT_EQ(errors, "thumbrover: using controller unknown\n");

    pad.calls.clear();
    poll(10);
    EXPECT_TRUE(pad.calls.empty());
}

TEST_F(PollTest, AFailedRumbleIsReportedEveryTimeAndPollingGoesOn) {
    FakePad& p = pad.plug(5);
    p.rumble_error = "controller has no haptics";
    poll();
    feedback.send(FeedbackRequest::Rumble);
    feedback.send(FeedbackRequest::Rumble);
    p.state.buttons[2] = true;
    EXPECT_EQ(poll(), Lines{"Button 2 down"});
    EXPECT_EQ(errors,
              "thumbrover: rumble failed: controller has no haptics\n"
              "thumbrover: rumble failed: controller has no haptics\n");
}

TEST_F(PollTest, TheLinkIsHeldForTheWholePoll) {
    pad.plug(1);
    auto held = link->lock();
    std::thread other([&] { poller.poll(link.get()); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(sent.empty());
    held.unlock();
    other.join();
    EXPECT_EQ(sent, Lines{"Connected true"});
}

TEST(BatteryText, ThresholdAndRounding) {
    struct Case {
        std::optional<float> level;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt},
        {0.0f, "Low"},
        {0.2f, "Low"},
        {0.2001f, "20%"},
        {0.205f, "21%"},
        {0.85f, "85%"},
        {0.994f, "99%"},
        {0.995f, "100%"},
        {1.0f, "100%"},
        {1.7f, "100%"},
        {-0.5f, "Low"},
        {std::numeric_limits<float>::quiet_NaN(), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(battery_text(c.level), c.text) << (c.level ? *c.level : -99.0f);
    }
}

TEST(BatteryText, ProcessWideGettersFollowTheSharedSlots) {
    controller_slots().set_battery(0.15f);
    controller_slots().set_name("Pad");
    EXPECT_EQ(battery_level(), 0.15f);
    EXPECT_EQ(battery_text(), "Low");
    EXPECT_EQ(controller_name(), "Pad");
    controller_slots().set_battery(std::nullopt);
    controller_slots().set_name(std::nullopt);
    EXPECT_EQ(battery_text(), std::nullopt);
    EXPECT_EQ(controller_name(), std::nullopt);
}

TEST(ControllerLinkCell, TheFirstPublicationWins) {
    auto [s1, r1] = make_channel<FeedbackRequest>();
    auto [s2, r2] = make_channel<FeedbackRequest>();
    std::vector<std::string> log;
    auto first =
        std::make_shared<ControllerLink>(std::make_unique<RecordingEvents>(log), std::move(r1));
    auto second =
        std::make_shared<ControllerLink>(std::make_unique<RecordingEvents>(log), std::move(r2));
    EXPECT_EQ(published_controller_link(), nullptr);
    EXPECT_FALSE(publish_controller_link(nullptr));
    EXPECT_TRUE(publish_controller_link(first));
    EXPECT_FALSE(publish_controller_link(second));
    EXPECT_EQ(published_controller_link(), first.get());
}

}  // namespace
}  // namespace thumbrover

namespace thumbrover {
namespace {

TEST(EngineControllerEvents, ThePollReachesTheEngineAsConnectedAndInputMessages) {
    auto [engine_sender, engine_receiver] = make_channel<EngineMessage>();
    auto [feedback_sender, feedback_receiver] = make_channel<FeedbackRequest>();
    const std::shared_ptr<ControllerLink> link =
        make_controller_link(engine_sender, std::move(feedback_receiver));

    FakeGamepad pad;
    FakePad& p = pad.plug(1);
    p.state.buttons[8] = true;
    p.state.axes[3] = 0.75f;
    ControllerSlots slots;
    ControllerPoller poller(pad, slots);
    ::testing::internal::CaptureStderr();
    poller.poll(link.get());
    pad.unplug(1);
    for (int i = 0; i < 125; ++i)
        poller.poll(link.get());
    (void)::testing::internal::GetCapturedStderr();

    std::vector<EngineMessage> got;
    while (auto message = engine_receiver.try_recv())
        got.push_back(std::move(*message));
    ASSERT_EQ(got.size(), 5u);
    EXPECT_TRUE(std::get<ConnectedMessage>(got[0].payload).connected);
    EXPECT_EQ(std::get<InputEvent>(got[1].payload), InputEvent::button(8, true));
    EXPECT_EQ(std::get<InputEvent>(got[2].payload), InputEvent::axis(3, 0.75f));
    EXPECT_FALSE(std::get<ConnectedMessage>(got[3].payload).connected);
    EXPECT_EQ(std::get<InputEvent>(got[4].payload), InputEvent::controller_gone());
}

TEST(EngineControllerEvents, AnEngineThatHasEndedLosesTheMessagesQuietly) {
    auto [engine_sender, engine_receiver] = make_channel<EngineMessage>();
    auto [feedback_sender, feedback_receiver] = make_channel<FeedbackRequest>();
    { [[maybe_unused]] const EngineReceiver gone = std::move(engine_receiver); }
    EngineControllerEvents events(engine_sender);
    events.connected(true);
    events.button_changed(0, true);
    EXPECT_FALSE(engine_sender.send(EngineMessage::quit()));
}

}  // namespace
}  // namespace thumbrover
