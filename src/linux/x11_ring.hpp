#pragma once

#include <memory>

#include "core/common/result.hpp"
#include "linux/x11_display.hpp"
#include "platform/overlay.hpp"

namespace thumbrover {

// The steering ring as a plain X window on a connection of its own: override-redirect, shaped to
// the ring and dot, with an empty input shape so every click goes to the window beneath, and the
// picture as its background so the server paints it without asking us. It selects no events, so
// moving it (from here or, by its id, from the engine's connection) sends nothing back to
// anybody: no geometry queries, no notifications to wake a toolkit's threads.
class X11CircleWindow final : public CircleWindow {
  public:
    X11CircleWindow(std::shared_ptr<X11Display> display, const CircleShape& shape);
    ~X11CircleWindow() override;
    X11CircleWindow(const X11CircleWindow&) = delete;
    X11CircleWindow& operator=(const X11CircleWindow&) = delete;

    void move_to(ScreenPoint origin) override;
    void show() override;
    void hide() override;
    void keep_on_top() override;
    [[nodiscard]] bool is_visible() const override { return shown_; }
    [[nodiscard]] std::uint64_t native_id() const override { return window_; }

  private:
    std::shared_ptr<X11Display> display_;
    unsigned long window_ = 0;
    unsigned long picture_ = 0;
    bool shown_ = false;
};

// Builds those windows and tells where the pointer is, on the main thread's own connection.
class X11Overlay final : public Overlay {
  public:
    // Fails when the display cannot be opened or has no true-colour visual.
    [[nodiscard]] static Result<std::unique_ptr<X11Overlay>> create();

    [[nodiscard]] std::unique_ptr<CircleWindow> build_circle(const CircleShape& shape) override;
    [[nodiscard]] ScreenPoint pointer_location() override;
    // The main thread's connection, for the other adapters that live there.
    [[nodiscard]] const std::shared_ptr<X11Display>& display() const { return display_; }

  private:
    explicit X11Overlay(std::shared_ptr<X11Display> display) : display_(std::move(display)) {}

    std::shared_ptr<X11Display> display_;
};

}  // namespace thumbrover
