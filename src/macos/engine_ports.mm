#include "macos/engine_ports.hpp"

#include "macos/desktop_actions.hpp"
#include "macos/event_poster.hpp"
#include "macos/mouse_watcher.hpp"

namespace thumbrover {

Result<std::unique_ptr<EventOutput>> MacEnginePorts::create_event_output() {
    return thumbrover::create_event_output();
}

std::unique_ptr<DesktopActions> MacEnginePorts::create_desktop_actions() {
    return std::make_unique<MacDesktopActions>(notifier_);
}

std::unique_ptr<MouseMotionSource> MacEnginePorts::create_mouse_source() {
    return std::make_unique<EventTapWatcher>();
}

}  // namespace thumbrover
