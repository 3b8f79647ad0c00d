#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "linux/uinput_output.hpp"
#include "qt/qt_app.hpp"

namespace thumbrover {
namespace {

// systemd-localed, as the program reads it: the X11 layout and variant on org.freedesktop.locale1.
class LocaledStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.locale1")
    Q_PROPERTY(QString X11Layout READ layout)
    Q_PROPERTY(QString X11Variant READ variant)
  public:
    [[nodiscard]] QString layout() const { return QStringLiteral("fr,us"); }
    [[nodiscard]] QString variant() const { return QStringLiteral("azerty,"); }
};

// The layout as the engine thread looks it up, while this thread serves the stand-in.
std::string looked_up_layout() {
    std::atomic<bool> done{false};
    LayoutNames names;
    std::thread engine([&] {
        names = user_keyboard_layout().names();
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    engine.join();
    return names.layout + "(" + names.variant + ")";
}

TEST(UserKeyboardLayout, TheEnvironmentFirstThenLocaledOnTheSystemBus) {
    testing::core_app();
    const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    ASSERT_NE(session, nullptr) << "run under scripts/with-virtual-display";
    // The test's private session bus stands in for the system bus.
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", session, 1);
    QDBusConnection bus = QDBusConnection::sessionBus();
    LocaledStandIn localed;
    ASSERT_TRUE(bus.registerObject("/org/freedesktop/locale1", &localed,
                                   QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(bus.registerService("org.freedesktop.locale1"));

    ::unsetenv("XKB_DEFAULT_LAYOUT");
    ::unsetenv("XKB_DEFAULT_VARIANT");
    EXPECT_EQ(looked_up_layout(), "fr(azerty)");
    ::setenv("XKB_DEFAULT_LAYOUT", "de", 1);
    EXPECT_EQ(looked_up_layout(), "de()");
    // A layout xkbcommon does not know is reported, and keys are typed as on a US keyboard.
    ::setenv("XKB_DEFAULT_LAYOUT", "no-such-layout", 1);
    EXPECT_EQ(looked_up_layout(), "us()");
    ::unsetenv("XKB_DEFAULT_LAYOUT");

    bus.unregisterService("org.freedesktop.locale1");
    bus.unregisterObject("/org/freedesktop/locale1");
}

}  // namespace
}  // namespace thumbrover

#include "keyboard_layout_test.moc"
