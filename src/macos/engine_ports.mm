#include "platform/native_engine_ports.hpp"

#include "macos/desktop_actions.hpp"
#include "macos/event_poster.hpp"
#include "macos/front_app.hpp"
#include "macos/mouse_watcher.hpp"

namespace thumbrover {

Result<std::unique_ptr<EventOutput>> NativeEnginePorts::create_event_output() {
    return thumbrover::create_event_output();
}

std::unique_ptr<DesktopActions> NativeEnginePorts::create_desktop_actions() {
    return std::make_unique<MacDesktopActions>(notifier_);
}

std::unique_ptr<MouseMotionSource> NativeEnginePorts::create_mouse_source() {
    return std::make_unique<EventTapWatcher>();
}

std::unique_ptr<FrontAppWatcher> NativeEnginePorts::create_front_app_watcher() {
    return std::make_unique<WorkspaceFrontAppWatcher>();
}

}  // namespace thumbrover
