#include "linux/shell.hpp"

#include "core/engine/engine_loop.hpp"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <system_error>
#include <thread>

#include "core/circle/circle.hpp"
#include "core/common/diag.hpp"
#include "core/common/spawn.hpp"
#include "core/controller/poll.hpp"
#include "core/controller/reader.hpp"
#include "core/settings/app_folder.hpp"
#include "core/shell/actions.hpp"
#include "core/shell/linked_engine.hpp"
#include "core/update/update_check.hpp"
#include "linux/cursor.hpp"
#include "linux/engine_host.hpp"
#include "linux/gamepad.hpp"
#include "linux/linux_windows.hpp"
#include "linux/notifier.hpp"
#include "linux/single_instance.hpp"
#include "linux/status_menu.hpp"
#include "linux/steering_circle.hpp"
#include "linux/system_services.hpp"
#include "linux/x11_display.hpp"
#include "linux/x11_ring.hpp"
#include "platform/shell.hpp"

// Qt last: its `emit` macro would otherwise rewrite a name in the engine's headers.
#include <QApplication>
#include <QMetaObject>
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

class WindowsStartupCheck final : public StartupCheck {
  public:
    explicit WindowsStartupCheck(InputPermission& permission) : permission_(permission) {}
    void set(ShellWindows* windows) { windows_ = windows; }
    void run_startup_check() override {
        if (windows_ != nullptr) {
            windows_->run_startup_check();
            return;
        }
        // Without a Setup window there is nothing to open, but the line still tells whether
        // input can be posted at all.
        diag(permission_.granted() ? "Accessibility access granted"
                                   : "Accessibility access missing, the pointer will not move");
    }

  private:
    InputPermission& permission_;
    ShellWindows* windows_ = nullptr;
};

// Demonstrations and tests must not reach the network, so there the release check is absent.
class NoUpdateCheck final : public UpdateStep {
  public:
    void advance_update() override {}
};

// Without XFixes the arrow cannot be hidden; the ring still shows, above it.
class VisibleCursor final : public Cursor {
  public:
    void hide() override {}
    void show() override {}
};

std::unique_ptr<Cursor> make_cursor() {
    auto cursor = X11Cursor::create();
    if (cursor) return std::move(cursor).value();
    diag("the cursor cannot be hidden while steering: " + cursor.error());
    return std::make_unique<VisibleCursor>();
}

// The controller reader's thread: reads whenever the controller service has news, and is told to
// stop and joined before the service goes away.
class ReaderThread {
  public:
    ReaderThread(ControllerReader& reader, ControllerNewsBox& news) : news_(news) {
        try {
            thread_ = std::thread([&reader] {
                pthread_setname_np(pthread_self(), "controller");
                reader.run();
            });
        } catch (const std::system_error&) {
            fatal("failed to spawn thread");
        }
    }
    ~ReaderThread() {
        news_.post(ControllerNews::Stop);
        thread_.join();
    }
    ReaderThread(const ReaderThread&) = delete;
    ReaderThread& operator=(const ReaderThread&) = delete;

  private:
    ControllerNewsBox& news_;
    std::thread thread_;
};

// The tick's controller step while the reader's thread reads the controller.
class ReadElsewhere final : public ControllerPollStep {
  public:
    void poll_controller() override {}
    [[nodiscard]] bool has_controller() const override { return false; }
    [[nodiscard]] bool needs_ticks() const override { return false; }
};

std::optional<UpdateOffer> offer_of(std::optional<Release> release) {
    if (!release) return std::nullopt;
    return UpdateOffer{std::move(release->version), std::move(release->url),
                       std::move(release->notes)};
}

}  // namespace

