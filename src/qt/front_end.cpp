#include "qt/front_end.hpp"

#include "core/app/application.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>

#include "core/common/steps.hpp"
#include "core/engine/link.hpp"
#include "qt/status_menu.hpp"

// Qt last: its `emit` macro would otherwise rewrite a name in the engine's headers.
#include <QApplication>
#include <QIcon>
#include <QMetaObject>
#include <QTimer>

namespace thumbrover {
namespace {

// The application while its event loop runs, and the thread that runs that loop.
std::atomic<Application*> g_running{nullptr};
std::atomic<std::thread::id> g_main_thread{};

// A toolkit or library that calls exit() from inside the event loop (Qt's X11 platform does when
// its connection breaks) would have exit's teardown destroy what the engine and the other threads
// still use. Registered once, just before the first loop runs, so it runs before the teardown of
// everything made until then.
extern "C" void end_in_order_at_exit() {
    if (g_running.load() == nullptr) return;
    if (std::this_thread::get_id() == g_main_thread.load()) end_program_now(1);
    // Another thread cannot end the application in order (it may be one the application joins):
    // it ends the process at once rather than let exit's teardown run under the others.
    std::fflush(nullptr);
    std::_Exit(1);
}

}  // namespace

void end_program_now(int status) {
    if (Application* app = g_running.exchange(nullptr)) {
        // The end in order is bounded: an engine stuck in a call that never returns must not
        // keep the process from ending. The process ends with this thread's object in place.
        static std::optional<std::thread> deadline;
        deadline.emplace([status] {
            std::this_thread::sleep_for(std::chrono::seconds(5));
            std::fflush(nullptr);
            std::_Exit(status);
        });
        static_cast<void>(app->finish());
    }
    std::fflush(nullptr);
    std::_Exit(status);
}

int run_front_end(const AppPorts& ports, const QtShellOptions& options) {
    Application app(ports, options,
                    MainLoop{.post =
                                 [](std::function<void()> work) {
                                     QMetaObject::invokeMethod(qApp, std::move(work),
                                                               Qt::QueuedConnection);
                                 },
                             .end = [](int status) { QCoreApplication::exit(status); }});
    TrayMenu tray([&app](MenuAction action) { app.perform(action); },
                  [&app] { return app.update_offer(); }, options.tray_icon, options.on_active);
    if (options.on_actions) options.on_actions([&app](MenuAction action) { app.perform(action); });
    app.start(tray);

    // The tick runs only while something needs it; the engine side wakes it for every change
    // the user interface shows, and opening a window does too.
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(static_cast<int>(MainTick::kActiveInterval.count()));
    const auto run_tick = [&app, &timer] {
        MainTick& tick = app.tick();
        tick.tick();
        if (const auto next = tick.interval()) {
            // Counted from now rather than from when this tick was due, so that a tick for
            // something due an interval after this one never comes a little early.
            timer.start(static_cast<int>(next->count()));
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

    // Without a tray the program would have no presence on screen: Settings opens instead, once
    // no tray has come for a while (at start, or after the one there went away).
    QTimer no_tray;
    no_tray.setSingleShot(true);
    no_tray.setInterval(static_cast<int>(options.tray_grace.count()));
    QObject::connect(&no_tray, &QTimer::timeout, [&app] { app.tray_missing(); });
    if (options.tray_host) {
        const bool present = options.tray_host->available();
        tray.set_host_available(present);
        if (!present) no_tray.start();
        options.tray_host->on_change([&tray, &no_tray](bool available) {
            if (available) {
                no_tray.stop();
                tray.set_host_available(true);
            } else {
                no_tray.start();
            }
        });
    }

    if (options.on_started) QTimer::singleShot(0, qApp, [&] { options.on_started(tray); });
    QTimer::singleShot(0, qApp, [] { reached_step("event loop running"); });

    static std::once_flag exit_guard;
    std::call_once(exit_guard, [] { std::atexit(end_in_order_at_exit); });
    g_main_thread = std::this_thread::get_id();
    g_running = &app;
    QApplication::exec();
    g_running = nullptr;
    if (options.tray_host) options.tray_host->on_change({});
    timer.stop();
    const int status = app.finish();
    set_user_interface_waker({});
    return status;
}

}  // namespace thumbrover
