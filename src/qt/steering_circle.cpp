#include "qt/steering_circle.hpp"

#include <QBitmap>
#include <QCursor>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/common/diag.hpp"
#include "core/common/numeric.hpp"
#include "qt/painted_picture.hpp"

namespace thumbrover {
namespace {

QColor colour_of(Shade shade) {
    return shade == Shade::White ? Qt::white : Qt::black;
}

int pixel_side(const CircleShape& shape) {
    return std::max(1, saturate_cast<int>(std::ceil(shape.side)));
}

class CircleWidget final : public QWidget {
  public:
    explicit CircleWidget(const CircleShape& shape)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput |
                               Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
          picture_(render_circle(shape)) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        // A tool window on macOS hides whenever its program is not the active one, and a
        // menu-bar program is never active while someone steers. Elsewhere this does nothing.
        setAttribute(Qt::WA_MacAlwaysShowToolWindow);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_X11DoNotAcceptFocus);
        // Opaque painting: the shape, not an alpha channel, makes the rest see-through, which a
        // desktop without a compositor shows correctly.
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setFixedSize(picture_.size());
        setMask(
            QBitmap::fromImage(picture_.createAlphaMask(Qt::ThresholdAlphaDither | Qt::MonoOnly)));
    }

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        // Edge pixels of the picture are partly transparent; the outermost layers are black, so
        // painting them over black keeps the outline crisp inside the shape.
        painter.fillRect(rect(), Qt::black);
        painter.drawImage(0, 0, picture_);
    }

  private:
    QImage picture_;
};

}  // namespace

QImage render_circle(const CircleShape& shape) {
    const int side = pixel_side(shape);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QPointF centre(shape.side * 0.5, shape.side * 0.5);
    for (const CircleLayer& layer : shape.layers) {
        if (layer.radius <= 0.0) continue;
        QPainterPath outer;
        outer.addEllipse(centre, layer.radius, layer.radius);
        if (layer.fill) painter.fillPath(outer, colour_of(*layer.fill));
        if (layer.border_width > 0.0) {
            // A border lies inside the layer's edge, as a layer border does on macOS.
            QPainterPath ring = outer;
            const double inner = layer.radius - layer.border_width;
            if (inner > 0.0) {
                QPainterPath hole;
                hole.addEllipse(centre, inner, inner);
                ring = outer.subtracted(hole);
            }
            painter.fillPath(ring, colour_of(layer.border));
        }
    }
    painter.end();
    return without_paint_engine(image);
}

QtCircleWindow::QtCircleWindow(const CircleShape& shape)
    : widget_(std::make_unique<CircleWidget>(shape)) {}

QtCircleWindow::~QtCircleWindow() = default;

void QtCircleWindow::move_to(ScreenPoint origin) {
    // X positions windows with 16-bit coordinates; a position near the int limits would also
    // overflow Qt's own arithmetic on the window's rectangle.
    const auto coordinate = [](double value) {
        return std::clamp(saturate_cast<int>(std::round(value)), -32768, 32767);
    };
    widget_->move(coordinate(origin.x), coordinate(origin.y));
}

void QtCircleWindow::show() {
    widget_->show();
    // Override-redirect windows are not stacked by the window manager; raise it ourselves.
    widget_->raise();
}

void QtCircleWindow::keep_on_top() {
    widget_->raise();
}

void QtCircleWindow::hide() {
    widget_->hide();
}

bool QtCircleWindow::is_visible() const {
    return widget_->isVisible();
}

std::uint64_t QtCircleWindow::native_id() const {
    return static_cast<std::uint64_t>(widget_->winId());
}

std::unique_ptr<CircleWindow> QtOverlay::build_circle(const CircleShape& shape) {
    auto window = std::make_unique<QtCircleWindow>(shape);
    // Creating the native window now keeps the first show cheap and makes a broken display
    // fail here, where it is a broken invariant, rather than on some later tick.
    if (window->native_id() == 0) {
        diag("could not create the steering circle window");
        std::abort();
    }
    return window;
}

ScreenPoint QtOverlay::pointer_location() {
    const QPoint p = QCursor::pos();
    return {static_cast<double>(p.x()), static_cast<double>(p.y())};
}

}  // namespace thumbrover
