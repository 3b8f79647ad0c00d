// The running cost of the whole program, in this process, in the current X display, with SDL's
// virtual controller:
// - CPU, wake-ups (voluntary context switches) and preemptions (involuntary ones) per thread,
//   and resident memory, in three states: no controller; a controller connected with its sticks
//   at rest; steering;
// - the same while steering with a controller that streams reports as real ones do, at 1000, 250
//   and 125 reports a second, the held stick trembling a little on every report and A pressed
//   now and then; the virtual controller reports through a pipe of evdev records that the
//   program watches as it watches a real controller's device node;
// - latency from a controller change to the X server seeing its effect: the left stick leaving
//   rest until the pointer moved, A pressed until the click, and A pressed while steering at
//   each report rate;
// - the floor of steering's cost on this machine, for comparison: the CPU of a bare thread doing
//   only what each engine tick must (wake every 8 ms, post a motion and a window move). Each
//   steering state is measured in slices of about 5 s, each between two floors, and its CPU is
//   stated as a ratio to them; likewise the floor with the program's read of the controller's
//   sticks at each tick, which the engine makes before each of its ticks while it steers.
// Run it inside scripts/with-virtual-display (scripts/bench does).
//   bench_running_cost [seconds per state, default 10] [latency samples, default 1000]
//                      [report rate: measure only steering at this rate, between two floors]
// On a shared machine the CPU figures move with the load; the wake-up counts are steadier.

#include <pthread.h>
#include <stdlib.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/app/linked_engine.hpp"
#include "core/engine/link.hpp"
#include "demo/virtual_pad.hpp"
#include "linux/gamepad.hpp"
#include "linux/shell.hpp"
#include "qt/status_menu.hpp"
#include "whole_program.hpp"

// Qt last: its `emit` macro would otherwise rewrite a name in the engine's headers.
#include <QApplication>
#include <QMetaObject>

// Xlib after Qt: its macros (Bool, Status, None) would otherwise clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr std::size_t kAxisLeftX = 0;
constexpr std::size_t kButtonA = 0;
// The benchmark's own threads carry this prefix and are left out of the program's totals.
constexpr std::string_view kBenchPrefix = "bench-";

using thumbrover::bench::first_line;
using thumbrover::bench::status_field;

struct ThreadUsage {
    std::string name;
    double cpu_seconds = 0.0;
    long voluntary = 0;
    long involuntary = 0;
};

// Every thread of this process by id. CPU time comes from schedstat (nanoseconds on a CPU),
// which is far finer than the clock ticks of getrusage.
std::map<long, ThreadUsage> thread_usage() {
    std::map<long, ThreadUsage> threads;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc/self/task", ec)) {
        const long tid = std::stol(entry.path().filename().string());
        ThreadUsage usage;
        usage.name = tid == ::getpid() ? "main" : first_line(entry.path() / "comm");
        const std::string schedstat = first_line(entry.path() / "schedstat");
        if (!schedstat.empty()) usage.cpu_seconds = std::stod(schedstat) / 1e9;
        usage.voluntary = status_field(entry.path() / "status", "voluntary_ctxt_switches:");
        usage.involuntary = status_field(entry.path() / "status", "nonvoluntary_ctxt_switches:");
        threads.emplace(tid, std::move(usage));
    }
    return threads;
}

double resident_mib() {
    return static_cast<double>(status_field("/proc/self/status", "VmRSS:")) / 1024.0;
}

struct ThreadFigures {
    std::string name;
    double cpu_percent = 0.0;
    double wakeups = 0.0;
    double preemptions = 0.0;
};

struct StateFigures {
    std::string state;
    std::vector<ThreadFigures> threads;
    ThreadFigures total{"program"};
    double resident = 0.0;
    // Steering states: the mean of the floors measured around its slices, and each slice's CPU
    // as a ratio to the mean of the floors just before and just after it.
    std::optional<double> floor;
    std::vector<double> slice_ratios;
};

