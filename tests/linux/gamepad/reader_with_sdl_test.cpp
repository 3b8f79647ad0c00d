#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/controller/reader.hpp"
#include "demo/virtual_pad.hpp"
#include "linux/gamepad.hpp"
#include "linux/x_probe.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// What the engine would hear, from the reader's thread.
class RecordingEvents final : public ControllerEvents {
  public:
    void connected(bool is_connected) override { add(is_connected ? "connected" : "disconnected"); }
    void button_changed(std::uint8_t index, bool pressed) override {
        add("button " + std::to_string(index) + (pressed ? " down" : " up"));
    }
    void axis_changed(std::uint8_t index, float value) override {
        add("axis " + std::to_string(index) + " " + std::to_string(value));
    }
    void controller_gone() override { add("gone"); }

    Lines lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  private:
    void add(std::string line) {
        std::lock_guard lock(mutex_);
        lines_.push_back(std::move(line));
    }
    mutable std::mutex mutex_;
    Lines lines_;
};

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
        auto gamepad = SdlGamepad::create();
        ASSERT_TRUE(gamepad.ok()) << gamepad.error();
        sdl_ = std::move(gamepad).value();
        counting_ = std::make_unique<CountingGamepad>(*sdl_);
        auto [sender, receiver] = make_channel<FeedbackRequest>();
        auto events = std::make_unique<RecordingEvents>();
        events_ = events.get();
        link_ = std::make_unique<ControllerLink>(std::move(events), std::move(receiver));
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

    bool heard(const Lines& expected) {
        return testing::wait_until([&] { return events_->lines() == expected; }, 5s);
    }

    // The pad is changed where the tests and the demonstration change it, on this thread.
    std::unique_ptr<VirtualPad> plug_in() {
        auto pad = VirtualPad::plug_in();
        if (!pad) ADD_FAILURE() << pad.error();
        return pad ? std::move(pad).value() : nullptr;
    }

    ControllerSlots slots_;
    ControllerNewsBox news_;
    std::unique_ptr<SdlGamepad> sdl_;
    std::unique_ptr<CountingGamepad> counting_;
    RecordingEvents* events_ = nullptr;
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
    EXPECT_TRUE(heard({"connected"})) << ::testing::PrintToString(events_->lines());
    pad->set_axis(0, 1.0f);
    EXPECT_TRUE(heard({"connected", "axis 0 1.000000"}))
        << ::testing::PrintToString(events_->lines());
    pad->set_button(0, true);
    EXPECT_TRUE(heard({"connected", "axis 0 1.000000", "button 0 down"}))
        << ::testing::PrintToString(events_->lines());
    pad->unplug();
    EXPECT_TRUE(heard({"connected", "axis 0 1.000000", "button 0 down", "disconnected", "gone"}))
        << ::testing::PrintToString(events_->lines());
}

TEST_F(ReaderWithSdlTest, AControllerAtRestIsNotRead) {
    auto pad = plug_in();
    ASSERT_TRUE(pad);
    ASSERT_TRUE(heard({"connected"}));
    pad->set_axis(1, -1.0f);
    ASSERT_TRUE(heard({"connected", "axis 1 -1.000000"}));
    const int reads = counting_->reads.load();
    // A fixed poll would read about 25 times in this while.
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(counting_->reads.load(), reads);
    pad->set_axis(1, 0.0f);
    EXPECT_TRUE(heard({"connected", "axis 1 -1.000000", "axis 1 0.000000"}));
    EXPECT_GT(counting_->reads.load(), reads);
}

}  // namespace
}  // namespace thumbrover
