#pragma once

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/common/files.hpp"
#include "platform/front_app.hpp"

namespace thumbrover {

// Follows the window in front on a wlroots compositor (sway, Hyprland, labwc, Wayfire, niri...)
// through its list of windows, zwlr_foreign_toplevel_manager_v1, where each window states its
// app_id and whether it is activated. A connection and thread of its own, woken only by the
// compositor. When the compositor goes away, the application in front becomes unknown and the
// thread ends.
class WlrFrontAppWatcher final : public FrontAppWatcher {
  public:
    // `display`: the Wayland display's name or path; empty for the session's (WAYLAND_DISPLAY).
    explicit WlrFrontAppWatcher(std::string display = {}) : display_(std::move(display)) {}
    ~WlrFrontAppWatcher() override;
    WlrFrontAppWatcher(const WlrFrontAppWatcher&) = delete;
    WlrFrontAppWatcher& operator=(const WlrFrontAppWatcher&) = delete;

    // Whether the compositor offers the window list (one round trip).
    [[nodiscard]] static bool offered(const std::string& display = {});

    [[nodiscard]] bool available() const override { return true; }
    void watch(std::function<void(std::string app_id)> changed) override;
    [[nodiscard]] std::vector<RunningApp> running_apps() override;

  private:
    std::string display_;
    UniqueFd stop_;
    std::thread thread_;
};

}  // namespace thumbrover
