#pragma once

#include <optional>

#include "platform/overlay.hpp"

namespace thumbrover {

// The arrow cursor on the main display, hidden with CGDisplayHideCursor and shown with
// CGDisplayShowCursor. A program that is not in front may hide the cursor only after setting the
// window server's "SetsCursorInBackground" property on its connection; that is done once, before
// the first hide, through private functions looked up at run time: on a system without them the
// cursor simply stays visible while another program is in front. Main thread only.
class DisplayCursor final : public Cursor {
  public:
    void hide() override;
    void show() override;
};

// Turns the window behind a native view (a Qt widget's WId: an NSView pointer) into the ring
// window: borderless, not opaque, clear, shadowless, ignoring the mouse, at window level 1000,
// on every space and beside full-screen windows (collection behaviour 337), and shown while
// another program is active (a tool window's panel otherwise hides on deactivation). Call after
// the window is shown, since the toolkit may reset these when it shows a window. False when the
// view has no window.
bool make_ring_window(void* native_view);

// What the window server is told about the ring window, read back from AppKit (for the macOS
// tests). None when the view has no window.
struct RingWindowProperties {
    bool hides_on_deactivate = true;
    bool ignores_mouse = false;
    bool opaque = true;
    bool visible = false;
    long level = 0;
    unsigned long collection_behavior = 0;
};
[[nodiscard]] std::optional<RingWindowProperties> ring_window_properties(void* native_view);

}  // namespace thumbrover
