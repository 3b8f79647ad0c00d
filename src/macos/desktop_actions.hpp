#pragma once

#include "core/common/spawn.hpp"
#include "platform/event_output.hpp"
#include "platform/notifier.hpp"

namespace thumbrover {

// macOS: the overview is the Mission Control application, started with `open`; an on-screen
// keyboard cannot be shown by another program, so the user is told to pick another action.
class MacDesktopActions final : public DesktopActions {
  public:
    MacDesktopActions(Notifier& notifier, Spawner spawner = system_spawner());
    Result<void> show_overview() override;
    Result<void> show_on_screen_keyboard() override;

  private:
    Notifier& notifier_;
    Spawner spawner_;
};

}  // namespace thumbrover
