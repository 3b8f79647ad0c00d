#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "linux/x11_display.hpp"

namespace thumbrover::testing {

// A window covering the whole screen of the test's X display, with the keyboard focus, that
// records what the server delivers to it: the stand-in for the application a user points at.
class X11Probe {
  public:
    X11Probe() : display_(open_display()) {
        Display* d = display_.get();
        const int screen = DefaultScreen(d);
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.event_mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                                KeyPressMask | KeyReleaseMask | StructureNotifyMask;
        window_ = XCreateWindow(
            d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(DisplayWidth(d, screen)),
            static_cast<unsigned>(DisplayHeight(d, screen)), 0, CopyFromParent, InputOutput,
            CopyFromParent, CWOverrideRedirect | CWEventMask, &attributes);
        XMapRaised(d, window_);
        wait_for([](const XEvent& e) { return e.type == MapNotify; });
        XSetInputFocus(d, window_, RevertToPointerRoot, CurrentTime);
        XSync(d, False);
        clear();
    }
    ~X11Probe() {
        XDestroyWindow(display_.get(), window_);
        XSync(display_.get(), False);
    }
    X11Probe(const X11Probe&) = delete;
    X11Probe& operator=(const X11Probe&) = delete;

    [[nodiscard]] Display* display() const { return display_.get(); }
    [[nodiscard]] Window window() const { return window_; }

    // Every event received so far, in order.
    [[nodiscard]] const std::vector<XEvent>& events() const { return events_; }
    void clear() {
        events_.clear();
        cursor_ = 0;
    }

    // Reads events until one after the last match satisfies the predicate (returned) or the time
    // is up (none), so successive waits check an order. Events read on the way stay in events().
    std::optional<XEvent> wait_for(const std::function<bool(const XEvent&)>& wanted,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            for (; cursor_ < events_.size(); ++cursor_) {
                if (wanted(events_[cursor_])) return events_[cursor_++];
            }
            if (!read_one(deadline)) return std::nullopt;
        }
    }

    // Reads whatever arrives within the given time.
    void settle(std::chrono::milliseconds period = std::chrono::milliseconds(100)) {
        const auto deadline = std::chrono::steady_clock::now() + period;
        while (read_one(deadline)) {
        }
    }

    // The keysym of a key event as the keymap reads it without modifiers.
    [[nodiscard]] static KeySym keysym_of(XEvent event) { return XLookupKeysym(&event.xkey, 0); }

    [[nodiscard]] std::pair<int, int> pointer() const {
        Window root = 0;
        Window child = 0;
        int x = 0;
        int y = 0;
        int wx = 0;
        int wy = 0;
        unsigned mask = 0;
        XQueryPointer(display_.get(), DefaultRootWindow(display_.get()), &root, &child, &x, &y, &wx,
                      &wy, &mask);
        return {x, y};
    }

    // The pointer once it reaches the expected place, or where it is when the time is up: events
    // sent on another connection reach the server a moment after the sender returns.
    [[nodiscard]] std::pair<int, int> pointer_at(
        std::pair<int, int> expected,
        std::chrono::milliseconds timeout = std::chrono::seconds(2)) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        auto now = pointer();
        while (now != expected && std::chrono::steady_clock::now() < deadline) {
            ::poll(nullptr, 0, 1);
            now = pointer();
        }
        return now;
    }

    void warp(int x, int y) const {
        XWarpPointer(display_.get(), None, DefaultRootWindow(display_.get()), 0, 0, 0, 0, x, y);
        XSync(display_.get(), False);
    }

  private:
    static X11Display open_display() {
        auto display = X11Display::open();
        if (!display) std::abort();
        return std::move(display).value();
    }

    bool read_one(std::chrono::steady_clock::time_point deadline) {
        Display* d = display_.get();
        while (XPending(d) == 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd fd{ConnectionNumber(d), POLLIN, 0};
            ::poll(&fd, 1, static_cast<int>(left.count()));
        }
        XEvent event;
        XNextEvent(d, &event);
        if (event.type == MappingNotify) XRefreshKeyboardMapping(&event.xmapping);
        events_.push_back(event);
        return true;
    }

    X11Display display_;
    Window window_ = 0;
    std::vector<XEvent> events_;
    std::size_t cursor_ = 0;
};

}  // namespace thumbrover::testing
