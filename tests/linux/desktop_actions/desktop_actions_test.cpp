#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "fakes/notifier.hpp"
#include "linux/desktop_actions.hpp"
#include "qt/qt_app.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

using fakes::RecordingNotifier;

struct SpawnCall {
    std::string program;
    std::vector<std::string> args;
    SpawnOptions options;
};

// Records each shell asked for instead of starting it; none starts while `fail` is set.
struct RecordingSpawner {
    Spawner spawner() {
        return [this](const std::string& program, const std::vector<std::string>& args,
                      const SpawnOptions& options) -> Result<void> {
            calls.push_back({program, args, options});
            if (fail) return Error{"No such file or directory"};
            return {};
        };
    }
    std::vector<SpawnCall> calls;
    bool fail = false;
};

TEST(LinuxDesktopActions, EachRequestIsOneDetachedShellAndAFailedStartIsAnError) {
    RecordingNotifier notifier;
    RecordingSpawner shells;
    LinuxDesktopActions actions(notifier, shells.spawner());

    ASSERT_TRUE(actions.show_overview().ok());
    ASSERT_TRUE(actions.show_on_screen_keyboard().ok());
    ASSERT_EQ(shells.calls.size(), 2u);
    for (const auto& call : shells.calls) {
        EXPECT_EQ(call.program, "/bin/sh");
        ASSERT_EQ(call.args.size(), 2u);
        EXPECT_EQ(call.args[0], "-c");
        EXPECT_TRUE(call.options.on_exit);
    }
    EXPECT_NE(shells.calls[0].args[1].find("OverviewActive"), std::string::npos);
    EXPECT_NE(shells.calls[1].args[1].find("org.onboard.Onboard"), std::string::npos);

    // Only "nothing to open" is news for the user; the desktop's own failures are not ours.
    shells.calls[1].options.on_exit(1);
    shells.calls[1].options.on_exit(0);
    EXPECT_TRUE(notifier.wait_for(1, 0ms).empty());
    shells.calls[1].options.on_exit(LinuxDesktopActions::kNothingToOpen);
    EXPECT_EQ(notifier.wait_for(1, 0ms),
              std::vector<std::string>{
                  "The on-screen keyboard is not available / This desktop has no on-screen "
                  "keyboard that Thumbrover can open. Install Onboard, or choose another action "
                  "for this button in Customize Buttons."});

    shells.fail = true;
    EXPECT_EQ(actions.show_overview().error(),
              "could not open the overview: No such file or directory");
    EXPECT_EQ(actions.show_on_screen_keyboard().error(),
              "could not open the on-screen keyboard: No such file or directory");
}

// The request shell is reaped on a detached thread, which can still be waiting when the program
// ends and tears down the actions and then the notifier.
TEST(LinuxDesktopActions, AShellEndingAfterTheActionsAreGoneNotifiesNobody) {
    RecordingNotifier notifier;
    RecordingSpawner shells;
    {
        LinuxDesktopActions actions(notifier, shells.spawner());
        ASSERT_TRUE(actions.show_on_screen_keyboard().ok());
    }
    ASSERT_EQ(shells.calls.size(), 1u);
    ASSERT_TRUE(shells.calls[0].options.on_exit);
    shells.calls[0].options.on_exit(LinuxDesktopActions::kNothingToOpen);
    EXPECT_TRUE(notifier.wait_for(1, 0ms).empty());
}

// Stand-ins for the desktop's services on the test's private session bus.
class OnboardStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.onboard.Onboard.Keyboard")
  public:
    int toggles = 0;
  public slots:
    void ToggleVisible() { ++toggles; }
};

class ShellStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell")
    Q_PROPERTY(bool OverviewActive READ overview_active WRITE set_overview_active)
  public:
    bool overview = false;
    int writes = 0;
    [[nodiscard]] bool overview_active() const { return overview; }
    void set_overview_active(bool active) {
        overview = active;
        ++writes;
    }
};

