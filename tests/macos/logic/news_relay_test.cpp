#include "macos/news_relay.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <memory>
#include <thread>
#include <vector>

namespace thumbrover {
namespace {

using ::testing::ElementsAre;

TEST(NewsRelay, PassesNewsOnUntilStoppedAndNothingAfter) {
    std::vector<ControllerNews> heard;
    // Held the way the framework's handler blocks hold it: they outlive the service.
    const auto relay =
        std::make_shared<NewsRelay>([&heard](ControllerNews news) { heard.push_back(news); });
    relay->announce(ControllerNews::Devices);
    relay->announce(ControllerNews::Input);
    relay->stop();
    relay->announce(ControllerNews::Input);
    relay->stop();
    relay->announce(ControllerNews::Devices);
    EXPECT_THAT(heard, ElementsAre(ControllerNews::Devices, ControllerNews::Input));
}

TEST(NewsRelay, ReportsThatMoveOnlyAStickAreDroppedWhileTheSticksAreQuiet) {
    std::vector<ControllerNews> heard;
    NewsRelay relay([&heard](ControllerNews news) { heard.push_back(news); });
    const struct {
        bool quiet;
        bool sticks_only;
        std::size_t heard;
    } reports[] = {{false, true, 1}, {true, true, 1}, {true, false, 2}, {false, true, 4}};
    // Coming off quiet announces once more of itself.
    for (const auto& r : reports) {
        relay.set_quiet_sticks(r.quiet);
        relay.announce_report(r.sticks_only);
        EXPECT_EQ(heard.size(), r.heard);
    }
}

TEST(NewsRelay, StoppingLetsGoOfWhatTheNewsHolds) {
    // The reader's mailbox must not live on in a handler that the framework keeps.
    auto box = std::make_shared<int>(0);
    const std::weak_ptr<int> watched = box;
    const auto relay = std::make_shared<NewsRelay>([box](ControllerNews) { ++*box; });
    box.reset();
    relay->announce(ControllerNews::Input);
    ASSERT_FALSE(watched.expired());
    EXPECT_EQ(*watched.lock(), 1);
    relay->stop();
    EXPECT_TRUE(watched.expired());
}

TEST(NewsRelay, StopWaitsForAnAnnouncementUnderWay) {
    std::latch entered(1);
    std::latch release(1);
    std::atomic<bool> finished{false};
    const auto relay = std::make_shared<NewsRelay>([&](ControllerNews) {
        entered.count_down();
        release.wait();
        finished = true;
    });
    std::thread handler([relay] { relay->announce(ControllerNews::Input); });
    entered.wait();
    bool finished_when_stopped = false;
    std::thread owner([&] {
        relay->stop();
        finished_when_stopped = finished.load();
    });
    release.count_down();
    owner.join();
    handler.join();
    EXPECT_TRUE(finished_when_stopped);
}

}  // namespace
}  // namespace thumbrover
