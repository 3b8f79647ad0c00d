#pragma once

// Runs the whole program inside the test's process, in the virtual display, with a virtual
// controller; the test's scenario runs on a thread of its own and reaches the program only the
// way a user would (the controller, the X server) plus a few reads of its state. One run per
// process: the engine's links are process-wide, and ctest runs every test in a process of its
// own.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/app/linked_engine.hpp"
#include "core/engine/link.hpp"
#include "core/settings/config.hpp"
#include "demo/virtual_pad.hpp"
#include "linux/shell.hpp"
#include "qt/status_menu.hpp"
#include "test_support.hpp"

// Qt last: its `emit` macro would otherwise rewrite a name in the engine's headers.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMetaObject>

// Xlib after Qt: its macros (None, Status, ...) would otherwise clash with Qt's names.
#include "linux/x_probe.hpp"

namespace thumbrover::testing {

using namespace std::chrono_literals;

inline constexpr std::size_t kAxisLeftX = 0;
inline constexpr std::size_t kAxisLeftY = 1;
inline constexpr std::size_t kAxisRightY = 3;
inline constexpr std::size_t kButtonA = 0;
inline constexpr std::size_t kButtonY = 3;
inline constexpr std::size_t kButtonMenu = 7;
inline constexpr std::size_t kButtonXbox = 8;

// How the virtual controller reports: straight to the program, or as a real one does, through a
// device node of its own that the program watches and reads.
enum class PadReports { Direct, ThroughNode };

class ProgramRun {
  public:
    // The scenario runs on its own thread while the program runs; the program is asked to quit
    // when it returns. `prepare` runs first with the private application folder (to write a
    // settings file). Returns the program's exit status. The home folder is a fresh one of its own
    // unless `home` names one: a forked child that ends with _Exit never removes its own, so its
    // parent makes it and removes it.
    static int run(const std::function<void(ProgramRun&)>& scenario,
                   const std::function<void(const std::filesystem::path&)>& prepare = {},
                   const std::filesystem::path& home = {},
                   PadReports reports = PadReports::Direct) {
        ProgramRun program(home);
        program.reports_ = reports;
        if (prepare) prepare(program.app_dir());
        return program.run_with(scenario);
    }

    [[nodiscard]] std::filesystem::path app_dir() const { return home_ / ".config" / "thumbrover"; }
    [[nodiscard]] const std::filesystem::path& home() const { return home_; }

    // Runs `f` on the main thread and waits for it.
    void on_main(const std::function<void()>& f) {
        QMetaObject::invokeMethod(qApp, f, Qt::BlockingQueuedConnection);
    }

    void set_axis(std::size_t index, float value) {
        on_main([&] { pad_->set_axis(index, value); });
    }
    void set_button(std::size_t index, bool pressed) {
        on_main([&] { pad_->set_button(index, pressed); });
    }
    void set_axes(std::initializer_list<std::pair<std::size_t, float>> values) {
        on_main([&] { pad_->set_axes(values); });
    }
    void unplug() {
        on_main([&] { pad_->unplug(); });
    }
    // A controller plugged in again after `unplug`: a new one, as far as the program can tell.
    // False (with the test failed) when it could not be.
    bool replug() {
        bool plugged = false;
        on_main([&] {
            pad_.reset();
            auto pad = plug_in();
            if (!pad) {
                ADD_FAILURE() << pad.error();
                return;
            }
            pad_ = std::move(pad).value();
            plugged = true;
        });
        return plugged;
    }

    // The first line of the tray menu ("On", "Off", "Controller not connected").
    std::string tray_status() {
        std::string title;
        on_main([&] {
            if (tray_ != nullptr && !tray_->shown().items.empty())
                title = tray_->shown().items.front().title;
        });
        return title;
    }

    // Every line of the tray menu, separators as empty lines.
    std::vector<std::string> tray_lines() {
        std::vector<std::string> lines;
        on_main([&] {
            if (tray_ == nullptr) return;
            for (const MenuItem& item : tray_->shown().items)
                lines.push_back(item.title);
        });
        return lines;
    }

    // Chooses a tray menu item by its title, as a click would; false when there is none.
    bool choose_menu_item(const std::string& title) {
        bool found = false;
        on_main([&] {
            if (tray_ == nullptr || tray_->menu() == nullptr) return;
            for (QAction* action : tray_->menu()->actions())
                if (action->text() == QString::fromStdString(title)) {
                    action->trigger();
                    found = true;
                    return;
                }
        });
        return found;
    }

    [[nodiscard]] bool connected() const {
        const EngineLink* link = published_engine_link();
        return link != nullptr && link->status().connected;
    }

  private:
    explicit ProgramRun(const std::filesystem::path& home) {
        if (home.empty()) {
            home_ = own_home_.emplace().path();
        } else {
            home_ = home;
        }
        ::setenv("HOME", home_.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home_ / ".config").c_str(), 1);
        std::filesystem::create_directories(app_dir());
    }

    Result<std::unique_ptr<VirtualPad>> plug_in() const {
        if (reports_ == PadReports::Direct) return VirtualPad::plug_in();
        return VirtualPad::plug_in("Thumbrover Virtual Pad", home_ / "pad-node");
    }

    int run_with(const std::function<void(ProgramRun&)>& scenario) {
        static int argc = 1;
        static char name[] = "thumbrover-e2e";
        static char* argv[] = {name, nullptr};
        // Never destroyed: at exit Qt's own globals may be gone before it.
        static QApplication* app = new QApplication(argc, argv);
        (void)app;
        std::thread driver;
        QtShellOptions options;
        options.check_for_updates = false;
        options.on_started = [&](TrayMenu& tray) {
            tray_ = &tray;
            auto pad = plug_in();
            if (!pad) {
                ADD_FAILURE() << pad.error();
                LinkedEngineRequests().send_quit();
                return;
            }
            pad_ = std::move(pad).value();
            driver = std::thread([this, &scenario] {
                if (wait_until([this] { return connected(); }, 15s)) {
                    scenario(*this);
                } else {
                    ADD_FAILURE() << "the virtual controller was not picked up";
                }
                finished_ = true;
                // Quitting again after a failed send would be harmless; the engine may be gone.
                while (published_engine_link() == nullptr)
                    std::this_thread::sleep_for(10ms);
                LinkedEngineRequests().send_quit();
            });
        };
        const int status = run_application(options);
        if (driver.joinable()) driver.join();
        pad_.reset();
        EXPECT_TRUE(finished_) << "the program ended before the scenario did";
        return status;
    }

    std::optional<TempDir> own_home_;
    std::filesystem::path home_;
    std::unique_ptr<VirtualPad> pad_;
    PadReports reports_ = PadReports::Direct;
    TrayMenu* tray_ = nullptr;
    std::atomic<bool> finished_{false};
};

// Writes the settings file in `dir`: the defaults, changed by `change`. (Defined apart: the
// settings file's header and the notifier port both name a `Notifier`.)
void write_settings(const std::filesystem::path& dir, const std::function<void(Config&)>& change);

}  // namespace thumbrover::testing
