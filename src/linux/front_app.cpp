#include "linux/front_app.hpp"

// Before Xlib, whose None and Success macros would clash with the names in them.
#include "core/common/diag.hpp"
#include "core/common/text.hpp"
#include "core/settings/config.hpp"
#include "linux/output_choice.hpp"
#include "linux/wayland_front_app.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <utility>

namespace thumbrover {
namespace {

struct XFreer {
    void operator()(void* data) const noexcept {
        if (data != nullptr) XFree(data);
    }
};

// The windows a root-window property lists (`_NET_ACTIVE_WINDOW`, `_NET_CLIENT_LIST`).
std::vector<Window> window_list(Display* d, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* raw = nullptr;
    const int status = XGetWindowProperty(d, DefaultRootWindow(d), property, 0, 4096, False,
                                          XA_WINDOW, &type, &format, &count, &after, &raw);
    const std::unique_ptr<unsigned char, XFreer> owned(raw);
    std::vector<Window> windows;
    if (status != Success || type != XA_WINDOW || format != 32 || raw == nullptr) return windows;
    // Xlib hands 32-bit properties over as an array of long, whatever long's size.
    const auto* values = reinterpret_cast<const unsigned long*>(raw);
    for (unsigned long i = 0; i < count; ++i)
        if (values[i] != None) windows.push_back(values[i]);
    return windows;
}

std::string class_of(Display* d, Window window) {
    XClassHint hint{nullptr, nullptr};
    if (XGetClassHint(d, window, &hint) == 0) return {};
    const std::unique_ptr<char, XFreer> name(hint.res_name);
    const std::unique_ptr<char, XFreer> klass(hint.res_class);
    return klass ? app_id_of_class(klass.get()) : std::string();
}

std::string front_app_id(const X11Display& display, Atom active) {
    Display* d = display.get();
    const std::vector<Window> windows = window_list(d, active);
    std::string id = windows.empty() ? std::string() : class_of(d, windows.front());
    // A window that went away in the meantime answers with an error, read here so that it is not
    // taken for a later request's.
    static_cast<void>(display.sync_errors());
    return id;
}

void follow(const X11Display& display, int stop_fd,
            const std::function<void(std::string)>& changed) {
    pthread_setname_np(pthread_self(), "front-app");
    Display* d = display.get();
    const Atom active = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
    XSelectInput(d, DefaultRootWindow(d), PropertyChangeMask);
    std::string last = front_app_id(display, active);
    changed(last);
    for (;;) {
        while (XPending(d) == 0) {
            std::array<pollfd, 2> fds{{{ConnectionNumber(d), POLLIN, 0}, {stop_fd, POLLIN, 0}}};
            const int ready = ::poll(fds.data(), fds.size(), -1);
            if (ready < 0 && errno != EINTR) return;
            if (fds[1].revents != 0) return;
            if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) return;
        }
        XEvent event;
        XNextEvent(d, &event);
        if (event.type != PropertyNotify || event.xproperty.atom != active) continue;
        std::string id = front_app_id(display, active);
        if (id == last) continue;
        last = id;
        changed(std::move(id));
    }
}

}  // namespace

std::string app_id_of_class(std::string_view wm_class) {
    // A class is Latin-1 by the letter of the rules and UTF-8 in practice; either way it must
    // become valid text for the settings file.
    std::string id = to_valid_utf8(wm_class);
    if (!check_app_id(id).ok()) return {};
    return id;
}

std::vector<RunningApp> distinct_apps(const std::vector<std::string>& classes) {
    std::vector<RunningApp> apps;
    for (const std::string& klass : classes) {
        if (klass.empty()) continue;
        const bool seen = std::any_of(apps.begin(), apps.end(), [&](const RunningApp& app) {
            return same_app_id(app.id, klass);
        });
        if (!seen) apps.push_back({klass, klass});
    }
    std::stable_sort(apps.begin(), apps.end(), [](const RunningApp& a, const RunningApp& b) {
        return std::lexicographical_compare(
            a.name.begin(), a.name.end(), b.name.begin(), b.name.end(), [](char x, char y) {
                const auto lower = [](char c) {
                    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
                };
                return lower(x) < lower(y);
            });
    });
    return apps;
}

X11FrontAppWatcher::~X11FrontAppWatcher() {
    if (!thread_.joinable()) return;
    const std::uint64_t one = 1;
    static_cast<void>(::write(stop_.get(), &one, sizeof one));
    thread_.join();
}

void X11FrontAppWatcher::watch(std::function<void(std::string)> changed) {
    if (thread_.joinable()) return;
    auto display = X11Display::open();
    if (!display) {
        diag("the bindings of each application are not used: " + display.error());
        return;
    }
    stop_ = UniqueFd(::eventfd(0, EFD_CLOEXEC));
    if (!stop_.valid()) {
        diag("the bindings of each application are not used: no event descriptor");
        return;
    }
    display_ = std::move(display).value();
    try {
        thread_ = std::thread(
            [this, changed = std::move(changed)] { follow(*display_, stop_.get(), changed); });
    } catch (const std::system_error&) {
        diag("failed to spawn thread");
        std::abort();
    }
}

std::vector<RunningApp> X11FrontAppWatcher::running_apps() {
    auto display = X11Display::open();
    if (!display) return {};
    Display* d = display->get();
    std::vector<Window> windows = window_list(d, XInternAtom(d, "_NET_CLIENT_LIST", False));
    if (windows.empty()) {
        // Without a window manager's list, the top-level windows that show.
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count) != 0) {
            const std::unique_ptr<Window, XFreer> owned(children);
            for (unsigned int i = 0; i < count; ++i) {
                XWindowAttributes attributes{};
                if (XGetWindowAttributes(d, children[i], &attributes) != 0 &&
                    attributes.map_state == IsViewable && !attributes.override_redirect)
                    windows.push_back(children[i]);
            }
        }
    }
    std::vector<std::string> classes;
    classes.reserve(windows.size());
    for (const Window window : windows)
        classes.push_back(class_of(d, window));
    static_cast<void>(display->sync_errors());
    return distinct_apps(classes);
}

std::unique_ptr<FrontAppWatcher> make_front_app_watcher() {
    if (!session_abilities(chosen_output()).front_app) return make_wayland_front_app_watcher();
    return std::make_unique<X11FrontAppWatcher>();
}

}  // namespace thumbrover
