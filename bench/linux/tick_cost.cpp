// What one steering tick costs the whole program in system calls and wake-ups, on the output the
// session chooses: XTEST in an X display (run it inside scripts/with-virtual-display), uinput in a
// Wayland session (run it in the test machine under sway, where it runs as root to read the
// program's device node: scripts/vm-test build tests/vm/compositor.sh build/bench_tick_cost).
// The left stick is held over, left and right in turn (never resting at an edge), so the engine
// ticks every 8 ms throughout.
// Two windows of the same length: one untouched, for wake-ups (voluntary context switches, per
// thread); one under `strace -c` on each of the program's threads, for system calls by name, since
// tracing adds wake-ups of its own. Figures are per tick, counted where the ticks can be seen (the
// virtual pointer's reports), else taken as one every 8 ms. Under emulation times mean little;
// the counts do not depend on speed, except that a clock read is a system call in a machine whose
// clock source the vDSO cannot read.
//   bench_tick_cost [seconds per window, default 3]

#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/app/linked_engine.hpp"
#include "core/engine/engine_loop.hpp"
#include "core/engine/link.hpp"
#include "demo/virtual_pad.hpp"
#include "linux/output_choice.hpp"
#include "linux/shell.hpp"
#include "linux/uinput_events.hpp"
#include "qt/status_menu.hpp"
#include "whole_program.hpp"

// Qt last: its `emit` macro would otherwise rewrite a name in the engine's headers.
#include <QApplication>
#include <QMetaObject>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

using thumbrover::bench::first_line;
using thumbrover::bench::status_field;

// Voluntary context switches (wake-ups) of each thread, by thread id, with its name.
std::map<long, std::pair<std::string, long>> wakeups() {
    std::map<long, std::pair<std::string, long>> threads;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc/self/task", ec)) {
        const long tid = std::stol(entry.path().filename().string());
        threads[tid] = {tid == ::getpid() ? "main" : first_line(entry.path() / "comm"),
                        status_field(entry.path() / "status", "voluntary_ctxt_switches:")};
    }
    return threads;
}

// The program's threads: all of this process's but the benchmark's own.
std::vector<std::string> program_threads() {
    std::vector<std::string> tids;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc/self/task", ec))
        if (!first_line(entry.path() / "comm").starts_with("bench-"))
            tids.push_back(entry.path().filename().string());
    return tids;
}

bool all_traced(const std::vector<std::string>& tids) {
    for (const std::string& tid : tids)
        if (status_field(fs::path("/proc/self/task") / tid / "status", "TracerPid:") == 0)
            return false;
    return true;
}

// Counts the engine's ticks where they can be seen: on the uinput path each tick is one report of
// the virtual pointer, read here from its device node by a thread of the benchmark's own (which
// needs read access to the node: root in the test machine). Elsewhere a tick is taken to be every
// 8 ms, which the engine keeps to on an unloaded machine at full deflection.
class TickCounter {
  public:
    TickCounter() {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator("/dev/input", ec)) {
            if (!entry.path().filename().string().starts_with("event")) continue;
            const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            libevdev* dev = nullptr;
            const bool found = libevdev_new_from_fd(fd, &dev) == 0 &&
                               libevdev_get_name(dev) == thumbrover::kUinputPointerName;
            if (dev != nullptr) libevdev_free(dev);
            if (found) {
                fd_ = fd;
                break;
            }
            ::close(fd);
        }
        if (fd_ < 0) return;
        // Ends when the device goes with the program's output.
        reader_ = std::thread([this] {
            pthread_setname_np(pthread_self(), "bench-ticks");
            input_event events[64];
            ssize_t n = 0;
            while ((n = ::read(fd_, events, sizeof events)) > 0)
                for (std::size_t i = 0; i < static_cast<std::size_t>(n) / sizeof(input_event); ++i)
                    if (events[i].type == EV_SYN && events[i].code == SYN_REPORT) ++reports_;
        });
    }
    TickCounter(const TickCounter&) = delete;
    TickCounter& operator=(const TickCounter&) = delete;
    ~TickCounter() {
        if (reader_.joinable()) reader_.detach();
    }

    [[nodiscard]] const char* basis() const {
        return fd_ >= 0 ? "reports of the virtual pointer" : "8 ms each";
    }
    // Marks the start of a window.
    void start() { start_ = reports_.load(); }
    // Ticks since the mark, over a window of `wall`.
    [[nodiscard]] double ticks(Clock::duration wall) const {
        if (fd_ < 0)
            return std::chrono::duration<double>(wall) /
                   std::chrono::duration<double>(thumbrover::kTickInterval);
        return static_cast<double>(reports_.load() - start_);
    }

  private:
    int fd_ = -1;
    std::thread reader_;
    std::atomic<long> reports_{0};
    long start_ = 0;
};

