#include <benchmark/benchmark.h>

#include <string>

#include <atomic>
#include <cstdlib>
#include <new>

#include "core/engine/engine.hpp"

// Every heap allocation in this program goes through here, so a benchmark can report how many
// each engine call makes.
namespace {
std::atomic<long long> g_allocations{0};
}

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

constexpr EngineTime kStep = 8ms;

// Runs `body` once per iteration and reports the allocations per call.
template <class Body>
void measure(benchmark::State& bench, Body&& body) {
    long long calls = 0;
    const long long before = g_allocations.load();
    for (auto _ : bench) {
        body();
        ++calls;
    }
    const long long after = g_allocations.load();
    bench.counters["allocs_per_call"] =
        calls == 0 ? 0.0 : static_cast<double>(after - before) / static_cast<double>(calls);
}

EngineState deflected_state(bool left, bool right) {
    EngineState state(Config{}, true);
    state.lx = left ? 0.7f : 0.0f;
    state.ly = left ? -0.4f : 0.0f;
    state.rx = right ? 0.3f : 0.0f;
    state.ry = right ? 0.8f : 0.0f;
    // The circle is already up, as in steady steering, so a tick emits Move and Scroll only.
    state.circle_shown = left;
    state.last_tick = EngineTime{0};
    return state;
}

void bench_tick(benchmark::State& bench, bool left, bool right) {
    EngineState state = deflected_state(left, right);
    EngineTime now{0};
    measure(bench, [&] {
        now += kStep;
        auto commands = tick(state, now);
        benchmark::DoNotOptimize(commands.data());
    });
}

void BM_TickIdle(benchmark::State& bench) {
    bench_tick(bench, false, false);
}
void BM_TickOneStick(benchmark::State& bench) {
    bench_tick(bench, true, false);
}
void BM_TickBothSticks(benchmark::State& bench) {
    bench_tick(bench, true, true);
}

void BM_HandleAxisChange(benchmark::State& bench) {
    EngineState state(Config{}, true);
    EngineTime now{0};
    float value = 0.0f;
    measure(bench, [&] {
        now += 1ms;
        value = value > 0.9f ? -1.0f : value + 0.01f;
        auto commands = handle_input(state, InputEvent::axis(0, value), now);
        benchmark::DoNotOptimize(commands.data());
    });
}

void BM_HandleButtonPressAndRelease(benchmark::State& bench) {
    EngineState state(Config{}, true);
    EngineTime now{0};
    bool down = false;
    measure(bench, [&] {
        now += 1ms;
        down = !down;
        auto commands = handle_input(state, InputEvent::button(0, down), now);
        benchmark::DoNotOptimize(commands.data());
    });
}

// The application in front changing back and forth between one without a profile and the last
// of a hundred profiles: what a window switch costs the engine.
void BM_ChangeFrontApp(benchmark::State& bench) {
    Config settings;
    for (int i = 0; i < 100; ++i) {
        AppProfile app;
        app.id = "org.example.app" + std::to_string(i);
        app.name = "App " + std::to_string(i);
        app.press[button_index(Button::A)] = Action(ActionKind::PlayPause);
        app.hold[button_index(Button::B)] = Action();
        settings.apps.push_back(app);
    }
    EngineState state(settings, true);
    bool in_profile = false;
    measure(bench, [&] {
        in_profile = !in_profile;
        change_front_app(state, in_profile ? "org.example.app99" : "firefox");
        benchmark::DoNotOptimize(state.config.buttons.data());
    });
}

BENCHMARK(BM_TickIdle);
BENCHMARK(BM_TickOneStick);
BENCHMARK(BM_TickBothSticks);
BENCHMARK(BM_HandleAxisChange);
BENCHMARK(BM_HandleButtonPressAndRelease);
BENCHMARK(BM_ChangeFrontApp);

}  // namespace
}  // namespace thumbrover

BENCHMARK_MAIN();
