#pragma once

#include <memory>

#include "platform/engine_ports.hpp"

namespace thumbrover {

// The engine's platform on macOS: CoreGraphics events posted to the HID event tap, Mission
// Control through `open`, a listen-only event tap for the real mouse, osascript notifications.
class MacEnginePorts final : public EnginePorts {
  public:
    explicit MacEnginePorts(Notifier& notifier) : notifier_(notifier) {}
    [[nodiscard]] Result<std::unique_ptr<EventOutput>> create_event_output() override;
    [[nodiscard]] std::unique_ptr<DesktopActions> create_desktop_actions() override;
    [[nodiscard]] std::unique_ptr<MouseMotionSource> create_mouse_source() override;
    [[nodiscard]] Notifier& notifier() override { return notifier_; }

  private:
    Notifier& notifier_;
};

}  // namespace thumbrover
