#pragma once

#include <atomic>
#include <filesystem>
#include <span>

#include "core/engine/link.hpp"
#include "core/output/command.hpp"
#include "platform/event_output.hpp"

namespace thumbrover {

// Everything the commands of one engine run act on. All of it lives on the engine thread except
// the shared flag, the feedback channel and the link, which are made for crossing threads.
struct ExecutorContext {
    EventOutput& output;
    DesktopActions& desktop;
    // The engine loop's copy of the on/off state; `SetEnabled` overwrites it.
    bool& enabled;
    // Where the on/off state is remembered between runs (the `enabled` file).
    std::filesystem::path enabled_file;
    // Rumble requests for the main thread's controller poll.
    const FeedbackSender& feedback;
    // The status-bar menu's view of the engine; null until published, or in tools and tests.
    EngineLink* link = nullptr;
    std::atomic<bool>& circle_visible = steering_circle_visible();
};

// Carries out one engine step's commands, in order, on the engine thread. A command that fails is
// reported on standard error and never stops the ones after it.
void run_commands(std::span<const OutputCommand> commands, ExecutorContext& context);

}  // namespace thumbrover
