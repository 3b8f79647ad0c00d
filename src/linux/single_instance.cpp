#include "linux/single_instance.hpp"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QTimer>
#include <string>
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
    if (!bus_.registerObject(QString::fromLatin1(kInstancePath), this,
                             QDBusConnection::ExportScriptableSlots)) {
        diag("could not offer " + service_.toStdString() + " on the session bus");
        return;
    }
    if (!bus_.registerService(service_)) {
        bus_.unregisterObject(QString::fromLatin1(kInstancePath));
        diag("could not offer " + service_.toStdString() +
             " on the session bus: " + bus_.lastError().message().toStdString());
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

bool instance_lock_held(const std::filesystem::path& app_dir) {
    auto lock = InstanceLock::acquire(app_dir);
    return !lock && lock.error() == kAlreadyRunning;
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

bool hand_over_to_running_copy(const std::filesystem::path& app_dir) {
    if (!instance_lock_held(app_dir)) return false;
    if (!ask_running_copy_to_show_settings(QDBusConnection::sessionBus())) return false;
    diag(kAlreadyRunning);
    return true;
}

}  // namespace thumbrover
