#include "qt/window_widgets.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QFont>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

#include "core/common/numeric.hpp"
#include "qt/tray_icons.hpp"

namespace thumbrover {
namespace {

QColor tint_colour(Tint tint) {
    switch (tint) {
        case Tint::Green:
            return QColor(0x34, 0xa8, 0x53);
        case Tint::Orange:
            return QColor(0xf2, 0x8c, 0x00);
        case Tint::Secondary:
            break;
    }
    return QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
}

void draw_check(QPainter& p, qreal s, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(0.5, 0.5, s - 1, s - 1));
    QPen pen(Qt::white, s * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath tick;
    tick.moveTo(s * 0.28, s * 0.52);
    tick.lineTo(s * 0.44, s * 0.68);
    tick.lineTo(s * 0.72, s * 0.34);
    p.drawPath(tick);
}

void draw_restart(QPainter& p, qreal s, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(0.5, 0.5, s - 1, s - 1));
    const qreal r = s * 0.24;
    const QRectF arc(s / 2 - r, s / 2 - r, 2 * r, 2 * r);
    p.setPen(QPen(Qt::white, s * 0.1, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    // Qt angles are sixteenths of a degree, counter-clockwise from three o'clock.
    p.drawArc(arc, 60 * 16, 290 * 16);
    const qreal angle = 60.0 * M_PI / 180.0;
    const QPointF tip(s / 2 + r * std::cos(angle), s / 2 - r * std::sin(angle));
    QPainterPath head;
    head.moveTo(tip + QPointF(s * 0.13, -s * 0.01));
    head.lineTo(tip + QPointF(-s * 0.03, -s * 0.12));
    head.lineTo(tip + QPointF(-s * 0.02, s * 0.1));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(head);
}

void draw_warning(QPainter& p, qreal s, const QColor& colour) {
    QPainterPath triangle;
    triangle.moveTo(s / 2, s * 0.06);
    triangle.lineTo(s * 0.97, s * 0.92);
    triangle.lineTo(s * 0.03, s * 0.92);
    triangle.closeSubpath();
    p.setPen(QPen(colour, s * 0.06, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour);
    p.drawPath(triangle);
    p.setPen(QPen(Qt::white, s * 0.1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s / 2, s * 0.36), QPointF(s / 2, s * 0.6));
    p.drawPoint(QPointF(s / 2, s * 0.77));
}

void draw_pending(QPainter& p, qreal s, const QColor& colour) {
    QPen pen(colour, s * 0.08, Qt::CustomDashLine, Qt::FlatCap);
    pen.setDashPattern({1.6, 1.4});
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(s * 0.08, s * 0.08, s * 0.84, s * 0.84));
}

QPixmap draw_application_icon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    const QPainterPath body = controller_outline();
    p.setPen(QPen(QColor(0x11, 0x11, 0x11), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0x2b, 0x2f, 0x36));
    p.drawPath(body);
    p.setPen(QPen(QColor(0x11, 0x11, 0x11), 1.5));
    p.setBrush(QColor(0xe8, 0xe8, 0xe8));
    p.drawEllipse(QPointF(20, 30), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x11, 0x11, 0x11));
    p.drawEllipse(QPointF(20, 30), 1.8, 1.8);
    p.setBrush(QColor(0x9a, 0xa0, 0xa6));
    p.drawEllipse(QPointF(38, 40), 5, 5);
    const struct {
        qreal x, y;
        QColor colour;
    } face[] = {{48, 24, QColor(0xf2, 0xc1, 0x4e)},
                {53, 29, QColor(0xe0, 0x52, 0x4a)},
                {43, 29, QColor(0x4a, 0x8f, 0xe0)},
                {48, 34, QColor(0x5b, 0xbf, 0x5b)}};
    for (const auto& button : face) {
        p.setBrush(button.colour);
        p.drawEllipse(QPointF(button.x, button.y), 2.6, 2.6);
    }
    p.setBrush(QColor(0xe8, 0xe8, 0xe8));
    p.drawEllipse(QPointF(32, 22), 2.4, 2.4);
    return pixmap;
}

}  // namespace

QString qt_text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString mnemonic_free(std::string_view text) {
    return qt_text(text).replace(QStringLiteral("&"), QStringLiteral("&&"));
}

