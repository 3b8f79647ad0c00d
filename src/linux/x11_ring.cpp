#include "linux/x11_ring.hpp"

#include <QImage>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/common/diag.hpp"
#include "core/common/numeric.hpp"
#include "qt/steering_circle.hpp"

// Xlib after Qt: its macros (None, Bool, Status) would otherwise clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

namespace thumbrover {
namespace {

// A channel value 0..255 placed into a true-colour visual's mask.
unsigned long channel(unsigned long mask, int value) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1UL) == 0)
        ++shift;
    const unsigned long top = mask >> shift;
    return ((static_cast<unsigned long>(value) * top + 127UL) / 255UL) << shift;
}

struct ImageDestroyer {
    void operator()(XImage* image) const { XDestroyImage(image); }
};

}  // namespace

X11CircleWindow::X11CircleWindow(std::shared_ptr<X11Display> display, const CircleShape& shape)
    : display_(std::move(display)) {
    // A connection whose server has gone takes no more requests: Xlib stops sending but keeps
    // filling its buffer, and a request that no longer fits in it crashes the caller.
    if (x_display_lost()) return;
    Display* d = display_->get();
    const int screen = DefaultScreen(d);
    Visual* visual = DefaultVisual(d, screen);
    const int depth = DefaultDepth(d, screen);
    const Window root = RootWindow(d, screen);
    const QImage picture = render_circle(shape);
    const int width = picture.width();
    const int height = picture.height();
    const auto w = static_cast<unsigned>(width);
    const auto h = static_cast<unsigned>(height);

    // The picture over black, as the toolkit's ring paints it: premultiplied colour is exactly
    // that. The outermost layers are black, so the part-transparent edge inside the shape stays
    // crisp.
    std::unique_ptr<XImage, ImageDestroyer> image(
        XCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr, w, h, 32, 0));
    if (!image) {
        diag("could not create the steering circle window");
        std::abort();
    }
    image->data =
        static_cast<char*>(std::calloc(static_cast<std::size_t>(image->bytes_per_line) * h, 1));
    const int stride = (width + 7) / 8;
    std::vector<char> shape_bits(static_cast<std::size_t>(stride) * h, 0);
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb p = line[x];
            XPutPixel(image.get(), x, y,
                      channel(visual->red_mask, qRed(p)) | channel(visual->green_mask, qGreen(p)) |
                          channel(visual->blue_mask, qBlue(p)));
            // The window shows exactly the pixels whose alpha is at least half.
            if (qAlpha(p) >= 128) {
                shape_bits[static_cast<std::size_t>(y * stride + x / 8)] |=
                    static_cast<char>(1 << (x % 8));
            }
        }
    }
    picture_ = XCreatePixmap(d, root, w, h, static_cast<unsigned>(depth));
    GC gc = XCreateGC(d, picture_, 0, nullptr);
    XPutImage(d, picture_, gc, image.get(), 0, 0, 0, 0, w, h);
    XFreeGC(d, gc);

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixmap = picture_;
    attributes.border_pixel = 0;
    attributes.event_mask = 0;
    attributes.colormap = DefaultColormap(d, screen);
    window_ = XCreateWindow(
        d, root, 0, 0, w, h, 0, depth, InputOutput, visual,
        CWOverrideRedirect | CWBackPixmap | CWBorderPixel | CWEventMask | CWColormap, &attributes);
    const Pixmap mask = XCreateBitmapFromData(d, window_, shape_bits.data(), w, h);
    XShapeCombineMask(d, window_, ShapeBounding, 0, 0, mask, ShapeSet);
    XFreePixmap(d, mask);
    XShapeCombineRectangles(d, window_, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
    XStoreName(d, window_, "Thumbrover steering ring");
    XFlush(d);
}

X11CircleWindow::~X11CircleWindow() {
    if (window_ == 0 || x_display_lost()) return;
    Display* d = display_->get();
    XDestroyWindow(d, window_);
    XFreePixmap(d, picture_);
    XFlush(d);
}

void X11CircleWindow::move_to(ScreenPoint origin) {
    if (window_ == 0 || x_display_lost()) return;
    Display* d = display_->get();
    XMoveWindow(d, window_, saturate_cast<int>(std::round(origin.x)),
                saturate_cast<int>(std::round(origin.y)));
    XFlush(d);
}

void X11CircleWindow::show() {
    if (window_ == 0 || x_display_lost()) return;
    Display* d = display_->get();
    // Override-redirect windows are not stacked by the window manager: on top at mapping.
    XMapRaised(d, window_);
    XFlush(d);
    shown_ = true;
}

void X11CircleWindow::keep_on_top() {
    if (window_ == 0 || x_display_lost()) return;
    Display* d = display_->get();
    XRaiseWindow(d, window_);
    XFlush(d);
}

void X11CircleWindow::hide() {
    if (window_ == 0 || x_display_lost()) return;
    Display* d = display_->get();
    XUnmapWindow(d, window_);
    XFlush(d);
    shown_ = false;
}

Result<std::unique_ptr<X11Overlay>> X11Overlay::create() {
    auto opened = X11Display::open();
    if (!opened) return Error{opened.error()};
    auto display = std::make_shared<X11Display>(std::move(opened).value());
    Display* d = display->get();
    int event_base = 0;
    int error_base = 0;
    if (!XShapeQueryExtension(d, &event_base, &error_base)) {
        return Error{"the X display has no SHAPE extension"};
    }
    if (DefaultVisual(d, DefaultScreen(d))->c_class != TrueColor) {
        return Error{"the X display's default visual is not true colour"};
    }
    return std::unique_ptr<X11Overlay>(new X11Overlay(std::move(display)));
}

std::unique_ptr<CircleWindow> X11Overlay::build_circle(const CircleShape& shape) {
    return std::make_unique<X11CircleWindow>(display_, shape);
}

ScreenPoint X11Overlay::pointer_location() {
    if (x_display_lost()) return {};
    const auto at = display_->pointer();
    if (!at) return {};
    return {static_cast<double>(at->x), static_cast<double>(at->y)};
}

}  // namespace thumbrover
