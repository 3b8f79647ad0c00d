#include "linux/wayland_front_app.hpp"

#include <mutex>

#include "core/common/diag.hpp"
#include "linux/dbus_front_app.hpp"
#include "linux/wlr_front_app.hpp"

namespace thumbrover {

FrontAppRoute wayland_front_app_route() {
    static std::once_flag once;
    static FrontAppRoute route = FrontAppRoute::None;
    std::call_once(once, [] {
        if (WlrFrontAppWatcher::offered()) {
            route = FrontAppRoute::Wlroots;
            diag("following the application in front through the compositor's window list");
        } else if (KWinFrontAppWatcher::offered()) {
            route = FrontAppRoute::KWin;
            diag("following the application in front through a KWin script");
        } else if (GnomeFrontAppWatcher::offered()) {
            route = FrontAppRoute::GnomeExtension;
            diag("following the application in front through the GNOME Shell extension " +
                 std::string(front_app_bus::kExtensionUuid));
        } else {
            diag(
                "this desktop does not tell which application is in front: the main bindings "
                "apply everywhere");
        }
    });
    return route;
}

std::unique_ptr<FrontAppWatcher> make_wayland_front_app_watcher() {
    switch (wayland_front_app_route()) {
        case FrontAppRoute::Wlroots:
            return std::make_unique<WlrFrontAppWatcher>();
        case FrontAppRoute::KWin:
            return std::make_unique<KWinFrontAppWatcher>();
        case FrontAppRoute::GnomeExtension:
            return std::make_unique<GnomeFrontAppWatcher>();
        case FrontAppRoute::None:
            break;
    }
    return std::make_unique<NoFrontAppWatcher>();
}

}  // namespace thumbrover
