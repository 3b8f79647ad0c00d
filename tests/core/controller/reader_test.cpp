#include "core/controller/reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/controller/link.hpp"
#include "core/controller/slots.hpp"
#include "fakes/controller_events.hpp"
#include "fakes/gamepad.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using fakes::RecordingEvents;

class ReaderTest : public ::testing::Test {
  protected:
    ReaderTest() {
        auto [sender, receiver] = make_channel<FeedbackRequest>();
        feedback = std::move(sender);
        link = std::make_unique<ControllerLink>(std::make_unique<fakes::RecordingEvents>(sent),
                                                std::move(receiver));
    }

    ControllerReader make_reader(bool announcing) {
        return ControllerReader(
            poller, news, announcing,
            ControllerReaderDeps{clock,
                                 [this](std::chrono::nanoseconds d) {
                                     slept.push_back(d);
                                     clock.t += d;
                                 },
                                 [this] { return linked ? link.get() : nullptr; }});
    }

    // One step of the reader after `posted`; what the engine heard from it.
    Lines step(ControllerReader& reader, ControllerNews posted) {
        sent.clear();
        news.post(posted);
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(reader.step());
        ::testing::internal::GetCapturedStderr();
        return sent;
    }

    testing::ManualClock clock{100s};
    fakes::FakeGamepad pad;
    ControllerSlots slots;
    ControllerPoller poller{pad, slots};
    ControllerNewsBox news;
    FeedbackSender feedback;
    std::unique_ptr<ControllerLink> link;
    bool linked = true;
    Lines sent;
    std::vector<std::chrono::nanoseconds> slept;
};

