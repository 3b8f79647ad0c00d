// The ways the uinput pointer's acceleration is handled, each against a stand-in for its desktop:
// sway's and Hyprland's request sockets, KWin's input-device object on the test's private session
// bus, and GNOME's setting in a schema of the test's own.

#include "linux/pointer_acceleration.hpp"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QObject>
#include <QSemaphore>
#include <QThread>
#include <QtDBus/QDBusConnection>
#include <cstring>
#include <fstream>
#include <thread>

#include "fakes/event_output.hpp"
#include "qt/qt_app.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::TempDir;

// Which way each desktop's environment takes.
TEST(AccelerationRoute, FollowsTheSessionsEnvironment) {
    using R = AccelerationRoute;
    using O = AccelerationOverride;
    const struct {
        AccelerationEnvironment env;
        AccelerationChoice expected;
    } cases[] = {
        {{{}, "/run/user/1000/sway-ipc.sock", {}, "sway", {}}, {R::Sway, O::Unset}},
        {{{}, {}, "abc_123", "Hyprland", {}}, {R::Hyprland, O::Unset}},
        {{{}, {}, {}, "KDE", {}}, {R::KWin, O::Unset}},
        {{{}, {}, {}, "ubuntu:GNOME", {}}, {R::Gnome, O::Unset}},
        {{{}, {}, {}, "GNOME-Flashback:Unity", {}}, {R::Defaults, O::Unset}},
        {{{}, {}, {}, {}, {}}, {R::Defaults, O::Unset}},
        {{"compensate", "/run/user/1000/sway-ipc.sock", {}, {}, {}}, {R::Sway, O::Compensate}},
        {{"leave", {}, {}, "GNOME", {}}, {R::Gnome, O::Leave}},
        {{"sometimes", {}, {}, "KDE", {}}, {R::KWin, O::Unset}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.env.current_desktop.value_or("-"));
        EXPECT_EQ(choose_acceleration_route(c.env), c.expected);
    }
    EXPECT_EQ(sway_pointer_identifier(), "29794:1:Thumbrover_virtual_pointer");
    EXPECT_EQ(hyprland_pointer_name(), "thumbrover-virtual-pointer");
}

// A request socket that answers one connection with `answer` (framed as i3 IPC when `i3`) and
// keeps what it was sent.
class SocketStandIn {
  public:
    SocketStandIn(std::filesystem::path path, std::string answer, bool i3)
        : path_(std::move(path)) {
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 1) != 0)
            ADD_FAILURE() << "no stand-in socket";
        server_ = std::thread([this, answer = std::move(answer), i3] {
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) return;
            char buffer[4096];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0) received_.assign(buffer, static_cast<std::size_t>(n));
            const std::string reply = i3 ? i3_ipc_message(0, answer) : answer;
            (void)::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
            ::close(fd);
        });
    }
    ~SocketStandIn() {
        ::shutdown(listener_, SHUT_RDWR);
        server_.join();
        ::close(listener_);
    }
    // After the switch returned.
    const std::string& received() const { return received_; }

  private:
    std::filesystem::path path_;
    int listener_ = -1;
    std::thread server_;
    std::string received_;
};

TEST(AccelerationSwitch, SwayAndHyprlandAreAskedForOurPointerAlone) {
    const TempDir dir;
    const std::string sway_command =
        "input \"29794:1:Thumbrover_virtual_pointer\" accel_profile flat";
    const std::string hypr_request =
        "keyword device[thumbrover-virtual-pointer]:accel_profile flat";
    const struct {
        const char* name;
        bool sway;
        const char* answer;
        std::string expected_request;
        bool ok;
    } cases[] = {
        {"sway agrees", true, R"([{"success":true}])", i3_ipc_message(0, sway_command), true},
        {"sway refuses", true, R"([{"success":false,"error":"no"}])",
         i3_ipc_message(0, sway_command), false},
        {"sway answers nonsense", true, "{}", i3_ipc_message(0, sway_command), false},
        {"Hyprland agrees", false, "ok", hypr_request, true},
        {"Hyprland refuses", false, "invalid field", hypr_request, false},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir.path() / ("socket" + std::to_string(round++));
        Result<void> done;
        std::string received;
        {
            SocketStandIn stand_in(path, c.answer, c.sway);
            auto flat = c.sway ? make_sway_switch(path) : make_hyprland_switch(path);
            done = flat->turn_off("/dev/input/event9");
            received = stand_in.received();
        }
        EXPECT_EQ(done.ok(), c.ok) << (done ? "" : done.error());
        EXPECT_EQ(received, c.expected_request);
    }
    // Nobody listening: refused, not waited for.
    EXPECT_FALSE(make_sway_switch(dir.path() / "nobody")->turn_off("").ok());
}

