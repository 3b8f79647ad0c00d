#include "linux/key_codes.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>

#include "qt/qt_app.hpp"

// X11 last: its macros would clash with Qt's names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XKBproto.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "linux/x_probe.hpp"

namespace thumbrover {
namespace {

TEST(QtKeyPress, KeysymsOfLettersAndDigitsGiveTheirQtKey) {
    EXPECT_EQ(qt_key_for_keysym('1'), static_cast<std::uint32_t>(Qt::Key_1));
    EXPECT_EQ(qt_key_for_keysym('t'), static_cast<std::uint32_t>(Qt::Key_T));
    EXPECT_EQ(qt_key_for_keysym('T'), static_cast<std::uint32_t>(Qt::Key_T));
    EXPECT_EQ(qt_key_for_keysym('!'), static_cast<std::uint32_t>(Qt::Key_Exclam));
    EXPECT_EQ(qt_key_for_keysym(0xff0d), 0u);  // Return
}

// Counts the keyboard-state news on Qt's own connection that report the pointer's buttons, and
// those that report the modifiers.
struct StateNews : QAbstractNativeEventFilter {
    int xkb_event = 0, buttons = 0, modifiers = 0;
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        const auto* event = static_cast<const xkbStateNotify*>(message);
        if (type == "xcb_generic_event_t" && (event->type & 0x7f) == xkb_event &&
            event->xkbType == XkbStateNotify) {
            buttons += (event->changed & XkbPointerButtonMask) != 0 ? 1 : 0;
            modifiers += (event->changed & XkbModifierStateMask) != 0 ? 1 : 0;
        }
        return false;
    }
};

TEST(X11KeyboardState, ClicksNoLongerWakeQtOnceThePointerButtonsAreLeftOut) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    testing::qt_app();
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "run under scripts/with-virtual-display";
    StateNews news;
    int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    ASSERT_TRUE(XkbQueryExtension(display, &opcode, &news.xkb_event, &error, &major, &minor));
    QCoreApplication::instance()->installNativeEventFilter(&news);
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    for (const bool left_out : {false, true}) {
        if (left_out) {
            x11_leave_out_pointer_button_state();
            // In force before the click comes from another connection.
            XSync(qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display(), False);
        }
        // A click, then a tap of Shift: Shift's news come after any of the click's, on the same
        // connection, so once they are in, whatever the click brought is too.
        news.buttons = news.modifiers = 0;
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XTestFakeKeyEvent(display, shift, True, CurrentTime);
        XTestFakeKeyEvent(display, shift, False, CurrentTime);
        XSync(display, False);
        // processEvents() returns at once when Qt's event thread has nothing yet: a busy machine
        // needs a wait on the clock.
        EXPECT_TRUE(testing::wait_until([&] { return news.modifiers > 0; }, std::chrono::seconds(5),
                                        [] { QCoreApplication::processEvents(); }));
        // Before: Qt hears of clicks by itself, which shows the test can see them.
        EXPECT_EQ(news.buttons > 0, !left_out);
    }
    QCoreApplication::instance()->removeNativeEventFilter(&news);
    XCloseDisplay(display);
}

}  // namespace
}  // namespace thumbrover
