#include "linux/key_codes.hpp"

#include <QGuiApplication>

// X11 last: its macros would clash with Qt's event names.
#if QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

namespace thumbrover {

std::uint32_t qt_key_for_keysym(std::uint64_t keysym) {
    // X keysyms of the printable ASCII characters are their codes, and so are Qt's key codes,
    // letters in upper case.
    if (keysym >= 'a' && keysym <= 'z')
        return static_cast<std::uint32_t>(Qt::Key_A + (keysym - 'a'));
    if (keysym > ' ' && keysym < 0x7f) return static_cast<std::uint32_t>(keysym);
    return 0;
}

// A layout turns Shift+1 into "!" or "§", which are not capturable, while the key pressed is the
// digit.
std::uint32_t x11_unshifted_key([[maybe_unused]] const QKeyEvent& event) {
#if QT_CONFIG(xcb)
    if (event.nativeScanCode() == 0 || event.nativeScanCode() > 255) return 0;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->display() == nullptr) return 0;
    const KeySym symbol =
        XkbKeycodeToKeysym(x11->display(), static_cast<KeyCode>(event.nativeScanCode()), 0, 0);
    return qt_key_for_keysym(symbol);
#else
    return 0;
#endif
}

void x11_leave_out_pointer_button_state() {
#if QT_CONFIG(xcb)
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->display() == nullptr) return;
    XkbSelectEventDetails(x11->display(), XkbUseCoreKbd, XkbStateNotify, XkbPointerButtonMask, 0);
    XFlush(x11->display());
#endif
}

}  // namespace thumbrover