// KWin's virtual keyboard (Plasma on Wayland), shown and hidden through its "active" property.
class KwinKeyboardStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.VirtualKeyboard")
    Q_PROPERTY(bool available READ is_available)
    Q_PROPERTY(bool enabled READ is_enabled WRITE set_enabled)
    Q_PROPERTY(bool active READ is_active WRITE set_active)
  public:
    bool enabled = false;
    bool active = false;
    int writes = 0;
    [[nodiscard]] bool is_available() const { return true; }
    [[nodiscard]] bool is_enabled() const { return enabled; }
    [[nodiscard]] bool is_active() const { return active; }
    void set_enabled(bool on) { enabled = on; }
    void set_active(bool on) {
        active = on;
        ++writes;
    }
};

// Serves a stand-in on the session bus until it goes.
struct OnBus {
    OnBus(QObject& object, const char* at, const char* name,
          QDBusConnection::RegisterOptions options)
        : path(at),
          service(name),
          ok(bus().registerObject(path, &object, options) && bus().registerService(service)) {}
    OnBus(const OnBus&) = delete;
    OnBus& operator=(const OnBus&) = delete;
    ~OnBus() {
        bus().unregisterService(service);
        bus().unregisterObject(path);
    }
    static QDBusConnection bus() { return QDBusConnection::sessionBus(); }
    QString path;
    QString service;
    bool ok;
};

class DesktopServicesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { testing::core_app(); }

    void SetUp() override {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected())
            << "run under scripts/with-virtual-display, which gives a private session bus";
    }

    // Serves the bus until the condition holds or the time is up.
    static bool serve_until(const std::function<bool()>& done,
                            std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }
};

TEST_F(DesktopServicesTest, WithoutAnyKnownDesktopTheUserIsToldAboutTheKeyboard) {
    RecordingNotifier notifier;
    LinuxDesktopActions actions(notifier);
    ASSERT_TRUE(actions.show_on_screen_keyboard().ok());
    const auto shown = notifier.wait_for(1, 10s);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("The on-screen keyboard is not available / ", 0), 0u);
}

// Onboard, KWin's virtual keyboard and GNOME Shell's overview: one request shows, the next hides.
TEST_F(DesktopServicesTest, TheDesktopsServiceShowsThenHides) {
    OnboardStandIn onboard;
    KwinKeyboardStandIn keyboard;
    ShellStandIn shell;
    const struct {
        QObject* object;
        const char* path;
        const char* service;
        QDBusConnection::RegisterOptions exported;
        Result<void> (LinuxDesktopActions::*request)();
        const int* calls;
        std::function<bool()> shown;
    } cases[] = {
        {&onboard, "/org/onboard/Onboard/Keyboard", "org.onboard.Onboard",
         QDBusConnection::ExportAllSlots, &LinuxDesktopActions::show_on_screen_keyboard,
         &onboard.toggles, [&] { return onboard.toggles % 2 == 1; }},
        {&keyboard, "/VirtualKeyboard", "org.kde.KWin", QDBusConnection::ExportAllProperties,
         &LinuxDesktopActions::show_on_screen_keyboard, &keyboard.writes,
         [&] { return keyboard.enabled && keyboard.active; }},
        {&shell, "/org/gnome/Shell", "org.gnome.Shell", QDBusConnection::ExportAllProperties,
         &LinuxDesktopActions::show_overview, &shell.writes, [&] { return shell.overview; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.service);
        const OnBus served(*c.object, c.path, c.service, c.exported);
        ASSERT_TRUE(served.ok);
        RecordingNotifier notifier;
        LinuxDesktopActions actions(notifier);
        for (const bool shown : {true, false}) {
            ASSERT_TRUE((actions.*c.request)().ok());
            EXPECT_TRUE(serve_until([&] { return *c.calls == (shown ? 1 : 2); }));
            EXPECT_EQ(c.shown(), shown);
        }
        EXPECT_TRUE(notifier.wait_for(1, 200ms).empty());
    }
}

}  // namespace
}  // namespace thumbrover

#include "desktop_actions_test.moc"
