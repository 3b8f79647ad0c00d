#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSystemTrayIcon>
#include <chrono>

#include "qt/qt_app.hpp"
#include "qt/status_menu.hpp"

// Xlib after Qt: its macros would otherwise clash with Qt's names.
#include "linux/x_probe.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

// A minimal XEmbed system tray: owns the tray selection, announces itself, and records the
// windows that ask to be docked.
class FakeTrayHost {
  public:
    FakeTrayHost() : display_(testing::open_x_display()) {
        Display* d = display_.get();
        const Window root = DefaultRootWindow(d);
        window_ = XCreateSimpleWindow(d, root, 0, 0, 1, 1, 0, 0, 0);
        selection_ = XInternAtom(d, "_NET_SYSTEM_TRAY_S0", False);
        opcode_ = XInternAtom(d, "_NET_SYSTEM_TRAY_OPCODE", False);
        XSetSelectionOwner(d, selection_, window_, CurrentTime);
        XEvent manager{};
        manager.xclient.type = ClientMessage;
        manager.xclient.window = root;
        manager.xclient.message_type = XInternAtom(d, "MANAGER", False);
        manager.xclient.format = 32;
        manager.xclient.data.l[0] = CurrentTime;
        manager.xclient.data.l[1] = static_cast<long>(selection_);
        manager.xclient.data.l[2] = static_cast<long>(window_);
        XSendEvent(d, root, False, StructureNotifyMask, &manager);
        XSync(d, False);
    }
    ~FakeTrayHost() {
        XDestroyWindow(display_.get(), window_);
        XSync(display_.get(), False);
    }

    // The window that asked to be docked, if one has.
    std::optional<Window> docked() {
        Display* d = display_.get();
        while (XPending(d) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            // Opcode 0 is SYSTEM_TRAY_REQUEST_DOCK; data.l[2] is the icon's window.
            if (event.type == ClientMessage && event.xclient.message_type == opcode_ &&
                event.xclient.data.l[1] == 0)
                docked_ = static_cast<Window>(event.xclient.data.l[2]);
        }
        return docked_;
    }

  private:
    testing::XDisplayPtr display_;
    Window window_ = 0;
    Atom selection_ = 0;
    Atom opcode_ = 0;
    std::optional<Window> docked_;
};

TEST(TrayDock, TheIconDocksInATrayThatAppearsAfterTheProgramStarted) {
    testing::qt_app();
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "the virtual display has no tray";
    EngineLink link{EngineSender{}, true};
    TrayMenu tray{[](MenuAction) {}, [] { return std::optional<UpdateOffer>{}; }};
    tray.refresh_menu(link);
    QCoreApplication::processEvents();

    FakeTrayHost host;
    EXPECT_TRUE(testing::wait_until([&] { return host.docked().has_value(); }, 5s,
                                    [] { QCoreApplication::processEvents(); }))
        << "the icon never asked to be docked";
}

TEST(TrayDock, WithoutATrayTheIconIsMadeOnlyOnceOneComes) {
    testing::qt_app();
    EngineLink link{EngineSender{}, true};
    TrayMenu tray{[](MenuAction) {}, [] { return std::optional<UpdateOffer>{}; }};
    tray.set_host_available(false);
    tray.refresh_menu(link);
    EXPECT_EQ(tray.tray(), nullptr);
    EXPECT_FALSE(tray.shown().items.empty());
    tray.set_host_available(true);
    ASSERT_NE(tray.tray(), nullptr);
    EXPECT_TRUE(tray.tray()->isVisible());
    EXPECT_NE(tray.menu(), nullptr);
}

}  // namespace
}  // namespace thumbrover
