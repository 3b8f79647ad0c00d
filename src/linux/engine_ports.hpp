#pragma once

#include <memory>

#include "platform/engine_ports.hpp"

namespace thumbrover {

// The engine's platform on Linux: XTest for input, the desktop's overview and on-screen keyboard
// over the session bus, XInput 2 for the real mouse, D-Bus for notifications.
class LinuxEnginePorts final : public EnginePorts {
  public:
    explicit LinuxEnginePorts(Notifier& notifier) : notifier_(notifier) {}

    [[nodiscard]] Result<std::unique_ptr<EventOutput>> create_event_output() override;
    [[nodiscard]] std::unique_ptr<DesktopActions> create_desktop_actions() override;
    [[nodiscard]] std::unique_ptr<MouseMotionSource> create_mouse_source() override;
    [[nodiscard]] Notifier& notifier() override { return notifier_; }

  private:
    Notifier& notifier_;
};

}  // namespace thumbrover
