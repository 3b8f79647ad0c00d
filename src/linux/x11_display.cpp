#include "linux/x11_display.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

#include "core/common/diag.hpp"

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

// The input extension's client library keeps one list of the connections it has served, made on
// a connection's first call into it and freed when the last of them closes; neither step is
// guarded against another thread doing the same with another connection. Two connections closing
// together free the list twice, and one closing while another thread's first call adds its
// connection writes into freed memory: a corrupted heap at the end of a start or a session. So
// every connection joins the list as it opens and leaves it as it closes, both under this lock.
// A connection that is open is then always on the list, which cannot be freed under it.
std::mutex g_input_extension_list;

void join_input_extension_list(Display* display) {
    const std::lock_guard lock(g_input_extension_list);
    // Any call of the library's adds the connection; this one only asks the extension's version
    // (NoSuchExtension where the server lacks it).
    XExtensionVersion* version = XGetExtensionVersion(display, INAME);
    if (version != nullptr && version != reinterpret_cast<XExtensionVersion*>(NoSuchExtension))
        XFree(version);
}

std::atomic<void (*)()> g_display_lost_action{nullptr};
std::atomic<bool> g_display_lost{false};
// Whether a connection was ever made: a display that cannot be opened after that has gone away.
std::atomic<bool> g_display_reached{false};

// Xlib's own handler calls exit() from whichever thread noticed the lost connection. At the end of
// a session several threads notice at once, and two exits running the same exit handlers crash
// the program just as it should let go of what it holds. Ours only tells the program, once.
int on_lost_connection(Display* /*display*/) {
    report_display_lost();
    return 0;
}

// Xlib ends the process after the handler above returns unless the display has a handler of its
// own for that step; returning from it leaves the connection marked broken, so that every later
// call on it returns at once.
void keep_running(Display* /*display*/, void* /*data*/) {}

void install_error_handler() {
    init_xlib_threads();
    // Installed again at every open: a toolkit that set its own handlers in between would
    // otherwise bring back ones that end the process.
    XSetErrorHandler(record_error);
    XSetIOErrorHandler(on_lost_connection);
}

}  // namespace

void set_display_lost_action(void (*action)()) {
    g_display_lost_action.store(action);
}

bool x_display_lost() {
    return g_display_lost.load();
}

void report_display_lost() {
    if (g_display_lost.exchange(true)) return;
    diag("lost the connection to the X display");
    if (auto* action = g_display_lost_action.load()) action();
}

namespace {

std::atomic<void (*)()> g_toolkit_end{nullptr};

void end_for_toolkit(Display* /*display*/, void* /*data*/) {
    report_display_lost();
    if (auto* end = g_toolkit_end.load()) end();
    std::fflush(nullptr);
    std::_Exit(1);
}

}  // namespace

void end_when_toolkit_display_lost(_XDisplay* display, void (*end)()) {
    if (display == nullptr) return;
    g_toolkit_end.store(end);
    XSetIOErrorExitHandler(display, end_for_toolkit, nullptr);
}

void init_xlib_threads() {
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        // A write to a connection whose server has gone raises SIGPIPE, which would end the
        // process before any handler learns of the lost display. Children get it back
        // (spawning restores every signal's default).
        ::signal(SIGPIPE, SIG_IGN);
    });
}

void X11Display::Closer::operator()(_XDisplay* display) const noexcept {
    const std::lock_guard lock(g_input_extension_list);
    XCloseDisplay(display);
}

Result<X11Display> X11Display::open() {
    install_error_handler();
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        if (g_display_reached.load()) report_display_lost();
        const char* name = std::getenv("DISPLAY");
        std::string message = "cannot open the X display";
        if (name != nullptr && *name != '\0') message.append(" ").append(name);
        return Error{message};
    }
    XSetIOErrorExitHandler(display, keep_running, nullptr);
    g_display_reached = true;
    join_input_extension_list(display);
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

std::optional<X11Display::Point> X11Display::pointer() const {
    Display* d = display_.get();
    Window root = 0;
    Window child = 0;
    Point at;
    int window_x = 0;
    int window_y = 0;
    unsigned mask = 0;
    if (!XQueryPointer(d, DefaultRootWindow(d), &root, &child, &at.x, &at.y, &window_x, &window_y,
                       &mask)) {
        return std::nullopt;
    }
    return at;
}

}  // namespace thumbrover
