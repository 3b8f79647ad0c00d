#include "qt/tray_icons.hpp"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "qt/painted_picture.hpp"

namespace thumbrover {
namespace {

constexpr std::array kSizes = {16, 22, 24, 32, 48, 64};

// The controller's silhouette, centred vertically in the square.
QPainterPath body_path() {
    return controller_outline().translated(0, -3.5);
}

// The d-pad and the four face buttons.
QPainterPath controls_path() {
    QPainterPath p;
    p.addRect(QRectF(13, 24.5, 14, 5));
    p.addRect(QRectF(17.5, 20, 5, 14));
    p = p.simplified();
    for (const QPointF& at :
         {QPointF(47, 20.5), QPointF(52.5, 26.5), QPointF(41.5, 26.5), QPointF(47, 32.5)})
        p.addEllipse(at, 3.0, 3.0);
    return p;
}

const QColor kLight(0xEE, 0xEE, 0xEE);
const QColor kEdge(0x20, 0x20, 0x20);

}  // namespace

QImage controller_picture(bool filled, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    const QPainterPath body = body_path();
    const QPainterPath controls = controls_path();
    if (filled) {
        const QPainterPath shape = body.subtracted(controls);
        painter.setPen(QPen(kEdge, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(kLight);
        painter.drawPath(shape);
    } else {
        painter.setBrush(Qt::NoBrush);
        for (const auto& [colour, width] : {std::pair{kEdge, 9.0}, std::pair{kLight, 5.0}}) {
            painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPath(body);
            painter.setPen(QPen(colour, width * 0.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPath(controls);
        }
    }
    painter.end();
    return without_paint_engine(image);
}

QIcon tray_pictures(bool active) {
    const QIcon themed = QIcon::fromTheme(QStringLiteral("input-gaming"));
    QIcon icon;
    if (!themed.isNull()) {
        for (const int size : kSizes)
            icon.addPixmap(themed.pixmap(size, size, active ? QIcon::Normal : QIcon::Disabled));
    }
    // Also where the theme names a picture it cannot load: the icon is never left blank.
    if (icon.isNull()) {
        for (const int size : kSizes)
            icon.addPixmap(QPixmap::fromImage(controller_picture(active, size)));
    }
    return icon;
}

namespace {

// Forwards to the icon `make` returns, made on the first call that needs its pictures.
class DeferredIconEngine final : public QIconEngine {
  public:
    struct Shared {
        std::function<QIcon()> make;
        std::optional<QIcon> made;
    };

    explicit DeferredIconEngine(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        // A ratio of one asks the made icon's own engine for exactly this many pixels, as the
        // caller's QIcon has already scaled the size for the screen.
        return icon().pixmap(size, 1.0, mode, state);
    }
    // What a pixmap icon answers: the size of the picture it would hand out for `size`.
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return pixmap(size, mode, state).size();
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return false; }
    QIconEngine* clone() const override { return new DeferredIconEngine(shared_); }

  private:
    const QIcon& icon() {
        if (!shared_->made) shared_->made = shared_->make();
        return *shared_->made;
    }

    std::shared_ptr<Shared> shared_;
};

}  // namespace

QIcon deferred_icon(std::function<QIcon()> make) {
    auto shared = std::make_shared<DeferredIconEngine::Shared>();
    shared->make = std::move(make);
    return QIcon(new DeferredIconEngine(std::move(shared)));
}

QIcon tray_icon(bool active) {
    return deferred_icon([active] { return tray_pictures(active); });
}

QPainterPath controller_outline() {
    QPainterPath p(QPointF(18, 16));
    p.lineTo(46, 16);
    p.cubicTo(54, 16, 58, 22, 60, 30);
    p.lineTo(63, 44);
    p.cubicTo(64, 51, 60, 55, 55, 55);
    p.cubicTo(51, 55, 49, 53, 46, 49);
    p.lineTo(43, 45);
    p.lineTo(21, 45);
    p.lineTo(18, 49);
    p.cubicTo(15, 53, 13, 55, 9, 55);
    p.cubicTo(4, 55, 0, 51, 1, 44);
    p.lineTo(4, 30);
    p.cubicTo(6, 22, 10, 16, 18, 16);
    p.closeSubpath();
    return p;
}

}  // namespace thumbrover
