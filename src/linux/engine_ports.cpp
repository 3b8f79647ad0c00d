#include "platform/native_engine_ports.hpp"

#include "core/common/diag.hpp"
#include "linux/desktop_actions.hpp"
#include "linux/event_output.hpp"
#include "linux/front_app.hpp"
#include "linux/mouse_watcher.hpp"
#include "linux/output_choice.hpp"
#include "linux/pointer_acceleration.hpp"
#include "linux/uinput_output.hpp"

namespace thumbrover {
namespace {

Result<std::unique_ptr<EventOutput>> create_uinput_output(Notifier& notifier) {
    KeyboardLayout layout = user_keyboard_layout();
    const auto make = [layout]() -> Result<std::unique_ptr<EventOutput>> {
        auto made = UinputEventOutput::create(layout);
        if (!made) return Error{made.error()};
        // Each new device is one the desktop accelerates until told otherwise.
        const std::string node = (*made)->pointer_node();
        return handle_pointer_acceleration(std::move(made).value(), node,
                                           AccelerationEnvironment::from_process());
    };
    auto output = make();
    if (output) return output;
    // Falling back to XTEST here would post into Xwayland only, which moves nothing the user
    // sees; the program keeps running and takes up access once it is given.
    if (const auto problem = uinput_access_problem()) {
        // The start-up check's line on standard error says the same (the permission wording).
        notifier.notify("Thumbrover cannot move the pointer yet",
                        problem->what + ". To fix it, run: " + problem->fix);
    } else {
        diag(output.error());
        notifier.notify("Thumbrover cannot move the pointer", output.error());
    }
    return std::unique_ptr<EventOutput>(
        std::make_unique<PendingUinputOutput>(make, uinput_recheck_counter()));
}

}  // namespace

Result<std::unique_ptr<EventOutput>> NativeEnginePorts::create_event_output() {
    if (chosen_output() == OutputKind::Uinput) return create_uinput_output(notifier_);
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
    if (!session_abilities(chosen_output()).mouse_watcher) return nullptr;
    return std::make_unique<X11MouseWatcher>();
}

std::unique_ptr<FrontAppWatcher> NativeEnginePorts::create_front_app_watcher() {
    return make_front_app_watcher();
}

}  // namespace thumbrover
