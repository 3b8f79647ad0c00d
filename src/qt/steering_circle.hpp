#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

#include "platform/overlay.hpp"

namespace thumbrover {

// The ring drawn as a picture: opaque where a layer paints, fully transparent elsewhere. The
// window shows exactly the pixels whose alpha is at least half, so the picture and the window's
// shape come from one drawing and cannot disagree.
[[nodiscard]] QImage render_circle(const CircleShape& shape);

// The ring window on X11. An override-redirect, input-transparent tool window whose X shape
// covers only the ring and dot pixels: it needs no compositor (nothing is translucent) and clicks
// anywhere in its square reach the window beneath.
class QtCircleWindow final : public CircleWindow {
  public:
    explicit QtCircleWindow(const CircleShape& shape);
    ~QtCircleWindow() override;
    QtCircleWindow(const QtCircleWindow&) = delete;
    QtCircleWindow& operator=(const QtCircleWindow&) = delete;

    void move_to(ScreenPoint origin) override;
    void show() override;
    void hide() override;
    [[nodiscard]] bool is_visible() const override;
    // Override-redirect windows are not stacked by the window manager: a menu or window mapped
    // after the ring lands above it until the ring is raised again.
    void keep_on_top() override;

    // The native window, for tests that look at it through X.
    [[nodiscard]] unsigned long native_id() const;

  private:
    std::unique_ptr<QWidget> widget_;
};

// Builds ring windows and reads the pointer through Qt's own X connection.
class QtOverlay final : public Overlay {
  public:
    [[nodiscard]] std::unique_ptr<CircleWindow> build_circle(const CircleShape& shape) override;
    [[nodiscard]] ScreenPoint pointer_location() override;
};

}  // namespace thumbrover
