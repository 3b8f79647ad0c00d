#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/controller/reader.hpp"
#include "fakes/controller_events.hpp"
#include "linux/x_probe.hpp"
#include "sdl_pads.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using testing::plug_in;

// SDL's game-controller service with a count of the reads, to see that nothing reads without news.
class CountingGamepad final : public GamepadApi {
  public:
    explicit CountingGamepad(GamepadApi& inner) : inner_(inner) {}
    std::vector<ControllerId> controllers() override { return inner_.controllers(); }
    bool has_extended_profile(ControllerId id) override { return inner_.has_extended_profile(id); }
    std::optional<ControllerSnapshot> read(ControllerId id) override {
        ++reads;
        return inner_.read(id);
    }
    std::optional<std::string> vendor_name(ControllerId id) override {
        return inner_.vendor_name(id);
    }
    std::optional<float> battery_level(ControllerId id) override {
        return inner_.battery_level(id);
    }
    void disable_home_gesture(ControllerId id) override { inner_.disable_home_gesture(id); }
    Result<void> rumble_once(ControllerId id) override { return inner_.rumble_once(id); }
    void release(ControllerId id) override { inner_.release(id); }
    void quiet_sticks(bool quiet) override { inner_.quiet_sticks(quiet); }
    bool watch(std::function<void(ControllerNews)> news) override {
        return inner_.watch(std::move(news));
    }

    std::atomic<int> reads{0};

  private:
    GamepadApi& inner_;
};

class ReaderWithSdlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sdl_ = testing::open_sdl();
        ASSERT_TRUE(sdl_);
        counting_ = std::make_unique<CountingGamepad>(*sdl_);
        auto [sender, receiver] = make_channel<FeedbackRequest>();
        link_ = std::make_unique<ControllerLink>(
            std::make_unique<fakes::RecordingEvents>(heard_, &heard_mutex_), std::move(receiver));
        poller_ = std::make_unique<ControllerPoller>(*counting_, slots_);
        announcing_ = counting_->watch([this](ControllerNews n) { news_.post(n); });
        reader_ = std::make_unique<ControllerReader>(
            *poller_, news_, announcing_,
            ControllerReaderDeps{steady_clock(),
                                 [](std::chrono::nanoseconds d) { std::this_thread::sleep_for(d); },
                                 [this] { return link_.get(); }});
        thread_ = std::thread([this] { reader_->run(); });
    }

    void TearDown() override {
        news_.post(ControllerNews::Stop);
        if (thread_.joinable()) thread_.join();
    }

    // What the engine has heard so far; the reader's thread adds to it, while the tests plug in and
    // change the pad on their own thread, as the demonstration does.
    Lines heard_so_far() {
        std::lock_guard lock(heard_mutex_);
        return heard_;
    }
    bool heard(const Lines& expected) {
        return testing::wait_until([&] { return heard_so_far() == expected; }, 5s);
    }

    ControllerSlots slots_;
    ControllerNewsBox news_;
    std::unique_ptr<SdlGamepad> sdl_;
    std::unique_ptr<CountingGamepad> counting_;
    std::mutex heard_mutex_;
    Lines heard_;
    std::unique_ptr<ControllerLink> link_;
    std::unique_ptr<ControllerPoller> poller_;
    bool announcing_ = false;
    std::unique_ptr<ControllerReader> reader_;
    std::thread thread_;
};

TEST_F(ReaderWithSdlTest, PlugChangesAndUnplugReachTheEngineAsTheyAreAnnounced) {
    ASSERT_TRUE(announcing_);
    auto pad = plug_in();
    ASSERT_TRUE(pad);
    EXPECT_TRUE(heard({"Connected true"})) << ::testing::PrintToString(heard_so_far());
    pad->set_axis(0, 1.0f);
    EXPECT_TRUE(heard({"Connected true", "Axis 0 1.000000"}))
        << ::testing::PrintToString(heard_so_far());
    pad->set_button(0, true);
    EXPECT_TRUE(heard({"Connected true", "Axis 0 1.000000", "Button 0 down"}))
        << ::testing::PrintToString(heard_so_far());
    pad->unplug();
    EXPECT_TRUE(heard({"Connected true", "Axis 0 1.000000", "Button 0 down", "Connected false",
                       "ControllerGone"}))
        << ::testing::PrintToString(heard_so_far());
}

TEST_F(ReaderWithSdlTest, AControllerAtRestIsNotRead) {
    auto pad = plug_in();
    ASSERT_TRUE(pad);
    ASSERT_TRUE(heard({"Connected true"}));
    pad->set_axis(1, -1.0f);
    ASSERT_TRUE(heard({"Connected true", "Axis 1 -1.000000"}));
    const int reads = counting_->reads.load();
    // A fixed poll would read about 25 times in this while.
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(counting_->reads.load(), reads);
    pad->set_axis(1, 0.0f);
    EXPECT_TRUE(heard({"Connected true", "Axis 1 -1.000000", "Axis 1 0.000000"}));
    EXPECT_GT(counting_->reads.load(), reads);
}

TEST_F(ReaderWithSdlTest, WhileTheEngineSteersOnlyButtonReportsWakeTheReaderAndNoStickIsLost) {
    const testing::TempDir dir;
    auto pad = testing::made_or_failed(VirtualPad::plug_in("Streaming Pad", dir / "node"));
    ASSERT_TRUE(pad);
    ASSERT_TRUE(heard({"Connected true"}));
    pad->set_axes({{0, 1.0f}, {1, -1.0f}});
    ASSERT_TRUE(heard({"Connected true", "Axis 0 1.000000", "Axis 1 -1.000000"}))
        << ::testing::PrintToString(heard_so_far());

    link_->set_steering(true);
    // The node now leaves out the left and right sticks' axes, as the kernel would be told to.
    ASSERT_TRUE(testing::wait_until([&] { return pad->quiet_axes() == 0b1111u; }, 5s));
    const int reads = counting_->reads.load();
    for (int i = 0; i < 20; ++i) {
        pad->set_axes({{0, i % 2 == 0 ? 0.0f : -1.0f}, {1, -1.0f}});
        std::this_thread::sleep_for(2ms);
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(counting_->reads.load(), reads);
    pad->set_button(0, true);
    ASSERT_TRUE(heard({"Connected true", "Axis 0 1.000000", "Axis 1 -1.000000", "Button 0 down"}))
        << ::testing::PrintToString(heard_so_far());

    // Steering stops before the engine read the stick: the reader sends what it left behind.
    link_->set_steering(false);
    EXPECT_TRUE(heard({"Connected true", "Axis 0 1.000000", "Axis 1 -1.000000", "Button 0 down",
                       "Axis 0 -1.000000"}))
        << ::testing::PrintToString(heard_so_far());
    EXPECT_TRUE(testing::wait_until([&] { return pad->quiet_axes() == 0u; }, 5s));
}

}  // namespace
}  // namespace thumbrover