// CPU and context switches per thread name, summed over one or more measured slices.
struct Usage {
    std::map<std::string, ThreadUsage> threads;
    double wall = 0.0;

    void add(const ThreadUsage& t) {
        ThreadUsage& sum = threads[t.name];
        sum.name = t.name;
        sum.cpu_seconds += t.cpu_seconds;
        sum.voluntary += t.voluntary;
        sum.involuntary += t.involuntary;
    }
    void add(const Usage& other) {
        wall += other.wall;
        for (const auto& [name, t] : other.threads)
            add(t);
    }
};

// What every thread does over `length` while this thread sleeps. Threads of one name are summed
// (the benchmark's own threads come and go between slices).
Usage measure_slice(Clock::duration length) {
    const auto before = thread_usage();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(length);
    const auto after = thread_usage();
    Usage usage;
    usage.wall = std::chrono::duration<double>(Clock::now() - t0).count();
    for (const auto& [tid, now] : after) {
        ThreadUsage start;
        if (const auto it = before.find(tid); it != before.end()) start = it->second;
        usage.add({now.name, now.cpu_seconds - start.cpu_seconds, now.voluntary - start.voluntary,
                   now.involuntary - start.involuntary});
    }
    return usage;
}

StateFigures figures_of(const std::string& state, const Usage& usage) {
    const double wall = usage.wall;
    StateFigures figures{state, {}, {"program"}, resident_mib(), std::nullopt, {}};
    for (const auto& [name, t] : usage.threads) {
        ThreadFigures f{name, 100.0 * t.cpu_seconds / wall, static_cast<double>(t.voluntary) / wall,
                        static_cast<double>(t.involuntary) / wall};
        if (f.cpu_percent < 0.005 && f.wakeups < 0.05 && f.preemptions < 0.05) continue;
        if (!name.starts_with(kBenchPrefix)) {
            figures.total.cpu_percent += f.cpu_percent;
            figures.total.wakeups += f.wakeups;
            figures.total.preemptions += f.preemptions;
        }
        figures.threads.push_back(std::move(f));
    }
    std::sort(figures.threads.begin(), figures.threads.end(),
              [](const ThreadFigures& a, const ThreadFigures& b) { return a.wakeups > b.wakeups; });
    return figures;
}

StateFigures measure(const std::string& state, Clock::duration length) {
    return figures_of(state, measure_slice(length));
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

void print_state(const StateFigures& s) {
    std::printf("\n%s: %.3f%% of a core, %.1f wake-ups/s, %.1f preemptions/s, %.1f MiB resident\n",
                s.state.c_str(), s.total.cpu_percent, s.total.wakeups, s.total.preemptions,
                s.resident);
    if (s.floor && *s.floor > 0.0) {
        std::printf("  %.2f x the floors measured around its slices (%.3f%% of a core)",
                    s.total.cpu_percent / *s.floor, *s.floor);
        if (!s.slice_ratios.empty()) {
            std::printf("; slice by slice: median %.2f x, %.2f to %.2f x",
                        percentile(s.slice_ratios, 0.5), percentile(s.slice_ratios, 0.0),
                        percentile(s.slice_ratios, 1.0));
        }
        std::printf("\n");
    }
    for (const ThreadFigures& t : s.threads)
        std::printf("  %-18s %7.3f%% CPU  %8.1f wake-ups/s  %7.1f preemptions/s\n", t.name.c_str(),
                    t.cpu_percent, t.wakeups, t.preemptions);
}

void print_latency(const char* what, const std::vector<double>& ms, int asked) {
    if (ms.empty()) {
        std::printf("  %s: never seen\n", what);
        return;
    }
    std::printf("  %s (%zu of %d samples): median %.2f ms, p99 %.2f ms, max %.2f ms\n", what,
                ms.size(), asked, percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0));
}

void on_main(const std::function<void()>& f) {
    QMetaObject::invokeMethod(qApp, f, Qt::BlockingQueuedConnection);
}

