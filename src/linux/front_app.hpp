#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/common/files.hpp"
#include "linux/x11_display.hpp"
#include "platform/front_app.hpp"

namespace thumbrover {

// The identity of an X application: the class part of its window's WM_CLASS ("firefox",
// "vlc"), which a desktop file's StartupWMClass names too. The instance part changes with how
// the program was started (`-name`), so it is not used.
[[nodiscard]] std::string app_id_of_class(std::string_view wm_class);

// The list of applications to offer from the windows' classes in the desktop's order: each
// identity once (the first window's), empty ones left out, sorted by name regardless of case.
[[nodiscard]] std::vector<RunningApp> distinct_apps(const std::vector<std::string>& classes);

// Follows `_NET_ACTIVE_WINDOW` on the root window, which a window manager keeps up to date, on
// a connection and thread of its own woken only by the server's PropertyNotify. Without a
// window manager that sets it, the application in front is never known.
class X11FrontAppWatcher final : public FrontAppWatcher {
  public:
    X11FrontAppWatcher() = default;
    ~X11FrontAppWatcher() override;
    X11FrontAppWatcher(const X11FrontAppWatcher&) = delete;
    X11FrontAppWatcher& operator=(const X11FrontAppWatcher&) = delete;

    [[nodiscard]] bool available() const override { return true; }
    void watch(std::function<void(std::string app_id)> changed) override;
    [[nodiscard]] std::vector<RunningApp> running_apps() override;

  private:
    UniqueFd stop_;
    // Used by the thread alone, and closed here only after the thread has ended.
    std::optional<X11Display> display_;
    std::thread thread_;
};

// The watcher for the session chosen at start: the X11 one, or in a Wayland session (input
// through uinput), where the X server sees only the Xwayland windows, the way that desktop
// offers (wayland_front_app.hpp).
[[nodiscard]] std::unique_ptr<FrontAppWatcher> make_front_app_watcher();

}  // namespace thumbrover
