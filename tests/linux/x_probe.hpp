#pragma once

// A plain X window that records what reaches it, and a few questions to the X server, for tests
// and benchmarks that check what really happened on the display. Header-only; each probe has its
// own connection.

#include <X11/X.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace thumbrover::testing {

struct XDisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using XDisplayPtr = std::unique_ptr<Display, XDisplayCloser>;

inline XDisplayPtr open_x_display() {
    XDisplayPtr display(XOpenDisplay(nullptr));
    if (!display) throw std::runtime_error("cannot open the X display");
    return display;
}

// Polls `done` until it holds or the deadline passes; returns its last answer.
inline bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds deadline,
                       const std::function<void()>& between = {}) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (true) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        if (between) between();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

struct ProbeEvent {
    int type = 0;  // ButtonPress, ButtonRelease, MotionNotify, KeyPress, KeyRelease
    unsigned int button = 0;
    unsigned int state = 0;  // modifier and button mask at the time of the event
    int x_root = 0;
    int y_root = 0;
    unsigned int keycode = 0;
    KeySym keysym = NoSymbol;  // as the keymap read when the event arrived, without modifiers
    Time time = 0;             // the server's timestamp, in milliseconds
    std::chrono::steady_clock::time_point seen;
};

// What wait_for and wait_for_next look for.
inline std::function<bool(const ProbeEvent&)> button_event(int type, unsigned int button) {
    return [type, button](const ProbeEvent& e) { return e.type == type && e.button == button; };
}
inline std::function<bool(const ProbeEvent&)> key_press(KeySym keysym) {
    return [keysym](const ProbeEvent& e) { return e.type == KeyPress && e.keysym == keysym; };
}
inline std::function<bool(const ProbeEvent&)> key_release(KeySym keysym) {
    return [keysym](const ProbeEvent& e) { return e.type == KeyRelease && e.keysym == keysym; };
}

struct PointerPosition {
    int x = 0;
    int y = 0;
    unsigned int mask = 0;
};

// Where another client sees the pointer on the root window, with the buttons and modifiers held.
inline PointerPosition query_pointer(Display* d) {
    Window root_return = 0;
    Window child = 0;
    int wx = 0;
    int wy = 0;
    PointerPosition p;
    XQueryPointer(d, DefaultRootWindow(d), &root_return, &child, &p.x, &p.y, &wx, &wy, &p.mask);
    return p;
}

// What the X server shows held down, as any application would see it: the pointer's buttons and
// modifiers, and every key down on any keyboard. Empty when nothing is, otherwise for example
// "button 1, button 3, key 37".
inline std::string held_down(Display* d) {
    std::string held;
    const auto add = [&held](const std::string& what) {
        if (!held.empty()) held += ", ";
        held += what;
    };
    const unsigned int mask = query_pointer(d).mask;
    for (unsigned int button = 1; button <= 5; ++button)
        if ((mask & (Button1Mask << (button - 1))) != 0) add("button " + std::to_string(button));
    char keys[32] = {};
    XQueryKeymap(d, keys);
    for (unsigned int code = 0; code < 256; ++code)
        if ((static_cast<unsigned char>(keys[code / 8]) & (1u << (code % 8))) != 0)
            add("key " + std::to_string(code));
    // Modifiers show up as keys too; a modifier mask without any key down means a latched or
    // locked state, which is not ours to judge.
    return held;
}

class XProbe {
  public:
    // A window with no background of its own covering the whole screen, on top and focused: the
    // stand-in for the application a user points at.
    XProbe() : display_(open_x_display()) {
        Display* d = display_.get();
        const int screen = DefaultScreen(d);
        create(0, 0, static_cast<unsigned int>(DisplayWidth(d, screen)),
               static_cast<unsigned int>(DisplayHeight(d, screen)), std::nullopt);
    }
    // A window of one colour (0xRRGGBB) covering the rectangle, on top and focused.
    XProbe(int x, int y, unsigned int width, unsigned int height, unsigned long colour)
        : display_(open_x_display()) {
        create(x, y, width, height, colour);
    }
    ~XProbe() {
        XDestroyWindow(display_.get(), window_);
        XSync(display_.get(), False);
    }
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;

    [[nodiscard]] Display* display() const { return display_.get(); }
    [[nodiscard]] Window window() const { return window_; }

    void raise() {
        XRaiseWindow(display_.get(), window_);
        XSetInputFocus(display_.get(), window_, RevertToPointerRoot, CurrentTime);
        XSync(display_.get(), False);
    }

    // Reads whatever has arrived. Key symbols are looked up as each event is read, after any
    // keyboard mapping change that came before it, so remapped spare keycodes read correctly.
    void pump() {
        Display* d = display_.get();
        while (XPending(d) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            ProbeEvent seen;
            seen.type = event.type;
            seen.seen = std::chrono::steady_clock::now();
            // Button, motion and key events name these fields alike.
            const auto common = [&seen](const auto& input) {
                seen.state = input.state;
                seen.time = input.time;
                seen.x_root = input.x_root;
                seen.y_root = input.y_root;
            };
            switch (event.type) {
                case MappingNotify:
                    XRefreshKeyboardMapping(&event.xmapping);
                    continue;
                case ButtonPress:
                case ButtonRelease:
                    common(event.xbutton);
                    seen.button = event.xbutton.button;
                    break;
                case MotionNotify:
                    common(event.xmotion);
                    break;
                case KeyPress:
                case KeyRelease:
                    common(event.xkey);
                    seen.keycode = event.xkey.keycode;
                    seen.keysym = XLookupKeysym(&event.xkey, 0);
                    break;
                default:
                    continue;
            }
            events_.push_back(seen);
        }
    }

