#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/common/result.hpp"

// Xlib's Display stays opaque here so that users of the adapters need not include Xlib.
struct _XDisplay;

namespace thumbrover {

// Makes Xlib safe to use from several threads, and a broken connection a failed write rather
// than SIGPIPE. Xlib requires this before any other Xlib call of the process, so the shell calls
// it before the toolkit opens its own connection; every later call does nothing.
void init_xlib_threads();

// What the program does once it learns that the X display has gone away (the session ending, the
// server stopping): the shell sets it to end the program in order. Called at most once, on
// whichever thread noticed first, so it must only set flags.
void set_display_lost_action(void (*action)());
// Whether any connection of ours has found the display gone.
[[nodiscard]] bool x_display_lost();
// Reports the display gone, as a connection of ours does when it finds it so: the line
// "thumbrover: lost the connection to the X display" and the action, once per process however
// many connections (the toolkit's included) find it.
void report_display_lost();
// The toolkit's own Xlib connection cannot go on once its server has gone, as ours do: the
// toolkit keeps making requests, which no longer fit Xlib's buffer and crash it. When Xlib finds
// that connection broken, the loss is reported and `end` runs (it should not return) instead of
// Xlib's exit() from whichever thread noticed; after it, the process ends with status 1.
void end_when_toolkit_display_lost(_XDisplay* display, void (*end)());

// One connection to the X server, closed on destruction. Each adapter owns its own connection and
// uses it from one thread only, so no Xlib locking is shared between the engine, the main thread
// and the watcher. Opening and closing are the exception: they take a process-wide lock, since
// the extension libraries keep lists of connections that a close on one thread and a call on
// another would corrupt.
class X11Display {
  public:
    // Opens the display named by DISPLAY. Once the display has gone away, calls on the connection
    // fail quietly instead of ending the process, whatever thread makes them. Fails with "cannot
    // open the X display" (followed by its name when one is set).
    [[nodiscard]] static Result<X11Display> open();

    X11Display(X11Display&&) noexcept = default;
    X11Display& operator=(X11Display&&) noexcept = default;
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;
    ~X11Display() = default;

    [[nodiscard]] _XDisplay* get() const noexcept { return display_.get(); }

    // Waits until the server has handled every request sent so far and returns the first protocol
    // error any of them caused on this thread, as "X error <code> (request <major>.<minor>)".
    // Xlib's own handler would end the process on such an error; ours only records it.
    [[nodiscard]] Result<void> sync_errors() const;

    // Where the pointer is on the default screen's root window: one round trip, answered after
    // every request sent before it. None when the server does not answer (a lost display) or the
    // pointer is on another screen.
    struct Point {
        int x = 0;
        int y = 0;
    };
    [[nodiscard]] std::optional<Point> pointer() const;

  private:
    struct Closer {
        void operator()(_XDisplay* display) const noexcept;
    };
    explicit X11Display(_XDisplay* display) noexcept : display_(display) {}

    std::unique_ptr<_XDisplay, Closer> display_;
};

}  // namespace thumbrover