QLabel* make_heading(std::string_view text, double point_size, QWidget* parent) {
    auto* label = new QLabel(qt_text(text), parent);
    QFont font = label->font();
    // Sizes are meant relative to a 13-point system font, so they grow with the user's choice.
    const double base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(base * point_size / 13.0);
    font.setBold(true);
    label->setFont(font);
    return label;
}

namespace {

// Scrolls the window's content where the screen is too small for it, and otherwise asks for the
// content's whole size (a plain scroll area asks for a few dozen characters at most).
class WindowScrollArea final : public QScrollArea {
  public:
    using QScrollArea::QScrollArea;

    [[nodiscard]] QSize sizeHint() const override {
        if (widget() == nullptr) return QScrollArea::sizeHint();
        const int frame = 2 * frameWidth();
        return widget()->sizeHint() + QSize(frame, frame);
    }
};

}  // namespace

QBoxLayout* make_window_column(QWidget& window, std::string_view title, const char* name,
                               int spacing) {
    window.setWindowTitle(qt_text(title));
    window.setWindowIcon(application_icon());
    window.setObjectName(QString::fromLatin1(name));
    auto* outer = new QVBoxLayout(&window);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new WindowScrollArea(&window);
    scroll->setObjectName(QStringLiteral("window_scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    content->setObjectName(QStringLiteral("window_content"));
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(24, 20, 24, 20);
    column->setSpacing(spacing);
    scroll->setWidget(content);
    // The palette's window colour behind the content, as a window without a scroll area has.
    content->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    return column;
}

QSize fitted_window_size(QSize natural, QSize minimum, const QRect& available) {
    // Room for the title bar and the window frame, which the window's own size leaves out.
    constexpr int kFrameAllowance = 48;
    const int width = std::max(minimum.width(), std::min(natural.width(), available.width()));
    const int height = std::max(minimum.height(),
                                std::min(natural.height(), available.height() - kFrameAllowance));
    return {width, height};
}

void fit_window_to(QWidget& window, const QRect& available) {
    if (QLayout* layout = window.layout()) layout->activate();
    QSize natural = window.sizeHint();
    const auto* scroll = window.findChild<QScrollArea*>(QStringLiteral("window_scroll"));
    if (scroll != nullptr && natural.height() > available.height()) {
        // A vertical scroll bar takes its width from the content.
        natural.rwidth() += scroll->verticalScrollBar()->sizeHint().width();
    }
    window.resize(fitted_window_size(natural, window.minimumSizeHint(), available));
}

void fit_window(QWidget& window) {
    QScreen* screen = window.screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        window.adjustSize();
        return;
    }
    fit_window_to(window, screen->availableGeometry());
}

QLabel* make_note(std::string_view text, int width, QWidget* parent) {
    auto* label = new QLabel(qt_text(text), parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    const double base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(base * 11.0 / 13.0);
    label->setFont(font);
    // The secondary colour: the text colour blended towards the background, so it reads as a
    // note on light and dark themes alike (the disabled colour is too faint for text to read).
    QPalette palette = label->palette();
    const QColor ink = palette.color(QPalette::Active, QPalette::WindowText);
    const QColor background = palette.color(QPalette::Active, QPalette::Window);
    const auto blend = [](int a, int b) { return (a * 62 + b * 38) / 100; };
    const QColor secondary(blend(ink.red(), background.red()),
                           blend(ink.green(), background.green()),
                           blend(ink.blue(), background.blue()));
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::WindowText, secondary);
    label->setPalette(palette);
    label->setMinimumWidth(std::min(width, 240));
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    return label;
}

QFrame* make_separator(int width, QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setMinimumWidth(width);
    return line;
}

QPixmap status_symbol_pixmap(const StatusSymbol& symbol, int size, qreal device_pixel_ratio) {
    const int pixels = std::max(1, saturate_cast<int>(std::ceil(size * device_pixel_ratio)));
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = pixels;
    const QColor colour = tint_colour(symbol.tint);
    if (symbol.name == kSymbolGranted.name) {
        draw_check(p, s, colour);
    } else if (symbol.name == kSymbolRestart.name) {
        draw_restart(p, s, colour);
    } else if (symbol.name == kSymbolWarning.name) {
        draw_warning(p, s, colour);
    } else {
        draw_pending(p, s, colour);
    }
    p.end();
    pixmap.setDevicePixelRatio(device_pixel_ratio);
    return pixmap;
}

StatusSymbolLabel::StatusSymbolLabel(int size, QWidget* parent) : QLabel(parent), size_(size) {
    setFixedSize(size, size);
    set_symbol(kSymbolPending);
}

void StatusSymbolLabel::set_symbol(const StatusSymbol& symbol) {
    symbol_ = symbol;
    // The desktop's own picture where its icon theme has one, so the row matches the rest of the
    // desktop; the program's drawing elsewhere (and on macOS, which has no icon theme).
    const QString theme = qt_text(symbol.theme_name);
    if (!theme.isEmpty() && QIcon::hasThemeIcon(theme)) {
        setPixmap(QIcon::fromTheme(theme).pixmap(QSize(size_, size_), devicePixelRatioF()));
    } else {
        setPixmap(status_symbol_pixmap(symbol, size_, devicePixelRatioF()));
    }
    setToolTip(qt_text(symbol.description));
    setAccessibleName(qt_text(symbol.description));
}

QIcon application_icon() {
    const QIcon own = QApplication::windowIcon();
    if (!own.isNull() && !own.availableSizes().isEmpty()) return own;
    QIcon drawn;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        drawn.addPixmap(draw_application_icon(size));
    return drawn;
}

QLabel* make_application_icon(int size, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(application_icon().pixmap(size, size));
    label->setFixedSize(size, size);
    return label;
}

int slider_resolution(const SliderSpec& spec) {
    return spec.maximum - spec.minimum <= 10.0 ? 1000 : 1;
}

int slider_position(const SliderSpec& spec, double value) {
    return saturate_cast<int>(std::round(value * slider_resolution(spec)));
}

double slider_value(const SliderSpec& spec, int position) {
    return static_cast<double>(position) / slider_resolution(spec);
}

void set_checked_quietly(QCheckBox& box, bool checked) {
    const QSignalBlocker quiet(box);
    box.setChecked(checked);
}

void show_login_checkbox(QCheckBox& box, const LoginCheckbox& view) {
    const QSignalBlocker quiet(box);
    switch (view.mark) {
        case CheckMark::Checked:
            box.setTristate(false);
            box.setCheckState(Qt::Checked);
            break;
        case CheckMark::Mixed:
            // Three-state for the mark only: a click on it goes to Checked, which asks the
            // system's list of login items to open.
            box.setCheckState(Qt::PartiallyChecked);
            break;
        case CheckMark::Unchecked:
            box.setTristate(false);
            box.setCheckState(Qt::Unchecked);
            break;
    }
    box.setToolTip(qt_text(view.tooltip));
}

void show_window(QWidget& window) {
    static constexpr const char* kPlaced = "thumbrover_placed";
    if (!window.property(kPlaced).toBool()) {
        QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        if (screen == nullptr) screen = QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            fit_window_to(window, screen->availableGeometry());
            QRect frame = window.frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            window.move(frame.topLeft());
        }
        window.setProperty(kPlaced, true);
    }
    window.show();
    window.raise();
    window.activateWindow();
}