// What the X server did with the program's input, as raw XInput2 events on a connection of our
// own: waiting for them blocks instead of asking the server over and over, which would steal
// the CPU the program under measurement needs.
class RawInputListener {
  public:
    RawInputListener() : display_(XOpenDisplay(nullptr)) {
        if (display_ == nullptr) return;
        int event = 0;
        int error = 0;
        if (!XQueryExtension(display_, "XInputExtension", &opcode_, &event, &error)) return;
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawMotion);
        XISetMask(bits, XI_RawButtonPress);
        XISetMask(bits, XI_RawButtonRelease);
        XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
        XISelectEvents(display_, DefaultRootWindow(display_), &mask, 1);
        XSync(display_, False);
        ready_ = true;
    }
    ~RawInputListener() {
        if (display_ != nullptr) XCloseDisplay(display_);
    }
    RawInputListener(const RawInputListener&) = delete;
    RawInputListener& operator=(const RawInputListener&) = delete;

    [[nodiscard]] bool ready() const { return ready_; }

    void warp(int x, int y) {
        XWarpPointer(display_, 0, DefaultRootWindow(display_), 0, 0, 0, 0, x, y);
        XSync(display_, False);
    }

    void drain() {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
        }
    }

    // When the next raw event of `type` arrived, or none by `deadline`.
    std::optional<Clock::time_point> wait_for(int type, Clock::time_point deadline) {
        for (;;) {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.xcookie.type == GenericEvent && event.xcookie.extension == opcode_ &&
                    event.xcookie.evtype == type)
                    return Clock::now();
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd fd{ConnectionNumber(display_), POLLIN, 0};
            ::poll(&fd, 1, static_cast<int>(left.count()) + 1);
        }
    }

  private:
    Display* display_;
    int opcode_ = 0;
    bool ready_ = false;
};

double thread_cpu_seconds() {
    const std::string schedstat = first_line("/proc/thread-self/schedstat");
    return schedstat.empty() ? 0.0 : std::stod(schedstat) / 1e9;
}

// What steering cannot cost less than on this machine: a thread of the benchmark's own that wakes
// every 8 ms and each time posts one relative XTest motion and moves a small window, in one write,
// as the engine does with the pointer and the ring. No engine, no stick, no Qt. One core = 100%.
// `per_tick`, when given, runs at each tick before the post.
std::optional<double> steering_floor_percent(Clock::duration length,
                                             const std::function<void()>& per_tick = {}) {
    int screen_number = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screen_number);
    const auto disconnect = [](xcb_connection_t* connection) { xcb_disconnect(connection); };
    const std::unique_ptr<xcb_connection_t, decltype(disconnect)> owned(c, disconnect);
    if (xcb_connection_has_error(c) != 0) return std::nullopt;
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(c, &xcb_test_id);
    if (xtest == nullptr || xtest->present == 0) return std::nullopt;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t override_redirect = 1;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 16, 16, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_OVERRIDE_REDIRECT,
                      &override_redirect);
    xcb_map_window(c, window);
    xcb_flush(c);

    const auto ticks = static_cast<int>(length / 8ms);
    const double cpu_before = thread_cpu_seconds();
    const auto start = Clock::now();
    auto next = start;
    for (int i = 0; i < ticks; ++i) {
        next += 8ms;
        std::this_thread::sleep_until(next);
        if (per_tick) per_tick();
        // Back and forth, so that the pointer stays where it is.
        const std::int16_t dx = i % 2 == 0 ? 1 : -1;
        xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 1, XCB_CURRENT_TIME, XCB_NONE, dx, 0, 0);
        const std::uint32_t origin[] = {static_cast<std::uint32_t>(100 + i % 2), 100};
        xcb_configure_window(c, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, origin);
        xcb_flush(c);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = thread_cpu_seconds() - cpu_before;
    xcb_destroy_window(c, window);
    xcb_flush(c);
    return 100.0 * cpu / wall;
}

struct Latencies {
    std::vector<double> stick;
    std::vector<double> button;
};

