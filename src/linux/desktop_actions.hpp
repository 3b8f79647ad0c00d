#pragma once

#include <memory>
#include <mutex>

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
    ~LinuxDesktopActions() override;
    LinuxDesktopActions(const LinuxDesktopActions&) = delete;
    LinuxDesktopActions& operator=(const LinuxDesktopActions&) = delete;

    Result<void> show_overview() override;
    Result<void> show_on_screen_keyboard() override;

  private:
    // A request shell is reaped on a detached thread that can outlive these actions and the
    // notifier they were given (the program ending while the shell still runs). That thread
    // reaches the notifier only through this slot, which the destructor empties.
    struct NotifierSlot {
        std::mutex mutex;
        Notifier* notifier = nullptr;
    };

    std::shared_ptr<NotifierSlot> notifier_slot_;
    Spawner spawner_;
};

}  // namespace thumbrover