TEST_F(ReaderTest, WaitsOnlyAsLongAsSomethingCanBeDue) {
    struct Case {
        const char* what;
        bool linked;
        bool announcing;
        bool plugged;
        std::chrono::nanoseconds since_adoption;
        std::optional<std::chrono::nanoseconds> wait;
    };
    const Case cases[] = {
        {"no engine yet", false, true, false, 0s, 10ms},
        {"a service without news is polled", true, false, true, 0s, 4ms},
        {"no controller: only news", true, true, false, 0s, std::nullopt},
        {"a controller: the next battery look", true, true, true, 3s, 7s},
        {"a battery look overdue", true, true, true, 12s, 0s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fakes::FakeGamepad fake;
        if (c.plugged) fake.plug(1);
        ControllerSlots own_slots;
        ControllerPoller own_poller(fake, own_slots);
        ControllerNewsBox own_news;
        ControllerReader reader(own_poller, own_news, c.announcing,
                                ControllerReaderDeps{clock, [](std::chrono::nanoseconds) {},
                                                     [&] { return link.get(); }});
        if (c.linked) {
            own_news.post(ControllerNews::Devices);
            ::testing::internal::CaptureStderr();
            ASSERT_TRUE(reader.step());
            ::testing::internal::GetCapturedStderr();
        }
        EXPECT_EQ(reader.wait_time(clock.now() + c.since_adoption), c.wait);
    }
}

TEST_F(ReaderTest, ChangesReachTheEngineWhenAnnouncedAndControllersAreLookedForOnDeviceNews) {
    ControllerReader reader = make_reader(true);
    EXPECT_EQ(step(reader, ControllerNews::Input), Lines{});
    EXPECT_EQ(pad.list_queries, 1);  // the first look, once the engine is there

    fakes::FakePad& plugged = pad.plug(1);
    plugged.state.axes[0] = 0.5f;
    clock.t += 10ms;
    // Input news alone does not look for controllers: nothing is read yet.
    EXPECT_EQ(step(reader, ControllerNews::Input), Lines{});
    EXPECT_EQ(pad.list_queries, 1);
    clock.t += 10ms;
    EXPECT_EQ(step(reader, ControllerNews::Devices), (Lines{"Connected true", "Axis 0 0.500000"}));
    EXPECT_EQ(pad.list_queries, 2);

    plugged.state.buttons[0] = true;
    clock.t += 10ms;
    EXPECT_EQ(step(reader, ControllerNews::Input), Lines{"Button 0 down"});
    EXPECT_EQ(pad.list_queries, 2);
    EXPECT_TRUE(slept.empty());

    // Unplugged: the node's end is announced as device news.
    pad.unplug(1);
    clock.t += 10ms;
    EXPECT_EQ(step(reader, ControllerNews::Devices), (Lines{"Connected false", "ControllerGone"}));
}

TEST_F(ReaderTest, AStreamOfNewsIsReadAtMostEveryFourMilliseconds) {
    ControllerReader reader = make_reader(true);
    pad.plug(1);
    (void)step(reader, ControllerNews::Devices);
    struct Case {
        std::chrono::nanoseconds after;
        std::optional<std::chrono::nanoseconds> slept;
    };
    for (const Case& c :
         {Case{1ms, 3ms}, Case{4ms, std::nullopt}, Case{3500us, 500us}, Case{50ms, std::nullopt}}) {
        slept.clear();
        clock.t += c.after;
        (void)step(reader, ControllerNews::Input);
        if (c.slept) {
            EXPECT_EQ(slept, std::vector<std::chrono::nanoseconds>{*c.slept});
        } else {
            EXPECT_TRUE(slept.empty()) << c.after.count();
        }
    }
}

TEST_F(ReaderTest, TheBatteryIsLookedAtEveryTenSecondsWhileAControllerIsThere) {
    ControllerReader reader = make_reader(true);
    pad.plug(1);
    (void)step(reader, ControllerNews::Devices);
    const int after_adoption = pad.list_queries;
    clock.t += 9s;
    (void)step(reader, ControllerNews::Input);
    EXPECT_EQ(pad.list_queries, after_adoption);
    clock.t += 1s;
    (void)step(reader, ControllerNews::Input);
    EXPECT_EQ(pad.list_queries, after_adoption + 1);
}

TEST_F(ReaderTest, ARumbleRequestWakesTheReaderOnceTheEngineIsLinked) {
    linked = false;
    ControllerReader reader = make_reader(true);
    pad.plug(1);
    // No engine yet: nothing is read, and the reader looks for the link again soon.
    EXPECT_EQ(step(reader, ControllerNews::Input), Lines{});
    EXPECT_EQ(reader.wait_time(clock.now()), ControllerReader::kLinkLook);
    linked = true;
    clock.t += 10ms;
    EXPECT_EQ(step(reader, ControllerNews::Input), Lines{"Connected true"});

    feedback.send(FeedbackRequest::Rumble);
    clock.t += 10ms;
    // The request itself posted the news this step waits for.
    sent.clear();
    ASSERT_TRUE(reader.step());
    EXPECT_EQ(std::ranges::count(pad.calls, "rumble 1"), 1);
}

TEST_F(ReaderTest, TheEnginesPaceWakesTheReaderAndItsHooksEndWithIt) {
    RecordingEvents engine_sink(sent);
    const auto engine_reads = [&] { return link->sample(engine_sink, [] { return true; }); };
    {
        ControllerReader reader = make_reader(true);
        fakes::FakePad& plugged = pad.plug(1);
        (void)step(reader, ControllerNews::Devices);
        plugged.state.axes[0] = 0.5f;
        // The engine starts steering: the pace change itself is the news the step waits for.
        link->set_steering(true);
        clock.t += 10ms;
        sent.clear();
        ASSERT_TRUE(reader.step());
        EXPECT_EQ(sent, Lines{});
        EXPECT_EQ(pad.calls.back(), "quiet");
        EXPECT_TRUE(engine_reads()) << "the engine reads through the live reader";
    }
    // The reader is gone: the engine reads nothing through it and a change of pace reaches
    // nobody.
    EXPECT_FALSE(engine_reads());
    link->set_steering(false);
    feedback.send(FeedbackRequest::Rumble);
}

TEST_F(ReaderTest, StopEndsTheReaderEvenWhenPostedWithOtherNews) {
    ControllerReader reader = make_reader(true);
    news.post(ControllerNews::Input);
    news.post(ControllerNews::Stop);
    EXPECT_FALSE(reader.step());
    EXPECT_EQ(pad.list_queries, 0);
}

}  // namespace
}  // namespace thumbrover
