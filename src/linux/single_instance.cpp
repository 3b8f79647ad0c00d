#include "linux/single_instance.hpp"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QEventLoop>
#include <QTimer>
#include <string>
#include <thread>
#include <utility>

#include "core/common/diag.hpp"
#include "core/settings/app_folder.hpp"

namespace thumbrover {

SettingsRequestListener::SettingsRequestListener(std::function<void()> show_settings,
                                                 QString service, QDBusConnection bus)
    : show_settings_(std::move(show_settings)), service_(std::move(service)), bus_(std::move(bus)) {
    if (!bus_.isConnected()) {
        diag("no session bus, so starting Thumbrover again cannot show its settings");
        return;
    }
    const auto cannot_offer = [this](const QString& reason) {
        diag("could not offer " + service_.toStdString() +
             " on the session bus: " + reason.toStdString());
    };
    if (!bus_.registerObject(QString::fromLatin1(kInstancePath), this,
                             QDBusConnection::ExportScriptableSlots)) {
        cannot_offer(QStringLiteral("another object is already offered at ") +
                     QString::fromLatin1(kInstancePath));
        return;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus_.interface()->registerService(service_, QDBusConnectionInterface::QueueService,
                                          QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() == QDBusConnectionInterface::ServiceNotRegistered) {
        bus_.unregisterObject(QString::fromLatin1(kInstancePath));
        cannot_offer(reply.isValid() ? QStringLiteral("the bus refused the name")
                                     : reply.error().message());
        return;
    }
    listening_ = true;
}

SettingsRequestListener::~SettingsRequestListener() {
    if (!listening_) return;
    bus_.unregisterService(service_);
    bus_.unregisterObject(QString::fromLatin1(kInstancePath));
}

void SettingsRequestListener::ShowSettings() {
    if (show_settings_) show_settings_();
}

bool ask_running_copy_to_show_settings(QDBusConnection bus, QString service,
                                       std::chrono::milliseconds timeout) {
    if (!bus.isConnected()) return false;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        service, QString::fromLatin1(kInstancePath), QString::fromLatin1(kInstanceInterface),
        QStringLiteral("ShowSettings"));
    // The answer is awaited in an event loop of our own rather than by blocking, so a caller on
    // the same thread as the listener (a test) is answered too.
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, static_cast<int>(timeout.count())));
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeout + std::chrono::milliseconds(100), &loop, &QEventLoop::quit);
    if (!watcher.isFinished()) loop.exec();
    return watcher.isFinished() && !watcher.isError();
}

bool hand_over_to_running_copy(QDBusConnection bus, QString service,
                               std::chrono::milliseconds patience) {
    if (!bus.isConnected()) return false;
    // A copy that took the lock a moment ago offers the name only once it has built its windows.
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!bus.interface()->isServiceRegistered(service).value()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ask_running_copy_to_show_settings(bus, service)) return false;
    diag(kAlreadyRunning);
    return true;
}

}  // namespace thumbrover
