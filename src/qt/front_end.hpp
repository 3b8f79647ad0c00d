#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "core/app/application.hpp"
#include "platform/tray_host.hpp"

class QIcon;

namespace thumbrover {

class TrayMenu;

// A run of the program as the Qt front end has it: the application's options, and what to do
// once the event loop runs.
struct QtShellOptions : ShellOptions {
    // Runs on the main thread once the event loop runs, with the tray menu (the demo drives its
    // script from here).
    std::function<void(TrayMenu&)> on_started;
    // The platform's status icons; none: the program's own pictures.
    std::function<QIcon(bool active)> tray_icon;
    // Told on the main thread whenever the program changes between on with a controller
    // connected (`active`) and not, starting with the first state the menu shows.
    std::function<void(bool active)> on_active;
    // Hands the platform a way to perform menu actions from its own menus (the macOS main
    // menu's Quit), once the application exists. Main thread only, during the event loop.
    std::function<void(std::function<void(MenuAction)> perform)> on_actions;
    // Whether the desktop has a tray; none: it always has (the macOS menu bar, demonstrations).
    std::shared_ptr<TrayHostWatch> tray_host;
    // Whether the platform should follow the desktop's tray itself (the program as users start
    // it, rather than inside a demonstration or test).
    bool watch_tray = false;
    // How long the program waits for a tray before it opens Settings instead: started at login,
    // it often comes up before the panel does.
    std::chrono::milliseconds tray_grace{3000};
};

// Runs the application in Qt's event loop: the tray menu, the steering ring's window and the
// main-thread timer, until the engine ends. The QApplication must exist. Returns the engine's
// exit status. Main thread only.
[[nodiscard]] int run_front_end(const AppPorts& ports, const QtShellOptions& options);

// Ends the process with `status` at once, from inside the event loop: the running application,
// if any, is first ended in order (the engine lets go of what it holds and every thread of its
// own is joined), and then the process ends without exit's teardown, which would destroy what
// threads outside the program's control (the toolkit's own) may still use. For the toolkit's
// fatal conditions, which would otherwise call exit() or abort() there. Main thread only.
[[noreturn]] void end_program_now(int status);

}  // namespace thumbrover