void measure_wakeups(TickCounter& counter, std::chrono::seconds length) {
    counter.start();
    const auto before = wakeups();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(length);
    const auto after = wakeups();
    const double ticks = counter.ticks(Clock::now() - t0);
    long total = 0;
    std::printf("wake-ups per tick over %.0f ticks (%s):\n", ticks, counter.basis());
    for (const auto& [tid, now] : after) {
        const auto it = before.find(tid);
        const long delta = now.second - (it != before.end() ? it->second.second : 0);
        if (delta == 0 || now.first.starts_with("bench-")) continue;
        total += delta;
        std::printf("  %-16s %6.2f\n", now.first.c_str(), static_cast<double>(delta) / ticks);
    }
    std::printf("  %-16s %6.2f\n", "program", static_cast<double>(total) / ticks);
}

void measure_system_calls(TickCounter& counter, std::chrono::seconds length) {
    // Where the kernel lets only a process's ancestors trace it, this one lets its own child.
    ::prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
    const std::string report = (fs::temp_directory_path() / "thumbrover-tick-cost.strace").string();
    // Each of the program's threads by itself, so that the benchmark's own calls stay out.
    const std::vector<std::string> tids = program_threads();
    std::vector<const char*> argv = {"strace", "-c", "-q", "-o", report.c_str()};
    for (const std::string& tid : tids) {
        argv.push_back("-p");
        argv.push_back(tid.c_str());
    }
    argv.push_back(nullptr);
    pid_t tracer = -1;
    if (::posix_spawnp(&tracer, "strace", nullptr, nullptr, const_cast<char**>(argv.data()),
                       environ) != 0) {
        std::printf("system calls: strace could not be started\n");
        return;
    }
    const auto until = Clock::now() + 20s;
    while (!all_traced(tids) && Clock::now() < until)
        std::this_thread::sleep_for(10ms);
    counter.start();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(length);
    ::kill(tracer, SIGINT);
    ::waitpid(tracer, nullptr, 0);
    // The tracer has let go, and with it the span its counts cover.
    const double ticks = counter.ticks(Clock::now() - t0);
    // strace -c: "% time seconds usecs/call calls errors syscall", then a total line.
    std::ifstream in(report);
    std::string line;
    std::printf("system calls per tick over %.0f ticks (%s; strace -c):\n", ticks, counter.basis());
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
        // The errors column is empty where there were none; the name is always last.
        if (w.size() < 5 || !std::isdigit(static_cast<unsigned char>(w[0][0]))) continue;
        const double calls = std::strtod(w[3].c_str(), nullptr);
        std::printf("  %-16s %6.2f\n", w.back().c_str(), calls / ticks);
    }
    fs::remove(report);
}

}  // namespace

int main(int argc, char** argv) {
    std::chrono::seconds length{3};
    if (argc > 1) length = std::chrono::seconds(std::max(1, std::atoi(argv[1])));
    const auto env = [](const char* name) -> std::optional<std::string_view> {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string_view>(value) : std::nullopt;
    };
    const auto choice =
        thumbrover::choose_output(std::nullopt, {.display = env("DISPLAY"),
                                                 .wayland_display = env("WAYLAND_DISPLAY"),
                                                 .session_type = env("XDG_SESSION_TYPE"),
                                                 .qt_platform = env("QT_QPA_PLATFORM")});
    if (!choice) {
        std::fprintf(stderr, "thumbrover: %s\n", choice.error().c_str());
        return 1;
    }
    thumbrover::set_chosen_output(choice->kind);
    std::printf("%s\n", choice->reason.c_str());
    std::unique_ptr<thumbrover::VirtualPad> pad;
    const int status = thumbrover::bench::run_whole_program("bench_tick_cost", [&] {
        pthread_setname_np(pthread_self(), "bench-driver");
        const auto on_main = [](const std::function<void()>& f) {
            QMetaObject::invokeMethod(qApp, f, Qt::BlockingQueuedConnection);
        };
        on_main([&] {
            auto plugged = thumbrover::VirtualPad::plug_in();
            if (plugged) pad = std::move(plugged).value();
        });
        if (!pad) return;
        // Until the engine has the controller and its output (a compositor takes a moment to
        // add new devices).
        std::this_thread::sleep_for(3s);
        const thumbrover::bench::Steering steering(*pad);
        std::this_thread::sleep_for(500ms);
        TickCounter counter;
        measure_wakeups(counter, length);
        measure_system_calls(counter, length);
    });
    pad.reset();
    return status;
}
