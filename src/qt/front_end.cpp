#include "qt/front_end.hpp"

#include "core/app/application.hpp"
#include "qt/status_menu.hpp"

// Qt last: its `emit` macro would otherwise rewrite a name in the engine's headers.
#include <QApplication>
#include <QIcon>
#include <QMetaObject>
#include <QTimer>

namespace thumbrover {

int run_front_end(const AppPorts& ports, const QtShellOptions& options) {
    Application app(ports, options,
                    MainLoop{.post =
                                 [](std::function<void()> work) {
                                     QMetaObject::invokeMethod(qApp, std::move(work),
                                                               Qt::QueuedConnection);
                                 },
                             .end = [](int status) { QCoreApplication::exit(status); }});
    TrayMenu tray([&app](MenuAction action) { app.perform(action); },
                  [&app] { return app.update_offer(); }, options.tray_icon);
    if (options.on_actions) options.on_actions([&app](MenuAction action) { app.perform(action); });
    app.start(tray);

    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(static_cast<int>(MainTick::kActiveInterval.count()));
    QObject::connect(&timer, &QTimer::timeout, [&app, &timer] {
        MainTick& tick = app.tick();
        tick.tick();
        const auto next = static_cast<int>(tick.interval().count());
        if (timer.interval() != next) timer.setInterval(next);
    });
    timer.start();

    if (options.on_started) QTimer::singleShot(0, qApp, [&] { options.on_started(tray); });

    QApplication::exec();
    timer.stop();
    return app.finish();
}

}  // namespace thumbrover
