#include "linux/engine_host.hpp"

#include "core/circle/circle.hpp"
#include "core/common/diag.hpp"
#include "core/controller/engine_events.hpp"
#include "core/controller/slots.hpp"
#include "core/output/executor.hpp"
#include "core/watcher/watcher.hpp"
#include "linux/desktop_actions.hpp"
#include "linux/event_output.hpp"
#include "linux/mouse_watcher.hpp"

namespace thumbrover {

LinuxEngineHost::LinuxEngineHost(Notifier& notifier)
    : notifier_(notifier), desktop_actions_(std::make_unique<LinuxDesktopActions>(notifier)) {}

LinuxEngineHost::~LinuxEngineHost() = default;

Result<void> LinuxEngineHost::create_event_output() {
    auto output = X11EventOutput::create();
    if (!output) return Error{output.error()};
    // The X server keeps what a run posted held down after that run is gone (killed, crashed),
    // in every application, until someone lets go of it.
    if ((*output)->release_left_held() > 0)
        diag("let go of keys and buttons an earlier run left held down");
    output_ = std::move(output).value();
    return {};
}

void LinuxEngineHost::publish_controller_link(EngineSender sender, FeedbackReceiver feedback) {
    thumbrover::publish_controller_link(
        make_controller_link(std::move(sender), std::move(feedback)));
}

void LinuxEngineHost::start_mouse_watcher(EngineSender sender) {
    thumbrover::start_mouse_watcher(std::make_unique<X11MouseWatcher>(), std::move(sender));
}

std::optional<std::string> LinuxEngineHost::battery_text() {
    return thumbrover::battery_text();
}

void LinuxEngineHost::set_circle_scale(float scale) {
    thumbrover::set_circle_scale(scale);
}

void LinuxEngineHost::notify(std::string_view heading, std::string_view body) {
    notifier_.notify(heading, body);
}

void LinuxEngineHost::run_commands(CommandList commands, PerformContext& context) {
    // Commands only come after the output exists: the loop starts once it was created.
    if (!output_) return;
    ExecutorContext executor{.output = *output_,
                             .desktop = *desktop_actions_,
                             .enabled = context.enabled,
                             .enabled_file = context.app_dir / "enabled",
                             .feedback = context.feedback,
                             .link = &context.link};
    thumbrover::run_commands(commands, executor);
}

}  // namespace thumbrover
