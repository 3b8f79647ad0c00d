#include "linux/shell.hpp"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "core/common/diag.hpp"
#include "core/common/spawn.hpp"
#include "core/settings/app_folder.hpp"
#include "linux/cursor.hpp"
#include "linux/engine_ports.hpp"
#include "linux/gamepad.hpp"
#include "linux/notifier.hpp"
#include "linux/single_instance.hpp"
#include "linux/system_services.hpp"
#include "linux/windows.hpp"
#include "linux/x11_display.hpp"
#include "platform/shell.hpp"
#include "qt/steering_circle.hpp"

// Qt last: its `emit` macro would otherwise rewrite a name in the engine's headers.
#include <QApplication>

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

std::unique_ptr<Cursor> make_cursor() {
    auto cursor = X11Cursor::create();
    if (cursor) return std::move(cursor).value();
    diag("the cursor cannot be hidden while steering: " + cursor.error());
    return std::make_unique<VisibleCursor>();
}

}  // namespace

int run_application(const QtShellOptions& options) {
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

    QtShellOptions run = options;
    if (run.app_dir.empty()) run.app_dir = app_dir();
    // Started again while running: the running copy shows its Settings window instead.
    if (hand_over_to_running_copy(run.app_dir)) return 0;

    DbusNotifier notifier;
    auto login_item = XdgLoginItem::from_environment();
    LinuxDesktop desktop([](const std::string& program, const std::vector<std::string>& args) {
        return spawn_detached(program, args);
    });
    X11InputPermission permission;
    // Looked up now, before the engine thread posts XTEST events on a connection of its own.
    (void)permission.granted();

    auto gamepad = SdlGamepad::create();
    if (!gamepad) {
        diag("cannot read controllers: " + gamepad.error());
        return 1;
    }
    QtOverlay overlay;
    const std::unique_ptr<Cursor> cursor = make_cursor();
    LinuxEnginePorts engine(notifier);

    return run_front_end(AppPorts{.notifier = notifier,
                                  .login_item = login_item,
                                  .desktop = desktop,
                                  .permission = permission,
                                  .gamepad = **gamepad,
                                  .overlay = overlay,
                                  .cursor = *cursor,
                                  .engine = engine},
                         run);
}

int run_shell(int /*argc*/, char** /*argv*/) {
    QtShellOptions options;
    options.make_windows = make_windows;
    return run_application(options);
}

}  // namespace thumbrover
