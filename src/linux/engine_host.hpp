#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/engine_host.hpp"
#include "platform/event_output.hpp"
#include "platform/notifier.hpp"

namespace thumbrover {

// The engine thread's platform on Linux: XTest for input, the desktop's overview and on-screen
// keyboard over the session bus, SDL's controller through the main thread's poll, XInput 2 for
// the real mouse, D-Bus for notifications. Every call comes from the engine thread.
class LinuxEngineHost final : public EngineHost {
  public:
    explicit LinuxEngineHost(Notifier& notifier);
    ~LinuxEngineHost() override;
    LinuxEngineHost(const LinuxEngineHost&) = delete;
    LinuxEngineHost& operator=(const LinuxEngineHost&) = delete;

    [[nodiscard]] Result<void> create_event_output() override;
    void publish_controller_link(EngineSender sender, FeedbackReceiver feedback) override;
    void start_mouse_watcher(EngineSender sender) override;
    [[nodiscard]] std::optional<std::string> battery_text() override;
    void set_circle_scale(float scale) override;
    void notify(std::string_view heading, std::string_view body) override;
    void run_commands(CommandList commands, PerformContext& context) override;

  private:
    Notifier& notifier_;
    std::unique_ptr<EventOutput> output_;
    std::unique_ptr<DesktopActions> desktop_actions_;
};

}  // namespace thumbrover
