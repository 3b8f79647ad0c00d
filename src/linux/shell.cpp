#include "linux/shell.hpp"

#include <malloc.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "core/cli/command_line.hpp"
#include "core/common/diag.hpp"
#include "core/common/spawn.hpp"
#include "core/common/steps.hpp"
#include "core/engine/engine_loop.hpp"
#include "core/engine/link.hpp"
#include "core/settings/app_folder.hpp"
#include "core/ui/access.hpp"
#include "linux/cursor.hpp"
#include "linux/gamepad.hpp"
#include "linux/key_codes.hpp"
#include "linux/notifier.hpp"
#include "linux/output_choice.hpp"
#include "linux/single_instance.hpp"
#include "linux/system_services.hpp"
#include "linux/tray_host.hpp"
#include "linux/windows.hpp"
#include "linux/x11_display.hpp"
#include "linux/x11_ring.hpp"
#include "platform/native_engine_ports.hpp"
#include "platform/shell.hpp"
#include "qt/front_end.hpp"
#include "qt/steering_circle.hpp"
#include "qt/tray_icons.hpp"

// Qt last: its `emit` macro would otherwise rewrite a name in the engine's headers.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QTimer>

namespace thumbrover {
namespace {

[[noreturn]] void fatal(std::string_view message) {
    diag(message);
    std::abort();
}

// On Linux the main thread is the one whose thread id is the process id.
bool on_main_thread() {
    return ::syscall(SYS_gettid) == ::getpid();
}

// Without XFixes the arrow cannot be hidden; the ring still shows, above it.
class VisibleCursor final : public Cursor {
  public:
    void hide() override {}
    void show() override {}
};

// A Wayland compositor lets no client place a window at the pointer, learn where the pointer is
// or hide the cursor: no ring is built there (see `shows_ring`).
class NoRingOverlay final : public Overlay {
  public:
    class NoWindow final : public CircleWindow {
      public:
        void move_to(ScreenPoint) override {}
        void show() override {}
        void hide() override {}
        [[nodiscard]] bool is_visible() const override { return false; }
    };
    [[nodiscard]] std::unique_ptr<CircleWindow> build_circle(const CircleShape&) override {
        return std::make_unique<NoWindow>();
    }
    [[nodiscard]] ScreenPoint pointer_location() override { return {}; }
    [[nodiscard]] bool shows_ring() const override { return false; }
};

bool unset(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr || *value == '\0';
}

std::unique_ptr<Cursor> make_cursor(std::shared_ptr<X11Display> display) {
    auto cursor = X11Cursor::create(std::move(display));
    if (cursor) return std::move(cursor).value();
    diag("the cursor cannot be hidden while steering: " + cursor.error());
    return std::make_unique<VisibleCursor>();
}

// Making the tray icon's pictures is the program's largest burst of short-lived memory: the first
// time, the icon theme's index is read and thrown away, and each time six pictures are drawn or
// loaded. glibc keeps what is freed inside the heap, beneath objects that stay, so once they are
// made (when a tray first shows an icon: at start-up where there is a tray, and after the program
// is switched on or off or a controller comes or goes) the free pages are handed back, on the
// event loop's next turn.
QIcon tray_icon_releasing_heap(bool active) {
    return deferred_icon([active] {
        QIcon pictures = tray_pictures(active);
        // free() only gives back what lies at the heap's top; malloc_trim also returns the whole
        // free pages beneath objects that stay.
        QTimer::singleShot(0, qApp, [] { malloc_trim(0); });
        return pictures;
    });
}

// What the toolkit says when its X connection fails: at start, where it would go on to abort for
// want of a platform, and while running, where it would go on to call exit(). Either way the
// display is gone, and the program says so in its own one line and ends in order.
// The display was not there when the toolkit connected, or went away before it could set up.
bool display_unreachable(const QString& message) {
    return message.startsWith(QLatin1String("could not connect to display")) ||
           message.startsWith(QLatin1String("Could not load the Qt platform plugin \"xcb\""));
}

bool display_failure(QtMsgType type, const QString& message) {
    if (type != QtWarningMsg && type != QtCriticalMsg && type != QtFatalMsg) return false;
    return message.startsWith(QLatin1String("The X11 connection broke")) ||
           message.startsWith(QLatin1String("failed to get core keyboard device info")) ||
           display_unreachable(message);
}

QtMessageHandler g_toolkit_messages = nullptr;

void on_toolkit_message(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    // Once the display has gone, whatever the toolkit still says about it is only noise.
    if (x_display_lost() && type != QtFatalMsg && !display_failure(type, message)) return;
    if (display_failure(type, message)) {
        if (display_unreachable(message) && !x_display_lost()) {
            const char* name = std::getenv("DISPLAY");
            diag(std::string("cannot open the X display ") + (name != nullptr ? name : ""));
        } else {
            report_display_lost();
        }
        // The toolkit says so from its event loop, where it goes on to end the process; anywhere
        // else, the line is enough and the loop's own end follows.
        if (on_main_thread()) end_program_now(1);
        return;
    }
    if (g_toolkit_messages != nullptr) g_toolkit_messages(type, context, message);
}

}  // namespace

int run_application(const QtShellOptions& options) {
    if (!on_main_thread()) fatal("Thumbrover must start on the main thread");
    // glibc gives every thread that allocates an arena of its own, which keeps what is freed in
    // it for later. The threads other than this one allocate little and rarely, so one arena
    // serves them as well and holds less. It must be set before the toolkit starts its threads.
    mallopt(M_ARENA_MAX, 1);
    // A quit that comes while the program starts (a session ending just then) ends it the way any
    // quit does, with status 0, rather than by the signal: the engine finds the flag set and never
    // enters its loop. The engine's start installs them again, and reports a failure then.
    static_cast<void>(install_quit_signals());

    static int qt_argc = 1;
    static char qt_name[] = "thumbrover";
    static char* qt_argv[] = {qt_name, nullptr};
    const bool through_uinput = chosen_output() == OutputKind::Uinput;
    const SessionAbilities abilities = session_abilities(chosen_output());
    std::unique_ptr<QApplication> owned_app;
    if (QApplication::instance() == nullptr) {
        // Through XTEST, posting input, the ring and the cursor all go through X; without a
        // display Qt would only abort with a message about platform plugins.
        if (!through_uinput && unset("DISPLAY")) {
            diag("no X display: posting input through XTEST needs one (DISPLAY is not set)");
            return 1;
        }
        if (through_uinput && unset("DISPLAY") && unset("QT_QPA_PLATFORM")) {
            // Without Xwayland the windows need Qt's Wayland plugin, which Qt would otherwise
            // miss with an abort.
            const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath);
            if (!QFileInfo::exists(plugins + QStringLiteral("/platforms/libqwayland-generic.so"))) {
                diag(
                    "no X display and no Qt Wayland plugin: install qt6-wayland (or start "
                    "Xwayland)");
                return 1;
            }
        }
        // Before the toolkit's connection: the engine, the watcher and the main thread each use
        // Xlib from their own thread, which Xlib only allows once this came first.
        init_xlib_threads();
        g_toolkit_messages = qInstallMessageHandler(on_toolkit_message);
        // Through XTEST in a Wayland session, the X server of Xwayland is the one whose pointer
        // we move. Through uinput the windows need nothing of X, and Qt picks the session's own
        // platform.
        if (!through_uinput && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "xcb");
        reached_step("toolkit starting");
        owned_app = std::make_unique<QApplication>(qt_argc, qt_argv);
        reached_step("toolkit started");
    }
    x11_leave_out_pointer_button_state();
    if (const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        end_when_toolkit_display_lost(x11->display(), [] {
            if (on_main_thread()) end_program_now(1);
        });
    }
    // Losing the display ends the program the way a quit does, though not with a quit's status.
    set_display_lost_action([] { request_quit(); });
    QApplication::setApplicationName(QStringLiteral("Thumbrover"));
    QApplication::setDesktopFileName(QStringLiteral("app.thumbrover.Thumbrover"));
    // A tray program has no main window: closing its last window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    QtShellOptions run = options;
    if (run.app_dir.empty()) run.app_dir = app_dir();
    run.wording = through_uinput ? uinput_wording() : kXDisplayWording;
    if (!run.tray_icon) run.tray_icon = tray_icon_releasing_heap;
    if (run.watch_tray && !run.tray_host)
        run.tray_host = std::make_shared<StatusNotifierHostWatch>(QDBusConnection::sessionBus(),
                                                                  xembed_tray_present());
    // The lock is taken here and handed to the engine rather than only looked at: a copy that
    // took it for a look and let it go could make one started at the same moment fail to take it.
    // Whatever goes wrong here, the engine's start-up takes it again and reports why.
    if (create_app_dir(run.app_dir).ok()) {
        auto taken = InstanceLock::acquire(run.app_dir);
        if (taken) {
            run.lock = std::make_shared<InstanceLock>(std::move(taken).value());
        } else if (taken.error() == kAlreadyRunning && hand_over_to_running_copy()) {
            // Started again while running: the running copy shows its Settings window instead.
            return 0;
        }
    }
    // Only the copy holding the lock answers as the running copy, and only one with windows
    // to show.
    ShellWindows* windows = nullptr;
    std::optional<SettingsRequestListener> listener;
    if (run.lock && run.make_windows) {
        run.make_windows = [make = run.make_windows, &windows](ShellServices& services) {
            auto made = make(services);
            windows = made.get();
            return made;
        };
        listener.emplace([&windows] {
            if (windows != nullptr) windows->open_settings();
            // The main tick may be asleep; the window's live rows want it.
            wake_user_interface();
        });
    }

