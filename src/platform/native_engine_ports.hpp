#pragma once

#include <memory>

#include "platform/engine_ports.hpp"

namespace thumbrover {

// The engine's ports on the platform this program is built for; each platform's adapters define
// the three factories (Linux: XTest, the desktop over the session bus and XInput 2; macOS:
// CoreGraphics events, `open` and a listen-only event tap).
class NativeEnginePorts final : public EnginePorts {
  public:
    explicit NativeEnginePorts(Notifier& notifier) : notifier_(notifier) {}

    [[nodiscard]] Result<std::unique_ptr<EventOutput>> create_event_output() override;
    [[nodiscard]] std::unique_ptr<DesktopActions> create_desktop_actions() override;
    [[nodiscard]] std::unique_ptr<MouseMotionSource> create_mouse_source() override;
    [[nodiscard]] std::unique_ptr<FrontAppWatcher> create_front_app_watcher() override;
    [[nodiscard]] Notifier& notifier() override { return notifier_; }

  private:
    Notifier& notifier_;
};

}  // namespace thumbrover
