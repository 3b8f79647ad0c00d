#pragma once

#include <memory>

#include "core/common/result.hpp"
#include "linux/x11_display.hpp"
#include "platform/overlay.hpp"

namespace thumbrover {

// The arrow cursor, hidden and shown with XFixes on the root window. The server counts hides per
// connection and forgets them when the connection closes, so the cursor comes back by itself if
// the program ends while it is hidden. Nothing else on the display can show it meanwhile, so a
// hide on top of one already in force is only counted here: only the first hide and the show that
// balances it reach the server (and wait for its answer). Main thread only.
class X11Cursor final : public Cursor {
  public:
    // On `display` when given (a connection the main thread already has: each one costs the
    // program its own copy of the server's visuals), else on a connection of its own. Fails with
    // the display's error or "the X display cannot hide the cursor (no XFixes 4)".
    [[nodiscard]] static Result<std::unique_ptr<X11Cursor>> create(
        std::shared_ptr<X11Display> display = nullptr);

    void hide() override;
    void show() override;

    // Waits for the server to handle the calls made so far; the first X error they caused, if any.
    [[nodiscard]] Result<void> settle() const { return display_->sync_errors(); }

  private:
    explicit X11Cursor(std::shared_ptr<X11Display> display) : display_(std::move(display)) {}

    std::shared_ptr<X11Display> display_;
    // Hides not yet balanced by a show.
    unsigned hides_ = 0;
};

}  // namespace thumbrover
