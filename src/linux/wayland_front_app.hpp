#pragma once

#include <cstdint>
#include <memory>

#include "platform/front_app.hpp"

namespace thumbrover {

// How a Wayland session tells which application is in front: each desktop family its own way.
enum class FrontAppRoute : std::uint8_t {
    None,            // the desktop tells no one: the main bindings apply everywhere
    Wlroots,         // the compositor's window list (zwlr_foreign_toplevel_manager_v1)
    KWin,            // a KWin script that reports activations over D-Bus
    GnomeExtension,  // the program's GNOME Shell extension, once the user switches it on
};

// The first that the session offers, in the order above; looked at the first time it is asked
// and kept for the rest of the run, so that the engine and the windows agree.
[[nodiscard]] FrontAppRoute wayland_front_app_route();

[[nodiscard]] std::unique_ptr<FrontAppWatcher> make_wayland_front_app_watcher();

}  // namespace thumbrover
