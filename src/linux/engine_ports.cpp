#include "linux/engine_ports.hpp"

#include "linux/desktop_actions.hpp"
#include "linux/event_output.hpp"
#include "linux/mouse_watcher.hpp"

namespace thumbrover {

Result<std::unique_ptr<EventOutput>> LinuxEnginePorts::create_event_output() {
    auto output = X11EventOutput::create();
    if (!output) return Error{output.error()};
    return std::unique_ptr<EventOutput>(std::move(output).value());
}

std::unique_ptr<DesktopActions> LinuxEnginePorts::create_desktop_actions() {
    return std::make_unique<LinuxDesktopActions>(notifier_);
}

std::unique_ptr<MouseMotionSource> LinuxEnginePorts::create_mouse_source() {
    return std::make_unique<X11MouseWatcher>();
}

}  // namespace thumbrover
