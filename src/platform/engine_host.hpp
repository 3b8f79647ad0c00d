#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/result.hpp"
#include "core/engine/engine.hpp"
#include "core/engine/link.hpp"

namespace thumbrover {

// What `perform` hands the executor besides the command list.
struct PerformContext {
    // The loop's copy of the on/off state; performing `SetEnabled` overwrites it.
    bool& enabled;
    // The application folder, which holds the `enabled` state file.
    const std::filesystem::path& app_dir;
    // For rumble requests to the main thread's controller poll.
    const FeedbackSender& feedback;
    // The status record the menu shows.
    EngineLink& link;
};

// Everything the engine thread needs from the platform.
//
// Contract:
// - Every method is called on the engine thread only, in the order of the start-up sequence and
//   then from the loop; none is called after `run_engine` returns.
// - No method blocks for long: the loop's timing depends on it. `notify` returns at once.
// - Only `create_event_output` can fail; its error text becomes the start failure's text.
class EngineHost {
  public:
    virtual ~EngineHost() = default;

    // Creates the event output that `run_commands` posts through.
    [[nodiscard]] virtual Result<void> create_event_output() = 0;
    // Hands the main thread's controller poll a way to send to the engine and the receiving end
    // of the controller feedback channel.
    virtual void publish_controller_link(EngineSender sender, FeedbackReceiver feedback) = 0;
    // Starts the real-mouse watcher thread, which sends `MouseMoved` events.
    virtual void start_mouse_watcher(EngineSender sender) = 0;
    // The connected controller's battery text ("Low", "75%", ...), or none.
    [[nodiscard]] virtual std::optional<std::string> battery_text() = 0;
    virtual void set_circle_scale(float scale) = 0;
    virtual void notify(std::string_view heading, std::string_view body) = 0;
    // Carries out one operation's commands, in order, and frees them.
    virtual void run_commands(CommandList commands, PerformContext& context) = 0;

    // Makes the engine link visible to the user interface. The process-wide cell by default;
    // tests keep it to themselves.
    virtual void publish_engine_link(std::shared_ptr<EngineLink> link) {
        thumbrover::publish_engine_link(std::move(link));
    }
};

}  // namespace thumbrover
