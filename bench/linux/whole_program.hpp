#pragma once

// What the benchmarks that run the whole program share: reading the kernel's figures of this
// process, and the program run in this process with a private settings folder while a driver
// thread measures.

#include <pthread.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "core/app/linked_engine.hpp"
#include "core/engine/link.hpp"
#include "demo/virtual_pad.hpp"
#include "linux/shell.hpp"
#include "qt/status_menu.hpp"

// Qt last: its `emit` macro would otherwise rewrite a name in the engine's headers.
#include <QApplication>

namespace thumbrover::bench {

inline std::string first_line(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// A numeric field of a /proc status file ("VmRSS:"), 0 when absent.
inline long status_field(const std::filesystem::path& status_file, std::string_view field) {
    std::ifstream in(status_file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
    return 0;
}

// Runs the program in this process, in a private settings folder (so that a measurement neither
// reads nor changes the user's), with `measure` on a thread of its own once the program has
// started; the program is asked to quit when it returns. Returns the program's exit status.
inline int run_whole_program(const char* name, const std::function<void()>& measure) {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "thumbrover-bench.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 1;
    const fs::path home = pattern;
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);

    static int qt_argc = 1;
    static std::string qt_name;
    qt_name = name;
    static char* qt_argv[] = {qt_name.data(), nullptr};
    QApplication app(qt_argc, qt_argv);
    std::thread driver;
    QtShellOptions options;
    options.check_for_updates = false;
    options.on_started = [&](TrayMenu&) {
        driver = std::thread([&] {
            measure();
            while (published_engine_link() == nullptr)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            LinkedEngineRequests().send_quit();
        });
    };
    const int status = run_application(options);
    if (driver.joinable()) driver.join();
    std::error_code ec;
    fs::remove_all(home, ec);
    return status;
}

// Runs `step` again and again on a thread of its own called `name` until destroyed, then `last`
// once. The benchmark's threads are called "bench-..." and left out of the program's totals.
class Repeating {
  public:
    Repeating(const char* name, std::function<void()> step, std::function<void()> last = {})
        : last_(std::move(last)) {
        thread_ = std::thread([this, name, step = std::move(step)] {
            pthread_setname_np(pthread_self(), name);
            while (running_)
                step();
        });
    }
    Repeating(const Repeating&) = delete;
    Repeating& operator=(const Repeating&) = delete;
    ~Repeating() {
        running_ = false;
        thread_.join();
        if (last_) last_();
    }

  private:
    std::function<void()> last_;
    std::atomic<bool> running_{true};
    std::thread thread_;
};

// Steers while it exists: the left stick held over, reversed twice a second so that the pointer
// never rests at an edge. Set from a thread of its own, so that the program's main thread is not
// woken for it.
class Steering {
  public:
    explicit Steering(VirtualPad& pad)
        : mover_(
              "bench-mover",
              [&pad, direction = 0.6f]() mutable {
                  pad.set_axis(kAxisLeftX, direction);
                  direction = -direction;
                  std::this_thread::sleep_for(std::chrono::milliseconds(500));
              },
              [&pad] { pad.set_axis(kAxisLeftX, 0.0f); }) {}

  private:
    static constexpr std::size_t kAxisLeftX = 0;
    Repeating mover_;
};

}  // namespace thumbrover::bench
