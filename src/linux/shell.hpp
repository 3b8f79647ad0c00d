#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "core/circle/circle.hpp"
#include "core/app/engine_requests.hpp"
#include "core/app/tick.hpp"
#include "platform/gamepad.hpp"
#include "platform/notifier.hpp"
#include "platform/system_services.hpp"

namespace thumbrover {

class TrayMenu;
class MainTick;

// What the windows need from the shell: the engine, the desktop services, and the tick that
// refreshes them while they are visible.
struct ShellServices {
    EngineRequests& engine;
    LoginItem& login_item;
    Desktop& desktop;
    InputPermission& permission;
    MainTick& tick;
    std::filesystem::path app_dir;
    // Where the windows' settings changes go besides the file and the engine.
    CircleScaleTarget& circle;
    Notifier& notifier;
};

// The Settings, Customize Buttons and Setup windows, built on first opening. The shell only asks
// for them to open; until a window is built its request does nothing.
class ShellWindows {
  public:
    virtual ~ShellWindows() = default;

    virtual void open_settings() {}
    virtual void open_buttons() {}
    virtual void open_setup() {}
    // The first tick's check: reports the input permission and opens the Setup window when it is
    // missing or setup was never finished.
    virtual void run_startup_check() {}
};

// Everything a run of the shell can be given instead of the real thing (the demo and the
// end-to-end tests run the whole program inside their own process).
struct ShellOptions {
    // The application folder; empty: the user's own.
    std::filesystem::path app_dir;
    // Off in demonstrations and tests, which must not reach the network.
    bool check_for_updates = true;
    // Builds the windows once the shell's services exist; none: no windows.
    std::function<std::unique_ptr<ShellWindows>(ShellServices&)> make_windows;
    // Runs on the main thread once the event loop runs, with the shell's tray menu (the demo
    // drives its script from here).
    std::function<void(TrayMenu&)> on_started;
};

// Runs the program: the 4 ms main-thread tick, the tray menu, the steering ring, and the engine
// on a thread of its own, until the engine ends. Returns the engine's exit status. Main thread
// only; once per process (the engine's links are process-wide).
int run_application(const ShellOptions& options);

}  // namespace thumbrover
