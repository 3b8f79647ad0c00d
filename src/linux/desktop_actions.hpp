#pragma once

#include "core/common/spawn.hpp"
#include "platform/event_output.hpp"
#include "platform/notifier.hpp"

namespace thumbrover {

// Linux desktops each have their own overview and on-screen keyboard, so the desktop running is
// asked over the session bus which of them it is. Overview: GNOME Shell's overview (shown or
// hidden, like pressing the Activities corner), else KDE Plasma's "Overview" effect. On-screen
// keyboard: GNOME's own (its accessibility setting turned on or off), else Onboard (shown or
// hidden, started when installed but not running). With none of them the user is told, as with
// any refusal.
//
// Each request runs as one small detached shell, so the engine thread never waits for the
// desktop; what happened is learnt when it ends.
class LinuxDesktopActions final : public DesktopActions {
  public:
    // Exit status of the request shell when the desktop offers nothing it knows.
    static constexpr int kNothingToOpen = 3;

    LinuxDesktopActions(Notifier& notifier, Spawner spawner = system_spawner());
    Result<void> show_overview() override;
    Result<void> show_on_screen_keyboard() override;

  private:
    Notifier& notifier_;
    Spawner spawner_;
};

}  // namespace thumbrover
