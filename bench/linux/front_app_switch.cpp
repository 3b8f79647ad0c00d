// How soon the follower of wlroots compositors reports a change of the window in front: from
// the start of `swaymsg '[app_id=…] focus'` to the follower's report, under a headless sway of the
// benchmark's own with two probe windows. swaymsg's own run (a process and an IPC round trip) is
// measured alone as well; the difference is what the compositor and the follower take.

#include <benchmark/benchmark.h>

#ifdef THUMBROVER_WAYLAND_PROBE
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>

#include "linux/headless_sway.hpp"
#include "linux/wlr_front_app.hpp"
#include "vm/probe_client.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using thumbrover::testing::HeadlessSway;
using thumbrover::testing::ProbeClient;

void BM_SwitchReported(benchmark::State& state) {
    HeadlessSway sway;
    if (!sway.running()) {
        state.SkipWithError("sway did not start");
        return;
    }
    ::setenv("WAYLAND_DISPLAY", sway.display().c_str(), 1);
    ProbeClient one("bench.one");
    ProbeClient two("bench.two");
    one.wait_for_line("ready");
    two.wait_for_line("ready");
    std::mutex mutex;
    std::condition_variable changed;
    std::string front;
    Clock::time_point reported;
    thumbrover::WlrFrontAppWatcher watcher(sway.display());
    watcher.watch([&](std::string id) {
        const auto now = Clock::now();
        std::lock_guard lock(mutex);
        front = std::move(id);
        reported = now;
        changed.notify_all();
    });
    bool to_one = true;
    for (auto _ : state) {
        const std::string target = to_one ? "bench.one" : "bench.two";
        to_one = !to_one;
        const auto start = Clock::now();
        if (!sway.command("[app_id=\"" + target + "\"] focus")) {
            state.SkipWithError("swaymsg failed");
            break;
        }
        std::unique_lock lock(mutex);
        if (!changed.wait_for(lock, std::chrono::seconds(5), [&] { return front == target; })) {
            state.SkipWithError("no report");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(reported - start).count());
    }
    ::unsetenv("WAYLAND_DISPLAY");
}
BENCHMARK(BM_SwitchReported)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_SwaymsgAlone(benchmark::State& state) {
    HeadlessSway sway;
    for (auto _ : state)
        benchmark::DoNotOptimize(sway.command("nop"));
}
BENCHMARK(BM_SwaymsgAlone)->Unit(benchmark::kMillisecond)->Iterations(40);

}  // namespace
#endif

BENCHMARK_MAIN();
