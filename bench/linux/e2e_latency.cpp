// The whole program in this process, in the current X display, with a virtual controller:
// - latency from a controller change to the X server reporting the pointer moved;
// - CPU time, wake-ups (voluntary context switches) and resident memory while idle with no
//   controller (tray only), and while steering.
// Run it inside scripts/with-virtual-display (scripts/bench does).

#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/app/linked_engine.hpp"
#include "core/engine/link.hpp"
#include "demo/virtual_pad.hpp"
#include "linux/shell.hpp"
#include "qt/status_menu.hpp"

// Qt last: its `emit` macro would otherwise rewrite a name in the engine's headers.
#include <QApplication>
#include <QMetaObject>

// Xlib after Qt: its macros (Bool, Status, None) would otherwise clash with Qt's names.
#include <X11/Xlib.h>

#include "../../tests/linux/x_probe.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Usage {
    double cpu_seconds = 0.0;
    long voluntary_switches = 0;
    long involuntary_switches = 0;
};

Usage usage_now() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    const auto seconds = [](timeval t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return {seconds(r.ru_utime) + seconds(r.ru_stime), r.ru_nvcsw, r.ru_nivcsw};
}

double resident_mib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0.0;
}

struct Figures {
    double cpu_percent = 0.0;
    double wakeups_per_second = 0.0;
    double resident = 0.0;
};

// Measures the whole process over `length` while this thread sleeps (its own one wake-up and
// two clock reads are noise at this scale).
Figures measure(std::chrono::seconds length) {
    const Usage before = usage_now();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(length);
    const Usage after = usage_now();
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    return {100.0 * (after.cpu_seconds - before.cpu_seconds) / wall,
            static_cast<double>(after.voluntary_switches - before.voluntary_switches) / wall,
            resident_mib()};
}

void on_main(const std::function<void()>& f) {
    QMetaObject::invokeMethod(qApp, f, Qt::BlockingQueuedConnection);
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

void run_measurements(std::unique_ptr<thumbrover::VirtualPad>& pad, int samples) {
    std::printf("Idle, no controller, tray only (10 s)...\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(1s);
    const Figures idle = measure(10s);

    on_main([&] {
        auto plugged = thumbrover::VirtualPad::plug_in();
        if (plugged) pad = std::move(plugged).value();
    });
    if (!pad) {
        std::fprintf(stderr, "bench: no virtual controller\n");
        return;
    }
    const auto connected = [] {
        const thumbrover::EngineLink* link = thumbrover::published_engine_link();
        return link != nullptr && link->status().connected;
    };
    const auto deadline = Clock::now() + 10s;
    while (!connected() && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    if (!connected()) {
        std::fprintf(stderr, "bench: the virtual controller was not picked up\n");
        return;
    }

    std::printf("Idle, controller connected, sticks at rest (10 s)...\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(1s);
    const Figures connected_idle = measure(10s);

    std::printf("Steering: left stick moving the pointer back and forth (10 s)...\n");
    std::fflush(stdout);
    std::atomic<bool> steering{true};
    std::thread mover([&] {
        float direction = 0.6f;
        while (steering) {
            on_main([&] { pad->set_axis(0, direction); });
            direction = -direction;
            std::this_thread::sleep_for(1s);
        }
        on_main([&] { pad->set_axis(0, 0.0f); });
    });
    const Figures steer = measure(10s);
    steering = false;
    mover.join();

    std::printf("Latency: %d samples of a stick change until the X server moves the pointer...\n",
                samples);
    std::fflush(stdout);
    const thumbrover::testing::XDisplayPtr display(XOpenDisplay(nullptr));
    std::vector<double> latencies;
    for (int i = 0; i < samples; ++i) {
        XWarpPointer(display.get(), None, DefaultRootWindow(display.get()), 0, 0, 0, 0, 600, 500);
        XSync(display.get(), False);
        // Let any motion from the last sample die away, and vary the phase against the ticks.
        std::this_thread::sleep_for(std::chrono::milliseconds(40 + (i * 7) % 13));
        const int x0 = thumbrover::testing::query_pointer(display.get()).x;
        Clock::time_point changed;
        on_main([&] {
            pad->set_axis(0, 1.0f);
            changed = Clock::now();
        });
        const auto give_up = changed + 1s;
        // Each query is a round trip to the server; a short pause between them keeps this
        // thread from starving the program it measures on a small machine.
        while (thumbrover::testing::query_pointer(display.get()).x == x0 && Clock::now() < give_up)
            std::this_thread::sleep_for(100us);
        const auto moved = Clock::now();
        on_main([&] { pad->set_axis(0, 0.0f); });
        if (moved < give_up)
            latencies.push_back(std::chrono::duration<double, std::milli>(moved - changed).count());
    }

    std::printf("\nFigures (one core = 100%%)\n");
    std::printf("  %-44s %6.2f%% CPU  %6.1f wake-ups/s  %5.1f MiB resident\n",
                "idle, no controller, tray only:", idle.cpu_percent, idle.wakeups_per_second,
                idle.resident);
    std::printf("  %-44s %6.2f%% CPU  %6.1f wake-ups/s  %5.1f MiB resident\n",
                "idle, controller connected:", connected_idle.cpu_percent,
                connected_idle.wakeups_per_second, connected_idle.resident);
    std::printf("  %-44s %6.2f%% CPU  %6.1f wake-ups/s  %5.1f MiB resident\n",
                "steering:", steer.cpu_percent, steer.wakeups_per_second, steer.resident);
    if (latencies.empty()) {
        std::printf("  latency: the pointer never moved\n");
    } else {
        std::printf(
            "  latency, stick change to pointer moved (%zu samples): median %.2f ms, "
            "p99 %.2f ms, min %.2f ms, max %.2f ms\n",
            latencies.size(), percentile(latencies, 0.5), percentile(latencies, 0.99),
            percentile(latencies, 0.0), percentile(latencies, 1.0));
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int samples = 300;
    if (argc > 1) samples = std::max(1, std::atoi(argv[1]));
    if (std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "bench: needs an X display (scripts/with-virtual-display)\n");
        return 2;
    }
    // A private settings folder, so the measurement neither reads nor changes the user's.
    std::string pattern = (fs::temp_directory_path() / "thumbrover-bench.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 1;
    const fs::path home = pattern;
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);

    static int qt_argc = 1;
    static char qt_name[] = "bench_e2e_latency";
    static char* qt_argv[] = {qt_name, nullptr};
    QApplication app(qt_argc, qt_argv);
    std::unique_ptr<thumbrover::VirtualPad> pad;
    std::thread driver;
    thumbrover::QtShellOptions options;
    options.check_for_updates = false;
    options.on_started = [&](thumbrover::TrayMenu&) {
        driver = std::thread([&] {
            run_measurements(pad, samples);
            while (thumbrover::published_engine_link() == nullptr)
                std::this_thread::sleep_for(10ms);
            thumbrover::LinkedEngineRequests().send_quit();
        });
    };
    const int status = thumbrover::run_application(options);
    if (driver.joinable()) driver.join();
    pad.reset();
    std::error_code ec;
    fs::remove_all(home, ec);
    return status;
}