double ms_between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// A thumb holding the left stick over: `rate` reports a second, each one a change, since a
// thumb trembles (about 2% either way); the direction reverses twice a second so that the
// pointer never rests at an edge. Runs on a thread of its own until destroyed, then centres the
// stick.
class StreamingStick {
  public:
    StreamingStick(thumbrover::VirtualPad& pad, int rate)
        : thread_(
              "bench-stick",
              [&pad, period = std::chrono::duration_cast<Clock::duration>(1s) / rate,
               start = Clock::now(), reports = 0, random = std::minstd_rand(7)]() mutable {
                  std::uniform_real_distribution<float> tremble(-0.02f, 0.02f);
                  // Both axes reverse, so that the pointer goes back and forth and never drifts
                  // to an edge, where each motion would ask the X server where the pointer is.
                  const float sign = (reports * period / 500ms) % 2 == 1 ? -1.0f : 1.0f;
                  pad.set_axes(
                      {{0, sign * 0.6f + tremble(random)}, {1, sign * 0.1f + tremble(random)}});
                  ++reports;
                  std::this_thread::sleep_until(start + reports * period);
              },
              [&pad] {
                  pad.set_axes({{0, 0.0f}, {1, 0.0f}});
              }) {}

  private:
    thumbrover::bench::Repeating thread_;
};

// Presses and releases A now and then, as a user clicks while steering, until destroyed.
class ButtonTaps {
  public:
    explicit ButtonTaps(thumbrover::VirtualPad& pad)
        : thread_("bench-taps", [&pad] {
              std::this_thread::sleep_for(400ms);
              pad.set_button(kButtonA, true);
              std::this_thread::sleep_for(100ms);
              pad.set_button(kButtonA, false);
          }) {}

  private:
    thumbrover::bench::Repeating thread_;
};

// A pressed until the X server has the click, `samples` times, whatever the sticks are doing.
std::vector<double> measure_clicks(thumbrover::VirtualPad& pad, int samples) {
    std::vector<double> out;
    RawInputListener x;
    if (!x.ready()) return out;
    const auto rest = [](int i) { return std::chrono::milliseconds(60 + (i * 7) % 13); };
    for (int i = 0; i < samples; ++i) {
        std::this_thread::sleep_for(rest(i));
        x.drain();
        pad.set_button(kButtonA, true);
        const Clock::time_point pressed = Clock::now();
        const auto clicked = x.wait_for(XI_RawButtonPress, pressed + 1s);
        pad.set_button(kButtonA, false);
        if (clicked) out.push_back(ms_between(pressed, *clicked));
        (void)x.wait_for(XI_RawButtonRelease, Clock::now() + 1s);
    }
    return out;
}

// The virtual controller is driven from the benchmark's own threads (SDL locks its joysticks), as
// a real one reaches the program without waking its main thread.
//
// Each sample starts from a rest long enough for the program to settle; the rest varies so that
// changes land at every phase of whatever timers run.
Latencies measure_latency(thumbrover::VirtualPad& pad, int samples) {
    Latencies out;
    RawInputListener x;
    if (!x.ready()) {
        std::fprintf(stderr, "bench: no XInput2 on the display\n");
        return out;
    }
    const auto rest = [](int i) { return std::chrono::milliseconds(60 + (i * 7) % 13); };
    for (int i = 0; i < samples; ++i) {
        x.warp(960, 540);
        std::this_thread::sleep_for(rest(i));
        x.drain();
        pad.set_axis(kAxisLeftX, 1.0f);
        const Clock::time_point changed = Clock::now();
        const auto moved = x.wait_for(XI_RawMotion, changed + 1s);
        pad.set_axis(kAxisLeftX, 0.0f);
        if (moved) out.stick.push_back(ms_between(changed, *moved));
    }
    out.button = measure_clicks(pad, samples);
    return out;
}

std::string load_average() {
    return first_line("/proc/loadavg");
}

constexpr int kReportRates[] = {1000, 250, 125};
// Steering is measured in slices of about this length, each between two floors.
constexpr auto kSliceLength = 5s;