    DbusNotifier notifier;
    auto login_item = XdgLoginItem::from_environment();
    LinuxDesktop desktop(
        [](const std::string& program, const std::vector<std::string>& args) {
            return spawn_detached(program, args);
        },
        system_spawner());
    X11InputPermission x11_permission;
    UinputPermission uinput_permission;
    InputPermission& permission = through_uinput ? static_cast<InputPermission&>(uinput_permission)
                                                 : static_cast<InputPermission&>(x11_permission);
    // Looked up now, before the engine thread posts XTEST events on a connection of its own.
    if (!through_uinput) (void)x11_permission.granted();

    auto gamepad = SdlGamepad::create();
    if (!gamepad) {
        diag("cannot read controllers: " + gamepad.error());
        return 1;
    }
    // A plain X window that the engine moves by its id along with the pointer and nobody hears
    // of; the toolkit's window, which hears of every move, only where that cannot be had.
    QtOverlay qt_overlay;
    NoRingOverlay no_ring;
    Result<std::unique_ptr<X11Overlay>> x11_overlay = Error{"no ring in this session"};
    if (abilities.ring) {
        x11_overlay = X11Overlay::create();
        if (!x11_overlay) {
            diag("the steering ring follows the pointer less cheaply: " + x11_overlay.error());
        }
    }
    Overlay& overlay = !abilities.ring ? static_cast<Overlay&>(no_ring)
                       : x11_overlay   ? static_cast<Overlay&>(**x11_overlay)
                                       : static_cast<Overlay&>(qt_overlay);
    const std::unique_ptr<Cursor> cursor =
        abilities.cursor_hiding ? make_cursor(x11_overlay ? (*x11_overlay)->display() : nullptr)
                                : std::make_unique<VisibleCursor>();
    NativeEnginePorts engine(notifier);