FocusWheelComboBox::FocusWheelComboBox(QWidget* parent) : QComboBox(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

void FocusWheelComboBox::wheelEvent(QWheelEvent* event) {
    if (!hasFocus()) {
        event->ignore();  // on to the scroll area
        return;
    }
    QComboBox::wheelEvent(event);
}

FocusWheelSlider::FocusWheelSlider(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent) {
    setFocusPolicy(Qt::StrongFocus);
}

void FocusWheelSlider::wheelEvent(QWheelEvent* event) {
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QSlider::wheelEvent(event);
}

bool confirm_change(QWidget& parent, std::string_view question, std::string_view detail,
                    std::string_view confirm) {
    QMessageBox box(&parent);
    box.setObjectName(QStringLiteral("confirm_change"));
    box.setIcon(QMessageBox::Question);
    box.setWindowTitle(parent.windowTitle());
    box.setText(qt_text(question));
    box.setInformativeText(qt_text(detail));
    QPushButton* yes = box.addButton(mnemonic_free(confirm), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == yes;
}

void add_window_shortcuts(QWidget& window, std::function<void()> quit) {
    auto* quit_shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), &window);
    QObject::connect(quit_shortcut, &QShortcut::activated, &window, std::move(quit));
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::Key_Escape)}) {
        auto* close_shortcut = new QShortcut(keys, &window);
        QObject::connect(close_shortcut, &QShortcut::activated, &window,
                         [&window] { window.close(); });
    }
}

}  // namespace thumbrover
