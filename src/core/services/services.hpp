#pragma once

#include <string>

#include "core/app/engine_requests.hpp"
#include "platform/system_services.hpp"

namespace thumbrover {

// The login-item checkbox was clicked and now shows `checked`. Returns the state the system
// keeps afterwards, for the box to show, so it never claims a state that is not so; a refusal
// is reported on standard error. Ticking an item that awaits the user's approval opens the
// system's list of login items instead of registering it again.
[[nodiscard]] LoginItemState toggle_login_item(LoginItem& login_item, bool checked);

// Opens a file, web address or settings link without waiting. A failure to start the opener is
// reported on standard error; returns whether it started.
bool open_with_system(Desktop& desktop, const std::string& target);

// What the restart reopens: the application bundle when the program runs from one (a folder whose
// name ends in ".app"), otherwise the executable, otherwise an empty path.
[[nodiscard]] std::string restart_target(const Desktop& desktop);

// Starts a shell that waits a moment and starts the program again, then asks the engine to quit.
// If the shell cannot be started, or there is nothing to reopen (the program's own path is
// unknown, so quitting would end it for good), the program keeps running (no quit is sent), after
// a line on standard error. Returns whether the restart is under way.
bool restart_program(Desktop& desktop, EngineRequests& engine);

}  // namespace thumbrover
