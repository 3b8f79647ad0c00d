#include "linux/notifier.hpp"

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusReply>

#include "core/common/diag.hpp"
#include "core/ui/status_menu.hpp"

namespace thumbrover {
namespace {

constexpr int kCallTimeoutMs = 5000;
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

QString to_qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

DbusNotifier::DbusNotifier() : worker_([this] { run(); }) {}

DbusNotifier::~DbusNotifier() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void DbusNotifier::notify(std::string_view heading, std::string_view body) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(Message{std::string(heading), std::string(body)});
    }
    wake_.notify_one();
}

void DbusNotifier::flush() {
    std::unique_lock lock(mutex_);
    drained_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void DbusNotifier::run() {
    // A private connection belongs to this thread alone; the shared session connection of the
    // application stays untouched by our blocking calls.
    const QString connection_name =
        QStringLiteral("thumbrover-notifier-%1").arg(reinterpret_cast<quintptr>(this), 0, 16);
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, connection_name);
    bool capabilities_known = false;
    bool body_markup = false;

    for (;;) {
        Message message;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) break;
            message = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
        }

        QString error;
        if (!bus.isConnected()) {
            error = bus.lastError().message();
            if (error.isEmpty()) error = QStringLiteral("no session bus");
        } else {
            if (!capabilities_known) {
                QDBusMessage ask = QDBusMessage::createMethodCall(
                    kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
                QDBusReply<QStringList> caps = bus.call(ask, QDBus::Block, kCallTimeoutMs);
                if (caps.isValid()) {
                    capabilities_known = true;
                    body_markup = caps.value().contains(QStringLiteral("body-markup"));
                }
            }
            const std::string body =
                body_markup ? plain_text_as_markup(message.body) : message.body;
            QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                               QStringLiteral("Notify"));
            call << QStringLiteral("Thumbrover") << 0u << QStringLiteral("input-gaming")
                 << to_qt(message.heading) << to_qt(body) << QStringList() << QVariantMap() << -1;
            QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
            if (reply.type() == QDBusMessage::ErrorMessage) error = reply.errorMessage();
        }
        if (!error.isEmpty()) {
            diag(message.heading + ": " + message.body + " (" + error.toStdString() + ")");
        }

        {
            std::lock_guard lock(mutex_);
            busy_ = false;
        }
        drained_.notify_all();
    }
    QDBusConnection::disconnectFromBus(connection_name);
}

}  // namespace thumbrover
