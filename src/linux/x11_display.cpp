#include "linux/x11_display.hpp"

#include <X11/Xlib.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

namespace thumbrover {
namespace {

struct RecordedError {
    int code = 0;
    int major = 0;
    int minor = 0;
};

// Xlib calls the error handler on the thread that read the reply, which is the thread that owns
// the connection, so a thread-local slot keeps each adapter's errors to itself.
thread_local std::optional<RecordedError> t_error;

int record_error(Display* /*display*/, XErrorEvent* event) {
    if (!t_error)
        t_error = RecordedError{event->error_code, event->request_code, event->minor_code};
    return 0;
}

void install_error_handler() {
    init_xlib_threads();
    // Installed again at every open: a toolkit that set its own handler in between would otherwise
    // bring back the default one, which ends the process on the first error.
    XSetErrorHandler(record_error);
}

}  // namespace

void init_xlib_threads() {
    static std::once_flag once;
    std::call_once(once, [] { XInitThreads(); });
}

void X11Display::Closer::operator()(_XDisplay* display) const noexcept {
    XCloseDisplay(display);
}

Result<X11Display> X11Display::open() {
    install_error_handler();
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = std::getenv("DISPLAY");
        std::string message = "cannot open the X display";
        if (name != nullptr && *name != '\0') message.append(" ").append(name);
        return Error{message};
    }
    return X11Display(display);
}

Result<void> X11Display::sync_errors() const {
    XSync(display_.get(), False);
    if (!t_error) return {};
    const RecordedError e = *t_error;
    t_error.reset();
    return Error{"X error " + std::to_string(e.code) + " (request " + std::to_string(e.major) +
                 "." + std::to_string(e.minor) + ")"};
}

}  // namespace thumbrover
