// The main thread's timer fires 250 times a second; these measure the core's share of one tick
// (the controller poll and the steering-circle update) against ports that cost nothing, so the
// figure is the logic alone.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "core/circle/circle.hpp"
#include "core/common/clock.hpp"
#include "core/controller/link.hpp"
#include "core/controller/poll.hpp"

namespace thumbrover {
namespace {

class StillPad final : public GamepadApi {
  public:
    ControllerSnapshot state;

    std::vector<ControllerId> controllers() override { return {1}; }
    bool has_extended_profile(ControllerId) override { return true; }
    std::optional<ControllerSnapshot> read(ControllerId) override { return state; }
    std::optional<std::string> vendor_name(ControllerId) override { return "Bench pad"; }
    std::optional<float> battery_level(ControllerId) override { return 0.5f; }
    void disable_home_gesture(ControllerId) override {}
    Result<void> rumble_once(ControllerId) override { return {}; }
    void release(ControllerId) override {}
};

class CountingEvents final : public ControllerEvents {
  public:
    void connected(bool) override { ++count; }
    void button_changed(std::uint8_t, bool) override { ++count; }
    void axis_changed(std::uint8_t, float) override { ++count; }
    void controller_gone() override { ++count; }
    std::uint64_t count = 0;
};

struct PollFixture {
    StillPad pad;
    ControllerSlots slots;
    ControllerPoller poller{pad, slots};
    std::unique_ptr<ControllerLink> link;

    PollFixture() {
        auto [sender, receiver] = make_channel<FeedbackRequest>();
        link = std::make_unique<ControllerLink>(std::make_unique<CountingEvents>(),
                                                std::move(receiver));
        poller.poll(link.get());  // adoption and its diagnostic happen outside the measurement
    }
};

void BM_PollControllerAtRest(benchmark::State& state) {
    PollFixture f;
    for (auto _ : state)
        f.poller.poll(f.link.get());
}
BENCHMARK(BM_PollControllerAtRest);

void BM_PollControllerBothSticksMoving(benchmark::State& state) {
    PollFixture f;
    float v = 0.0f;
    for (auto _ : state) {
        v = v > 0.9f ? -0.9f : v + 0.001f;
        f.pad.state.axes = {v, -v, v, v, 0.0f, 0.0f, 0.0f, 0.0f};
        f.poller.poll(f.link.get());
    }
}
BENCHMARK(BM_PollControllerBothSticksMoving);

class NullWindow final : public CircleWindow {
  public:
    void move_to(ScreenPoint origin) override { benchmark::DoNotOptimize(origin); }
    void show() override { visible_ = true; }
    void hide() override { visible_ = false; }
    bool is_visible() const override { return visible_; }

  private:
    bool visible_ = false;
};

class NullOverlay final : public Overlay {
  public:
    std::unique_ptr<CircleWindow> build_circle(const CircleShape&) override {
        return std::make_unique<NullWindow>();
    }
    ScreenPoint pointer_location() override { return {640.0, 400.0}; }
};

class NullCursor final : public Cursor {
  public:
    void hide() override {}
    void show() override {}
};

void BM_UpdateCircleSteering(benchmark::State& state) {
    NullOverlay overlay;
    NullCursor cursor;
    CircleScaleCell scale;
    SteeringCircle circle(overlay, cursor, steady_clock(), scale);
    for (auto _ : state)
        circle.update_circle(true);
}
BENCHMARK(BM_UpdateCircleSteering);

}  // namespace
}  // namespace thumbrover

BENCHMARK_MAIN();