int run_application(const ShellOptions& options) {
    if (!on_main_thread()) fatal("Thumbrover must start on the main thread");

    static int qt_argc = 1;
    static char qt_name[] = "thumbrover";
    static char* qt_argv[] = {qt_name, nullptr};
    std::unique_ptr<QApplication> owned_app;
    if (QApplication::instance() == nullptr) {
        // Posting input, the ring and the cursor all go through X; without a display Qt would
        // only abort with a message about platform plugins.
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') {
            diag("no X display: Thumbrover needs an X11 session (DISPLAY is not set)");
            return 1;
        }
        // Before the toolkit's connection: the engine, the watcher and the main thread each use
        // Xlib from their own thread, which Xlib only allows once this came first.
        init_xlib_threads();
        // In a Wayland session the X server of XWayland is the one whose pointer we move.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
        owned_app = std::make_unique<QApplication>(qt_argc, qt_argv);
    }
    QApplication::setApplicationName(QStringLiteral("Thumbrover"));
    QApplication::setDesktopFileName(QStringLiteral("thumbrover"));
    // A tray program has no main window: closing its last window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    const std::filesystem::path dir = options.app_dir.empty() ? app_dir() : options.app_dir;
    // Started again while running: the running copy shows its Settings window instead.
    if (hand_over_to_running_copy(dir)) return 1;

    DbusNotifier notifier;
    LinkedEngineRequests engine;
    auto login_item = XdgLoginItem::from_environment();
    LinuxDesktop desktop([](const std::string& program, const std::vector<std::string>& args) {
        return spawn_detached(program, args);
    });
    X11InputPermission permission;
    // Looked up now, before the engine thread posts XTEST events on a connection of its own.
    (void)permission.granted();

    // Before the service that posts into it, which goes first at the end.
    ControllerNewsBox controller_news;
    auto gamepad = SdlGamepad::create();
    if (!gamepad) {
        diag("cannot read controllers: " + gamepad.error());
        return 1;
    }
    ControllerPoller poll(**gamepad);
    const bool announcing =
        (*gamepad)->watch([&controller_news](ControllerNews news) { controller_news.post(news); });
    ControllerReader reader(poll, controller_news, announcing,
                            ControllerReaderDeps{steady_clock(), [](std::chrono::nanoseconds d) {
                                                     std::this_thread::sleep_for(d);
                                                 }});
    const ReaderThread reader_thread(reader, controller_news);
    ReadElsewhere controller_step;

    // A plain X window that the engine moves by its id along with the pointer and nobody hears
    // of; the toolkit's window, which hears of every move, only where that cannot be had.
    QtOverlay qt_overlay;
    auto x11_overlay = X11Overlay::create();
    if (!x11_overlay)
        diag("the steering ring follows the pointer less cheaply: " + x11_overlay.error());
    Overlay& overlay =
        x11_overlay ? static_cast<Overlay&>(**x11_overlay) : static_cast<Overlay&>(qt_overlay);
    const std::unique_ptr<Cursor> cursor = make_cursor();
    SteeringCircle circle(overlay, *cursor, steady_clock());

    std::unique_ptr<UpdateCheck> update_check;
    NoUpdateCheck no_update_check;
    if (options.check_for_updates)
        update_check = std::make_unique<UpdateCheck>(
            UpdateCheckDeps{.state_file = dir / update_state_file_name,
                            .clock = nullptr,
                            .wall_now = {},
                            .fetch = {},
                            .start_thread = {}});
    UpdateStep& update_step = update_check ? static_cast<UpdateStep&>(*update_check)
                                           : static_cast<UpdateStep&>(no_update_check);

    std::unique_ptr<ShellWindows> windows;
    TrayMenu tray(
        [&](MenuAction action) {
            switch (action) {
                case MenuAction::Toggle:
                    toggle_action(engine);
                    break;
                case MenuAction::Quit:
                    quit_action(engine);
                    break;
                case MenuAction::OpenSettings:
                    if (windows) windows->open_settings();
                    break;
                case MenuAction::OpenButtons:
                    if (windows) windows->open_buttons();
                    break;
                case MenuAction::OpenSetup:
                    if (windows) windows->open_setup();
                    break;
                case MenuAction::OpenUpdate:
                    if (update_check) open_update(*update_check, desktop);
                    break;
                case MenuAction::None:
                    break;
            }
            // A window that opened wants its live rows refreshed.
            wake_user_interface();
        },
        [&] { return update_check ? offer_of(update_check->current_offer()) : std::nullopt; });

    WindowsStartupCheck startup(permission);
    MainTick tick(TickParts{startup, controller_step, update_step, tray, circle}, steady_clock());
    ShellServices services{engine, login_item, desktop, permission, tick, dir, circle, notifier};
    if (options.make_windows) windows = options.make_windows(services);
    startup.set(windows.get());

    // The tick runs only while something needs it; the engine side wakes it for every change
    // the user interface shows, and opening a window does too.
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(static_cast<int>(MainTick::kActiveInterval.count()));
    const auto run_tick = [&tick, &timer] {
        tick.tick();
        if (const auto next = tick.interval()) {
            const auto ms = static_cast<int>(next->count());
            if (timer.interval() != ms || !timer.isActive()) timer.start(ms);
        } else {
            timer.stop();
        }
    };
    QObject::connect(&timer, &QTimer::timeout, run_tick);
    timer.start();
    std::atomic<bool> wake_pending{false};
    set_user_interface_waker([&wake_pending, &run_tick] {
        // Many changes before the main thread gets round to it make one tick.
        if (wake_pending.exchange(true)) return;
        QMetaObject::invokeMethod(
            qApp,
            [&wake_pending, &run_tick] {
                wake_pending = false;
                run_tick();
            },
            Qt::QueuedConnection);
    });

    // The engine ends the program: when its body returns, the event loop is asked to stop with
    // its exit status. The thread is joined below only after that request, its last act.
    LinuxEngineHost host(notifier);
    std::atomic<int> engine_status{0};
    std::thread engine_thread;
    try {
        engine_thread = std::thread([&host, &notifier, &engine_status, dir] {
            // Named so that `top -H` and the running-cost benchmark can tell the threads apart.
            pthread_setname_np(pthread_self(), "engine");
            const int status = run_engine(host, EngineOptions{.app_dir = dir});
            engine_status = status;
            // A start failure's notification must leave before the process does.
            notifier.flush();
            QMetaObject::invokeMethod(
                qApp, [status] { QCoreApplication::exit(status); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        fatal("failed to spawn thread");
    }

    if (options.on_started) QTimer::singleShot(0, qApp, [&] { options.on_started(tray); });

    QApplication::exec();
    timer.stop();
    // Normally the loop ended because the engine did. When something else ended it (the session
    // closing), the engine is told to finish too, so it still lets go of every held button and
    // key before the process ends.
    quit_flag().store(true);
    engine.send_quit();
    engine_thread.join();
    set_user_interface_waker({});
    // The loop no longer ticks: put the arrow back and take the ring away ourselves.
    circle.update_circle(false);
    return engine_status.load();
}

int run_shell(int /*argc*/, char** /*argv*/) {
    ShellOptions options;
    options.make_windows = make_linux_windows;
    return run_application(options);
}

}  // namespace thumbrover
