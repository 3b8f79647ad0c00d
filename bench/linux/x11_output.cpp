// How long a pointer move takes from the engine's command to the X server: for each sample, the
// time from perform(Move) until another client's XQueryPointer sees the pointer where it should
// be. Also the cost of perform(Move) on its own. Needs an X display with XTEST (scripts/bench runs
// it in a private one).
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "linux/event_output.hpp"
#include "linux/x11_display.hpp"

// The tests' X probe also answers where the pointer is.
#include "../../tests/linux/x_probe.hpp"

namespace {

using Clock = std::chrono::steady_clock;

struct Summary {
    double median_us;
    double p99_us;
    double max_us;
};

Summary summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))];
    };
    return {at(0.5), at(0.99), samples.back()};
}

}  // namespace

int main() {
    using thumbrover::CommandKind;
    auto output = thumbrover::X11EventOutput::create();
    auto observer = thumbrover::X11Display::open();
    if (!output || !observer) {
        std::fprintf(stderr, "bench_x11_output: needs an X display with XTEST: %s\n",
                     output ? observer.error().c_str() : output.error().c_str());
        return 1;
    }
    Display* d = observer->get();
    XWarpPointer(d, 0, DefaultRootWindow(d), 0, 0, 0, 0, 400, 400);
    XSync(d, False);

    constexpr int kSamples = 1000;
    std::vector<double> seen_us;
    std::vector<double> perform_us;
    seen_us.reserve(kSamples);
    perform_us.reserve(kSamples);
    int timeouts = 0;
    for (int i = 0; i < kSamples; ++i) {
        const int step = i % 2 == 0 ? 3 : -3;
        const int before = thumbrover::testing::query_pointer(d).x;
        const auto start = Clock::now();
        if (!(*output)->perform({CommandKind::Move, 0, 0, step, 0})) return 1;
        const auto performed = Clock::now();
        const auto deadline = start + std::chrono::seconds(1);
        while (thumbrover::testing::query_pointer(d).x != before + step) {
            if (Clock::now() > deadline) {
                ++timeouts;
                break;
            }
        }
        const auto seen = Clock::now();
        perform_us.push_back(std::chrono::duration<double, std::micro>(performed - start).count());
        seen_us.push_back(std::chrono::duration<double, std::micro>(seen - start).count());
    }
    const Summary seen = summarise(seen_us);
    const Summary perform = summarise(perform_us);
    std::printf("x11 output: %d moves\n", kSamples);
    std::printf(
        "  perform(Move) to XQueryPointer seeing it: median %.1f us, p99 %.1f us, max %.1f us\n",
        seen.median_us, seen.p99_us, seen.max_us);
    std::printf(
        "  perform(Move) alone:                      median %.1f us, p99 %.1f us, max %.1f us\n",
        perform.median_us, perform.p99_us, perform.max_us);
    if (timeouts > 0) std::printf("  moves never seen within 1 s: %d\n", timeouts);
    return timeouts == 0 ? 0 : 1;
}
