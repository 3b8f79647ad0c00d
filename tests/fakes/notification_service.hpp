#pragma once

// Include "fakes/moc_notification_service.cpp" once in a test source that uses this header.

#include <QObject>
#include <QSemaphore>
#include <QStringList>
#include <QThread>
#include <QVariantMap>
#include <QtDBus/QDBusConnection>
#include <mutex>
#include <vector>

namespace thumbrover::fakes {

struct ReceivedNotification {
    QString app;
    QString icon;
    QString summary;
    QString body;
};

// A stand-in for the desktop's notification service that keeps what it is sent; with `markup`
// it says it shows body markup.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    explicit FakeNotificationService(bool markup) : markup_(markup) {}

    std::vector<ReceivedNotification> received() {
        std::lock_guard lock(mutex_);
        return received_;
    }

  public slots:
    Q_SCRIPTABLE QStringList GetCapabilities() {
        return markup_ ? QStringList{QStringLiteral("body"), QStringLiteral("body-markup")}
                       : QStringList{QStringLiteral("body")};
    }
    Q_SCRIPTABLE uint Notify(const QString& app, uint /*replaces*/, const QString& icon,
                             const QString& summary, const QString& body,
                             const QStringList& /*actions*/, const QVariantMap& /*hints*/,
                             int /*timeout*/) {
        std::lock_guard lock(mutex_);
        received_.push_back({app, icon, summary, body});
        return static_cast<uint>(received_.size());
    }

  private:
    bool markup_;
    std::mutex mutex_;
    std::vector<ReceivedNotification> received_;
};

// Serves a FakeNotificationService on the session bus from a thread of its own, so that the
// program's blocking calls to it are answered, from construction until destruction.
class NotificationServiceThread final : public QThread {
  public:
    explicit NotificationServiceThread(bool markup = false) : service_(markup) {
        service_.moveToThread(this);
        start();
        ready_.acquire();
    }
    ~NotificationServiceThread() override {
        quit();
        wait();
    }
    NotificationServiceThread(const NotificationServiceThread&) = delete;
    NotificationServiceThread& operator=(const NotificationServiceThread&) = delete;

    FakeNotificationService& service() { return service_; }
    // Whether it took the service's name; a session bus of the test's own is free to give it.
    bool registered() const { return registered_; }

  protected:
    void run() override {
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stand-in"));
        registered_ = bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                         &service_, QDBusConnection::ExportScriptableSlots) &&
                      bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
        ready_.release();
        exec();
        bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("stand-in"));
    }

  private:
    FakeNotificationService service_;
    bool registered_ = false;
    QSemaphore ready_;
};

}  // namespace thumbrover::fakes
