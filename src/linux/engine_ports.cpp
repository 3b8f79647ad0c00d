#include "platform/native_engine_ports.hpp"

#include "core/common/diag.hpp"
#include "linux/desktop_actions.hpp"
#include "linux/event_output.hpp"
#include "linux/front_app.hpp"
#include "linux/mouse_watcher.hpp"

namespace thumbrover {

Result<std::unique_ptr<EventOutput>> NativeEnginePorts::create_event_output() {
    auto output = X11EventOutput::create();
    if (!output) return Error{output.error()};
    // The X server keeps what a run posted held down after that run is gone (killed, crashed),
    // in every application, until someone lets go of it.
    if ((*output)->release_left_held() > 0)
        diag("let go of keys and buttons an earlier run left held down");
    return std::unique_ptr<EventOutput>(std::move(output).value());
}

std::unique_ptr<DesktopActions> NativeEnginePorts::create_desktop_actions() {
    return std::make_unique<LinuxDesktopActions>(notifier_);
}

std::unique_ptr<MouseMotionSource> NativeEnginePorts::create_mouse_source() {
    return std::make_unique<X11MouseWatcher>();
}

std::unique_ptr<FrontAppWatcher> NativeEnginePorts::create_front_app_watcher() {
    return make_front_app_watcher();
}

}  // namespace thumbrover
