#pragma once

#include "core/common/result.hpp"
#include "core/output/command.hpp"

namespace thumbrover {

// Turns the engine's input commands into synthetic input events.
//
// Contract:
// - Called only from the engine thread, one command at a time, in the engine's order; no locking
//   is needed inside.
// - Handles the kinds Move to Launcher (0 to 10). The executor never passes the other kinds.
// - Keeps whatever it needs to make held keys, held mouse buttons and the switcher's modifier
//   behave like real ones (modifier flags on later keys, drags while a button is held, click
//   counts for double clicks). It never times anything out: the engine pairs every press with a
//   release.
// - Returns an error only when an event could not be made, with the text "could not create an
//   input event"; state changes made before the failure stay. A failure never poisons the next
//   command.
// - Every event it produces can be recognised as the program's own by the real-mouse watcher.
// - Destroying it posts nothing.
class EventOutput {
  public:
    virtual ~EventOutput() = default;
    [[nodiscard]] virtual Result<void> perform(const OutputCommand& command) = 0;
};

// The two commands whose meaning depends on the desktop: what "Mission Control / Overview" opens
// and what "On-screen keyboard" shows (on macOS the latter is a notification that macOS does not
// allow it).
//
// Contract:
// - Called only from the engine thread; returns at once and never waits for a program it starts.
// - An error carries the whole diagnostic text without the program prefix (for example "could not
//   open Mission Control: No such file or directory"); the executor prints it and goes on.
class DesktopActions {
  public:
    virtual ~DesktopActions() = default;
    virtual Result<void> show_overview() = 0;
    virtual Result<void> show_on_screen_keyboard() = 0;
};

}  // namespace thumbrover
