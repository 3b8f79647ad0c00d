#include "linux/cursor.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include "core/common/diag.hpp"

namespace thumbrover {

Result<std::unique_ptr<X11Cursor>> X11Cursor::create(std::shared_ptr<X11Display> display) {
    if (!display) {
        auto opened = X11Display::open();
        if (!opened) return Error{opened.error()};
        display = std::make_shared<X11Display>(std::move(opened).value());
    }
    int event_base = 0;
    int error_base = 0;
    int major = 4;
    int minor = 0;
    // The version must be agreed before the server accepts any other XFixes request.
    if (!XFixesQueryExtension(display->get(), &event_base, &error_base) ||
        !XFixesQueryVersion(display->get(), &major, &minor) || major < 4) {
        return Error{"the X display cannot hide the cursor (no XFixes 4)"};
    }
    return std::unique_ptr<X11Cursor>(new X11Cursor(std::move(display)));
}

void X11Cursor::hide() {
    // A connection whose server has gone takes no more requests (see X11CircleWindow).
    if (hides_++ > 0 || x_display_lost()) return;
    XFixesHideCursor(display_->get(), DefaultRootWindow(display_->get()));
    if (auto done = display_->sync_errors(); !done)
        diag("could not hide the cursor: " + done.error());
}

void X11Cursor::show() {
    // A show without a hide still goes to the server, which reports it as an error.
    if ((hides_ > 0 && --hides_ > 0) || x_display_lost()) return;
    XFixesShowCursor(display_->get(), DefaultRootWindow(display_->get()));
    if (auto done = display_->sync_errors(); !done)
        diag("could not show the cursor: " + done.error());
}

}  // namespace thumbrover
