#include "core/output/executor.hpp"

#include <cstdint>

#include "core/common/diag.hpp"
#include "core/common/files.hpp"

namespace thumbrover {
namespace {

void set_enabled(bool on, ExecutorContext& context) {
    context.enabled = on;
    // The memory state has changed already; a failed write costs only the next start's state.
    if (const Result<void> written =
            write_file_atomically(context.enabled_file, on ? "true" : "false");
        !written)
        diag("could not save state: " +
             write_failure_reason(written.error(), context.enabled_file));
    if (context.link != nullptr) context.link->set_enabled(on);
}

void report(const Result<void>& result) {
    if (!result) diag(result.error());
}

}  // namespace

void run_commands(std::span<const OutputCommand> commands, ExecutorContext& context) {
    for (const OutputCommand& command : commands) {
        switch (command.kind) {
            case CommandKind::Move:
            case CommandKind::Scroll:
            case CommandKind::ButtonDown:
            case CommandKind::ButtonUp:
            case CommandKind::KeyDown:
            case CommandKind::KeyUp:
            case CommandKind::KeyTap:
            case CommandKind::Click:
            case CommandKind::HoldCommand:
            case CommandKind::SwitcherTab:
            case CommandKind::Launcher:
                if (const Result<void> sent = context.output.perform(command); !sent)
                    diag("could not send input: " + sent.error());
                break;
            case CommandKind::OnScreenKeyboard:
                report(context.desktop.show_on_screen_keyboard());
                break;
            case CommandKind::MissionControl:
                report(context.desktop.show_overview());
                break;
            case CommandKind::SteeringCircle:
                context.circle_visible.store(command.p1 != 0, std::memory_order_relaxed);
                break;
            case CommandKind::SetEnabled:
                set_enabled(command.p1 != 0, context);
                break;
            case CommandKind::Rumble:
                // A closed channel means the main thread is gone; the rumble has nobody to feel it.
                static_cast<void>(context.feedback.send(FeedbackRequest::Rumble));
                break;
        }
    }
}

}  // namespace thumbrover