void run_measurements(std::unique_ptr<thumbrover::VirtualPad>& pad, const fs::path& node,
                      std::chrono::seconds length, int samples, int only_rate) {
    pthread_setname_np(pthread_self(), "bench-driver");
    std::printf("machine load at start (1, 5, 15 min): %s\n", load_average().c_str());
    std::fflush(stdout);
    std::vector<StateFigures> states;
    std::this_thread::sleep_for(2s);
    if (only_rate == 0) states.push_back(measure("no controller", length));

    on_main([&] {
        auto plugged = thumbrover::VirtualPad::plug_in("Thumbrover Virtual Pad", node);
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
    // Past the ring's idle time and the first battery look.
    std::this_thread::sleep_for(3s);
    if (only_rate == 0) states.push_back(measure("controller connected, at rest", length));

    // The floor moves with the host's load by as much as 80% within a minute, more than the gap
    // between steering and the floor. So each steering state is measured in slices, each one
    // right between two floors of the same length, and each slice is compared with the mean of
    // the two: the comparison spans seconds rather than minutes.
    const int slices =
        static_cast<int>(std::max<std::chrono::seconds::rep>(1, length / kSliceLength));
    const Clock::duration slice = length / slices;
    std::vector<double> floors;
    const auto measure_floor = [&](const std::function<void()>& per_tick = {}) {
        std::optional<double> floor;
        std::thread floor_thread([&] {
            pthread_setname_np(pthread_self(), "bench-floor");
            floor = steering_floor_percent(slice, per_tick);
        });
        floor_thread.join();
        if (floor && !per_tick) floors.push_back(*floor);
        return floor;
    };
    std::optional<double> floor = measure_floor();
    // `steer` steers for one slice while it exists; `last` runs in the last slice, still steering,
    // after the measurement.
    const auto measure_steering = [&](const std::string& name,
                                      const std::function<std::shared_ptr<void>()>& steer,
                                      const std::function<void()>& last = {}) {
        std::printf("%s: %d slices of %.1f s, each between two floors...\n", name.c_str(), slices,
                    std::chrono::duration<double>(slice).count());
        std::fflush(stdout);
        Usage usage;
        double floor_sum = 0.0;
        std::vector<double> ratios;
        for (int i = 0; i < slices; ++i) {
            Usage one;
            {
                const std::shared_ptr<void> steering = steer();
                std::this_thread::sleep_for(1s);
                one = measure_slice(slice);
                if (last && i == slices - 1) last();
            }
            std::this_thread::sleep_for(2s);
            const std::optional<double> before = floor;
            floor = measure_floor();
            usage.add(one);
            if (!before || !floor) continue;
            const double around = (*before + *floor) / 2.0;
            floor_sum += around;
            if (around > 0.0) ratios.push_back(figures_of(name, one).total.cpu_percent / around);
        }
        StateFigures state = figures_of(name, usage);
        if (ratios.size() == static_cast<std::size_t>(slices)) {
            state.floor = floor_sum / slices;
            state.slice_ratios = std::move(ratios);
        }
        states.push_back(std::move(state));
    };

    if (only_rate == 0) {
        measure_steering("steering, the stick changed twice a second",
                         [&] { return std::make_shared<thumbrover::bench::Steering>(*pad); });
    }

    std::vector<std::pair<int, std::vector<double>>> clicks_while_steering;
    std::vector<int> rates(std::begin(kReportRates), std::end(kReportRates));
    if (only_rate != 0) rates = {only_rate};
    for (const int rate : rates) {
        struct StreamAndTaps {
            StreamAndTaps(thumbrover::VirtualPad& pad, int rate) : stick(pad, rate) {
                taps.emplace(pad);
            }
            StreamingStick stick;
            std::optional<ButtonTaps> taps;
        };
        StreamAndTaps* streaming = nullptr;
        measure_steering(
            "steering, " + std::to_string(rate) + " reports/s, A tapped twice a second",
            [&] {
                auto made = std::make_shared<StreamAndTaps>(*pad, rate);
                streaming = made.get();
                return made;
            },
            // The taps stop first: a click measured while they press A would wait for them.
            [&] {
                streaming->taps.reset();
                std::this_thread::sleep_for(500ms);
                clicks_while_steering.emplace_back(rate, measure_clicks(*pad, samples));
            });
    }

    // What the engine's read of the controller before each tick costs by itself: the floor plus
    // the program's own read of the sticks while it steers, through an SDL service of the
    // benchmark's own (the program's engine is idle meanwhile), in slices between plain floors as
    // above.
    std::vector<double> floor_with_read_ratios;
    auto gamepad = thumbrover::SdlGamepad::create();
    if (gamepad && only_rate == 0) {
        std::printf("the floor with a read of the sticks...\n");
        std::fflush(stdout);
        const thumbrover::ControllerId id = pad->id();
        const auto read = [&gamepad, id] { static_cast<void>((*gamepad)->read_sticks(id)); };
        (*gamepad)->quiet_sticks(true);
        for (int i = 0; i < slices; ++i) {
            const std::optional<double> before = floor;
            const std::optional<double> with_read = measure_floor(read);
            floor = measure_floor();
            if (before && floor && with_read)
                floor_with_read_ratios.push_back(*with_read / ((*before + *floor) / 2.0));
        }
        (*gamepad)->quiet_sticks(false);
    }

    std::printf("latency: %d samples each...\n", samples);
    std::fflush(stdout);
    const Latencies latencies = only_rate == 0 ? measure_latency(*pad, samples) : Latencies{};

    std::printf(
        "\nFigures per state (one core = 100%%; wake-ups are voluntary context switches, "
        "preemptions involuntary ones)\n");
    for (const StateFigures& s : states)
        print_state(s);
    if (!floors.empty()) {
        std::printf(
            "\nthe floor of steering on this machine (a bare thread waking every 8 ms to post one "
            "motion and one window move), measured %zu times: %.3f%% to %.3f%% of a core\n",
            floors.size(), *std::min_element(floors.begin(), floors.end()),
            *std::max_element(floors.begin(), floors.end()));
    }
    if (!floor_with_read_ratios.empty()) {
        std::printf(
            "the floor with the program's read of the sticks at each tick, against the floors "
            "around it: median %.2f x, %.2f to %.2f x\n",
            percentile(floor_with_read_ratios, 0.5), percentile(floor_with_read_ratios, 0.0),
            percentile(floor_with_read_ratios, 1.0));
    }
    std::printf("\nLatency, from the controller's change until the X server has the result\n");
    if (only_rate == 0) {
        print_latency("stick leaves rest -> pointer moved", latencies.stick, samples);
        print_latency("A pressed -> click", latencies.button, samples);
    }
    for (const auto& [rate, ms] : clicks_while_steering) {
        const std::string what =
            "A pressed while steering at " + std::to_string(rate) + " reports/s -> click";
        print_latency(what.c_str(), ms, samples);
    }
    std::printf("\nmachine load at end (1, 5, 15 min): %s\n", load_average().c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::chrono::seconds length{10};
    int samples = 1000;
    int only_rate = 0;
    if (argc > 3) only_rate = std::max(1, std::atoi(argv[3]));
    if (argc > 1) length = std::chrono::seconds(std::max(1, std::atoi(argv[1])));
    if (argc > 2) samples = std::max(1, std::atoi(argv[2]));
    if (std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "bench: needs an X display (scripts/with-virtual-display)\n");
        return 2;
    }
    std::unique_ptr<thumbrover::VirtualPad> pad;
    const int status = thumbrover::bench::run_whole_program("bench_running_cost", [&] {
        // In the private home the program runs with.
        const char* home = std::getenv("HOME");
        run_measurements(pad, fs::path(home != nullptr ? home : "/tmp") / "controller-node", length,
                         samples, only_rate);
    });
    pad.reset();
    return status;
}