    const int status = run_front_end(AppPorts{.notifier = notifier,
                                              .login_item = login_item,
                                              .desktop = desktop,
                                              .permission = permission,
                                              .gamepad = **gamepad,
                                              .overlay = overlay,
                                              .cursor = *cursor,
                                              .engine = engine},
                                     run);
    reached_step("event loop ended");
    // The display going away is no normal end, whichever part of the program noticed it first.
    return x_display_lost() ? 1 : status;
}

int run_shell(int argc, char** argv) {
    // Decided once, before anything is built: the output, and with it the ring, the cursor hider
    // and the mouse watcher, which exist only where XTEST is used.
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    std::optional<OutputKind> requested;
    if (const auto value = requested_output(args)) {
        if (auto kind = parse_output_kind(*value)) requested = *kind;
    }
    const auto variable = [](const char* name) -> std::optional<std::string_view> {
        const char* value = std::getenv(name);
        if (value == nullptr) return std::nullopt;
        return std::string_view(value);
    };
    const Result<OutputChoice> choice =
        choose_output(requested, {.display = variable("DISPLAY"),
                                  .wayland_display = variable("WAYLAND_DISPLAY"),
                                  .session_type = variable("XDG_SESSION_TYPE"),
                                  .qt_platform = variable("QT_QPA_PLATFORM")});
    if (!choice) {
        diag(choice.error());
        return 1;
    }
    set_chosen_output(choice->kind, requested.has_value());
    diag(choice->reason);
    QtShellOptions options;
    options.make_windows = make_windows;
    options.watch_tray = true;
    return run_application(options);
}

}  // namespace thumbrover