    [[nodiscard]] const std::vector<ProbeEvent>& events() {
        pump();
        return events_;
    }
    void clear() {
        pump();
        events_.clear();
        next_ = 0;
    }

    // Reads whatever arrives within the period.
    void settle(std::chrono::milliseconds period = std::chrono::milliseconds(100)) {
        wait_until([] { return false; }, period, [this] { pump(); });
        pump();
    }

    // Waits for an event matching `match`, whenever it came; returns it.
    std::optional<ProbeEvent> wait_for(const std::function<bool(const ProbeEvent&)>& match,
                                       std::chrono::milliseconds deadline) {
        std::optional<ProbeEvent> found;
        wait_until(
            [&] {
                for (const ProbeEvent& event : events())
                    if (match(event)) {
                        found = event;
                        return true;
                    }
                return false;
            },
            deadline);
        return found;
    }

    // Waits for an event matching `match` after the one the previous call returned (or since the
    // last clear()), so that successive calls check an order; returns it.
    std::optional<ProbeEvent> wait_for_next(
        const std::function<bool(const ProbeEvent&)>& match,
        std::chrono::milliseconds deadline = std::chrono::seconds(3)) {
        std::optional<ProbeEvent> found;
        wait_until(
            [&] {
                const std::vector<ProbeEvent>& seen = events();
                for (; next_ < seen.size(); ++next_)
                    if (match(seen[next_])) {
                        found = seen[next_++];
                        return true;
                    }
                return false;
            },
            deadline);
        return found;
    }

    [[nodiscard]] PointerPosition pointer() const { return query_pointer(display_.get()); }

    // The pointer once it reaches the expected place, or where it is when the time is up: events
    // sent on another connection reach the server a moment after the sender returns.
    [[nodiscard]] std::pair<int, int> pointer_at(
        std::pair<int, int> expected,
        std::chrono::milliseconds deadline = std::chrono::seconds(2)) const {
        std::pair<int, int> now;
        wait_until(
            [&] {
                const PointerPosition p = pointer();
                now = {p.x, p.y};
                return now == expected;
            },
            deadline);
        return now;
    }

    void warp_pointer(int x, int y) {
        Display* d = display_.get();
        XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, x, y);
        XSync(d, False);
    }

    // The colour (0xRRGGBB) the screen shows at a point.
    [[nodiscard]] unsigned long pixel(int x, int y) const {
        Display* d = display_.get();
        XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr) return 0xFFFFFFFFUL;
        const unsigned long value = XGetPixel(image, 0, 0) & 0xFFFFFFUL;
        XDestroyImage(image);
        return value;
    }

    [[nodiscard]] bool viewable(Window window) const {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display_.get(), window, &attributes) == 0) return false;
        return attributes.map_state == IsViewable;
    }

    // The window's rectangle on the root, when it exists.
    [[nodiscard]] std::optional<XRectangle> geometry(Window window) const {
        Display* d = display_.get();
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(d, window, &attributes) == 0) return std::nullopt;
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child);
        return XRectangle{static_cast<short>(x), static_cast<short>(y),
                          static_cast<unsigned short>(attributes.width),
                          static_cast<unsigned short>(attributes.height)};
    }

    // Every top-level window currently mapped, topmost last.
    [[nodiscard]] std::vector<Window> mapped_top_levels() const {
        Display* d = display_.get();
        Window root_return = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        std::vector<Window> out;
        if (XQueryTree(d, DefaultRootWindow(d), &root_return, &parent, &children, &count) == 0)
            return out;
        for (unsigned int i = 0; i < count; ++i)
            if (viewable(children[i])) out.push_back(children[i]);
        if (children != nullptr) XFree(children);
        return out;
    }

  private:
    void create(int x, int y, unsigned int width, unsigned int height,
                std::optional<unsigned long> colour) {
        Display* d = display_.get();
        XSetWindowAttributes attributes{};
        attributes.background_pixel = colour.value_or(0);
        attributes.override_redirect = True;
        attributes.event_mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                                KeyPressMask | KeyReleaseMask | StructureNotifyMask;
        const unsigned long mask = (colour ? CWBackPixel : 0UL) | CWOverrideRedirect | CWEventMask;
        window_ = XCreateWindow(d, DefaultRootWindow(d), x, y, width, height, 0, CopyFromParent,
                                InputOutput, CopyFromParent, mask, &attributes);
        XMapRaised(d, window_);
        XSync(d, False);
        wait_until([&] { return viewable(window_); }, std::chrono::seconds(5));
        XSetInputFocus(d, window_, RevertToPointerRoot, CurrentTime);
        XSync(d, False);
    }

    XDisplayPtr display_;
    Window window_ = 0;
    std::vector<ProbeEvent> events_;
    std::size_t next_ = 0;  // where wait_for_next looks from
};

}  // namespace thumbrover::testing
