#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace thumbrover {

// A point on the screen, in the coordinate space of the platform's window origins.
struct ScreenPoint {
    double x = 0.0;
    double y = 0.0;

    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

enum class Shade { Black, White };

// One circle of the steering ring, drawn centred in the window: a border of `border_width`
// inside radius `radius`, filled with `fill` when there is one.
struct CircleLayer {
    double radius = 0.0;
    double border_width = 0.0;
    Shade border = Shade::Black;
    std::optional<Shade> fill;

    friend bool operator==(const CircleLayer&, const CircleLayer&) = default;
};

// What to draw: a square window of `side` points, transparent except for the layers, which are
// painted in order (first at the bottom).
struct CircleShape {
    double side = 0.0;
    std::array<CircleLayer, 4> layers{};

    friend bool operator==(const CircleShape&, const CircleShape&) = default;
};

// The ring window that replaces the arrow while a stick steers. It floats above every window on
// every workspace, never takes focus, and lets every click through to the window beneath.
// Main thread only. Destroying the object destroys the window.
class CircleWindow {
  public:
    virtual ~CircleWindow() = default;

    // Places the window's origin (the corner the platform positions windows by).
    virtual void move_to(ScreenPoint origin) = 0;
    // Brings it to the front without activating the program or taking focus.
    virtual void show() = 0;
    virtual void hide() = 0;
    [[nodiscard]] virtual bool is_visible() const = 0;
    // Puts it above whatever was stacked over it since it was shown (a menu, a window mapped
    // later), so the user never loses both the arrow and the ring. Called about every 250 ms
    // while it shows, so it must be cheap. Where the window's level keeps it above everything
    // already, there is nothing to do.
    virtual void keep_on_top() {}
    // The window system's id of the window when another thread's connection may move it (the
    // engine's, along with the pointer it moves); 0 when it cannot.
    [[nodiscard]] virtual std::uint64_t native_id() const { return 0; }
};

// Builds the ring window and tells where the pointer is. Main thread only.
class Overlay {
  public:
    virtual ~Overlay() = default;

    // A new, hidden ring window. Failing to build one is a broken platform invariant: the adapter
    // stops the program rather than return nothing.
    [[nodiscard]] virtual std::unique_ptr<CircleWindow> build_circle(const CircleShape& shape) = 0;

    // Where the pointer is now, in the space `CircleWindow::move_to` uses, so that
    // pointer - side/2 centres the ring on the pointer.
    [[nodiscard]] virtual ScreenPoint pointer_location() = 0;

    // False where the session lets no program place a window at the pointer or know where the
    // pointer is (a Wayland compositor): then no ring is built, shown or ticked for, and the
    // cursor is never hidden.
    [[nodiscard]] virtual bool shows_ring() const { return true; }
};

// The system's arrow cursor. Main thread only. Hides nest: after n calls to `hide` the cursor is
// visible again only after n calls to `show`. The caller keeps the calls balanced.
class Cursor {
  public:
    virtual ~Cursor() = default;

    virtual void hide() = 0;
    virtual void show() = 0;
};

}  // namespace thumbrover
