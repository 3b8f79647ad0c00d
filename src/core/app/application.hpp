#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "core/app/engine_requests.hpp"
#include "core/app/linked_engine.hpp"
#include "core/app/tick.hpp"
#include "core/circle/circle.hpp"
#include "core/controller/poll.hpp"
#include "core/controller/reader.hpp"
#include "core/settings/app_folder.hpp"
#include "core/ui/access.hpp"
#include "core/ui/status_menu.hpp"
#include "core/update/update_check.hpp"
#include "platform/engine_ports.hpp"
#include "platform/gamepad.hpp"
#include "platform/notifier.hpp"
#include "platform/overlay.hpp"
#include "platform/system_services.hpp"

namespace thumbrover {

// What the windows need from the application: the engine, the desktop services, and the tick
// that refreshes them while they are visible.
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
    // Turns the once-a-day release check on or off as the settings say; does nothing where the
    // run has no check (demonstrations, tests).
    std::function<void(bool)> set_update_checks = {};
};

// The Settings, Customize Buttons and Setup windows, built on first opening. The application
// only asks for them to open; until a window is built its request does nothing.
class ShellWindows {
  public:
    virtual ~ShellWindows() = default;

    virtual void open_settings() {}
    // The desktop has no tray for the program's icon: Settings opens, saying how to reach the
    // program again.
    virtual void open_settings_without_tray() { open_settings(); }
    virtual void open_buttons() {}
    virtual void open_setup() {}
    // The first tick's check: reports the input permission and opens the Setup window when it is
    // missing or setup was never finished.
    virtual void run_startup_check() {}
};

// Everything a run of the program can be given instead of the real thing (the demo and the
// end-to-end tests run the whole program inside their own process).
struct ShellOptions {
    // The application folder; empty: the user's own.
    std::filesystem::path app_dir;
    // Off in demonstrations and tests, which must not reach the network.
    bool check_for_updates = true;
    // Builds the windows once the application's services exist; none: no windows.
    std::function<std::unique_ptr<ShellWindows>(ShellServices&)> make_windows;
    // How the platform names its permission to post input (the start-up line without windows).
    PermissionWording wording = kAccessibilityWording;
    // The single-instance lock when the front end has taken it already (it answers on the session
    // bus as the running copy only while it holds it); none: the engine takes it.
    std::shared_ptr<InstanceLock> lock;
};

// The platform's objects the application is wired from. All of them outlive it.
struct AppPorts {
    Notifier& notifier;
    LoginItem& login_item;
    Desktop& desktop;
    InputPermission& permission;
    GamepadApi& gamepad;
    Overlay& overlay;
    Cursor& cursor;
    EnginePorts& engine;
};

// What the front end's event loop offers the application.
struct MainLoop {
    // Runs `work` on the main thread soon; callable from any thread.
    std::function<void(std::function<void()>)> post;
    // Ends the event loop with this exit status; main thread only.
    std::function<void(int)> end;
};

// What a menu item reaches. `windows` and `update` may be null: the item then does nothing.
struct MenuTargets {
    EngineRequests& engine;
    ShellWindows* windows;
    UpdateCheck* update;
    Desktop& desktop;
};

void perform_menu_action(MenuAction action, const MenuTargets& targets);

// The program without its toolkit: the controller poll, the steering circle, the update check,
// the main-thread tick and the engine thread, wired together. The front end makes its menu with
// `perform` and `update_offer`, hands it to `start`, runs its event loop, ticking `tick()` at its
// interval, and calls `finish` when the loop has ended. Main thread only; once per process (the
// engine's links are process-wide).
class Application {
  public:
    Application(AppPorts ports, const ShellOptions& options, MainLoop loop);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    void perform(MenuAction action);
    [[nodiscard]] std::optional<UpdateOffer> update_offer();
    // No tray shows the program's icon (none at start, or the one there went away).
    void tray_missing();

    // Builds the tick around `menu` and the windows, then starts the engine thread. When the
    // engine ends, the event loop is asked to end with its exit status.
    void start(MenuRefresh& menu);
    [[nodiscard]] MainTick& tick() { return *tick_; }

    // After the event loop has ended: makes sure the engine ends too (letting go of everything
    // held), waits for it and takes the ring away. Returns the engine's exit status.
    [[nodiscard]] int finish();

  private:
    class StartupCheckOrReport;

    AppPorts ports_;
    ShellOptions options_;
    MainLoop loop_;
    std::filesystem::path dir_;
    LinkedEngineRequests engine_;
    ControllerPoller poll_;
    // Shared with the controller service, which may announce until it is destroyed, after this.
    std::shared_ptr<ControllerNewsBox> controller_news_;
    std::unique_ptr<ControllerReader> reader_;
    std::unique_ptr<ControllerPollStep> read_elsewhere_;
    std::thread reader_thread_;
    SteeringCircle circle_;
    std::unique_ptr<UpdateCheck> update_check_;
    std::unique_ptr<UpdateStep> no_update_check_;
    std::unique_ptr<StartupCheckOrReport> startup_;
    std::unique_ptr<MainTick> tick_;
    std::unique_ptr<ShellServices> services_;
    std::unique_ptr<ShellWindows> windows_;
    std::atomic<int> engine_status_{0};
    std::thread engine_thread_;
};

}  // namespace thumbrover
