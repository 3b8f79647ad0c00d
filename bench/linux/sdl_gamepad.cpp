// What reading controllers through SDL costs the main thread's 4 ms timer: one read() of a
// controller (every tick while one is connected), one controllers() listing (every 125th tick),
// the engine's read of the sticks alone (before each of its ticks while it steers),
// and the wake-ups SDL's own threads cause while the program idles without polling.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "demo/virtual_pad.hpp"
#include "linux/gamepad.hpp"

namespace {

std::unique_ptr<thumbrover::SdlGamepad> g_gamepad;
std::unique_ptr<thumbrover::VirtualPad> g_pad;

// With the stick moving between reads, as while steering.
template <class Read>
void read_moving_stick(benchmark::State& state, Read read) {
    float x = 0.0f;
    for (auto _ : state) {
        x = x > 0.5f ? -0.5f : x + 0.01f;
        g_pad->set_axis(0, x);
        auto result = read();
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK_CAPTURE(read_moving_stick, read_controller, [] { return g_gamepad->read(g_pad->id()); });
// The engine's read before each of its ticks while it steers: the sticks alone.
BENCHMARK_CAPTURE(read_moving_stick, read_sticks,
                  [] { return g_gamepad->read_sticks(g_pad->id()); });

void list_controllers(benchmark::State& state) {
    for (auto _ : state) {
        auto ids = g_gamepad->controllers();
        benchmark::DoNotOptimize(ids);
    }
}
BENCHMARK(list_controllers);

// Context switches of every thread of this process so far.
long context_switches() {
    long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.starts_with("voluntary_ctxt_switches:") ||
                line.starts_with("nonvoluntary_ctxt_switches:")) {
                total += std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    auto gamepad = thumbrover::SdlGamepad::create();
    auto pad = thumbrover::VirtualPad::plug_in();
    if (!gamepad || !pad) {
        std::fprintf(stderr, "bench_sdl_gamepad: %s\n",
                     gamepad ? pad.error().c_str() : gamepad.error().c_str());
        return 1;
    }
    g_gamepad = std::move(gamepad).value();
    g_pad = std::move(pad).value();

    // The sleeping main thread's own wake-up is one; the rest are SDL's.
    constexpr auto kIdle = std::chrono::seconds(2);
    const long before = context_switches();
    std::this_thread::sleep_for(kIdle);
    const long idle = context_switches() - before - 1;
    std::printf("SDL idle wake-ups with a controller and no polling: %.1f per second\n",
                static_cast<double>(idle) / static_cast<double>(kIdle.count()));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_pad.reset();
    g_gamepad.reset();
    return 0;
}