// KWin's object for one input device, with the two properties the switch reads and writes.
class FakeKWinDevice : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.KWin.InputDevice")
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(bool pointerAccelerationProfileFlat READ flat WRITE set_flat)
  public:
    explicit FakeKWinDevice(QString name) : name_(std::move(name)) {}
    QString name() const { return name_; }
    bool flat() const { return flat_; }
    void set_flat(bool flat) { flat_ = flat; }

  private:
    QString name_;
    std::atomic<bool> flat_{false};
};

// Serves KWin's devices event7 (ours) and event8 (another mouse) from a thread of its own.
class KWinStandIn final : public QThread {
  public:
    KWinStandIn()
        : ours_(QStringLiteral("Thumbrover virtual pointer")),
          other_(QStringLiteral("Logitech USB Mouse")) {
        ours_.moveToThread(this);
        other_.moveToThread(this);
        start();
        ready_.acquire();
    }
    ~KWinStandIn() override {
        quit();
        wait();
    }
    bool registered = false;
    FakeKWinDevice ours_;
    FakeKWinDevice other_;

  protected:
    void run() override {
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("kwin"));
        const auto flags = QDBusConnection::ExportAllProperties;
        registered =
            bus.registerObject(QStringLiteral("/org/kde/KWin/InputDevice/event7"), &ours_, flags) &&
            bus.registerObject(QStringLiteral("/org/kde/KWin/InputDevice/event8"), &other_,
                               flags) &&
            bus.registerService(QStringLiteral("org.kde.KWin"));
        ready_.release();
        exec();
        bus.unregisterService(QStringLiteral("org.kde.KWin"));
        QDBusConnection::disconnectFromBus(QStringLiteral("kwin"));
    }

  private:
    QSemaphore ready_;
};

TEST(AccelerationSwitch, KWinSetsOurDeviceFlatAndNoOther) {
    testing::core_app();
    KWinStandIn kwin;
    ASSERT_TRUE(kwin.registered);
    auto flat = make_kwin_switch();
    const Result<void> done = flat->turn_off("/dev/input/event7");
    EXPECT_TRUE(done.ok()) << done.error();
    EXPECT_TRUE(kwin.ours_.flat());
    // A node that is another device's is left alone.
    EXPECT_FALSE(flat->turn_off("/dev/input/event8").ok());
    EXPECT_FALSE(kwin.other_.flat());
}

// GNOME's setting from a schema of the test's own, in GSettings' memory backend: read at start,
// and followed from the next stroke on when the user changes it.
TEST(AccelerationCompensation, FollowsGnomesMouseSetting) {
    const TempDir dir;
    {
        std::ofstream schema(dir.path() / "mouse.gschema.xml");
        schema << R"(<schemalist>
  <schema id="org.gnome.desktop.peripherals.mouse" path="/org/gnome/desktop/peripherals/mouse/">
    <key name="accel-profile" type="s"><default>'default'</default></key>
    <key name="speed" type="d"><default>0.0</default></key>
  </schema>
</schemalist>)";
    }
    const std::string compile = "glib-compile-schemas " + dir.path().string();
    ASSERT_EQ(std::system(compile.c_str()), 0);
    ::setenv("GSETTINGS_SCHEMA_DIR", dir.path().c_str(), 1);
    ::setenv("GSETTINGS_BACKEND", "memory", 1);

    auto reader = make_gnome_mouse_reader();
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->read(), (DesktopAcceleration{}));

    auto recording = std::make_unique<fakes::RecordingOutput>();
    fakes::RecordingOutput& posted = *recording;
    AccelerationEnvironment gnome;
    gnome.current_desktop = "GNOME";
    auto output = handle_pointer_acceleration(std::move(recording), "", gnome);
    GSettings* settings = g_settings_new("org.gnome.desktop.peripherals.mouse");
    ASSERT_TRUE(g_settings_set_string(settings, "accel-profile", "flat"));
    ASSERT_TRUE(g_settings_set_double(settings, "speed", -0.5));
    EXPECT_EQ(reader->read(), (DesktopAcceleration{AccelerationProfile::Flat, -0.5}));
    g_object_unref(settings);

    // The first stroke reads it again: the flat profile at half speed doubles the counts.
    ASSERT_TRUE(output->perform({CommandKind::Move, 0, 0, 10, -4}).ok());
    ASSERT_EQ(posted.performed.size(), 1u);
    EXPECT_EQ(posted.performed[0], (OutputCommand{CommandKind::Move, 0, 0, 20, -8}));
}

}  // namespace
}  // namespace thumbrover

#include "acceleration_test.moc"
