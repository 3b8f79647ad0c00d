#include "macos/desktop_actions.hpp"

#include <utility>

namespace thumbrover {

MacDesktopActions::MacDesktopActions(Notifier& notifier, Spawner spawner)
    : notifier_(notifier), spawner_(std::move(spawner)) {}

Result<void> MacDesktopActions::show_overview() {
    const Result<void> started = spawner_("open", {"/System/Applications/Mission Control.app"}, {});
    if (!started) return Error{"could not open Mission Control: " + started.error()};
    return {};
}

Result<void> MacDesktopActions::show_on_screen_keyboard() {
    notifier_.notify("The on-screen keyboard is not available",
                     "macOS does not allow it. Choose another action for this button in Customize "
                     "Buttons.");
    return {};
}

}  // namespace thumbrover
