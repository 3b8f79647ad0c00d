// KDE Plasma: KWin publishes each input device it uses as an org.kde.KWin.InputDevice object
// named after its event node, whose `pointerAccelerationProfileFlat` property can be written.

#include <QString>
#include <QVariant>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVariant>
#include <chrono>
#include <thread>

#include "linux/pointer_acceleration.hpp"
#include "linux/uinput_events.hpp"

namespace thumbrover {
namespace {

const QString kService = QStringLiteral("org.kde.KWin");
const QString kInterface = QStringLiteral("org.kde.KWin.InputDevice");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int kCallTimeoutMs = 2000;

class KWinSwitch final : public FlatPointerSwitch {
  public:
    [[nodiscard]] std::string_view desktop() const override { return "KWin"; }

    [[nodiscard]] Result<void> turn_off(const std::string& node) override {
        const std::size_t slash = node.rfind('/');
        if (node.empty() || slash == std::string::npos)
            return Error{"our pointer's device node is unknown"};
        const QString path = QStringLiteral("/org/kde/KWin/InputDevice/") +
                             QString::fromStdString(node.substr(slash + 1));
        const QString connection_name = QStringLiteral("thumbrover-kwin");
        Result<void> result;
        {
            QDBusConnection bus =
                QDBusConnection::connectToBus(QDBusConnection::SessionBus, connection_name);
            result = bus.isConnected() ? set_flat(bus, path) : Error{"no session bus"};
        }
        QDBusConnection::disconnectFromBus(connection_name);
        return result;
    }

  private:
    static Result<void> set_flat(QDBusConnection& bus, const QString& path) {
        // KWin takes a new device up a moment after the kernel made it. The object's name is
        // checked too, so that no other device is ever changed.
        QDBusMessage get =
            QDBusMessage::createMethodCall(kService, path, kProperties, QStringLiteral("Get"));
        get << kInterface << QStringLiteral("name");
        QString name;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        for (;;) {
            const QDBusMessage reply = bus.call(get, QDBus::Block, kCallTimeoutMs);
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                name = reply.arguments().front().value<QDBusVariant>().variant().toString();
                break;
            }
            if (std::chrono::steady_clock::now() >= until)
                return Error{"it never listed our pointer (" + reply.errorMessage().toStdString() +
                             ")"};
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (name.toStdString() != kUinputPointerName)
            return Error{"its device " + path.toStdString() + " is not our pointer"};
        QDBusMessage set =
            QDBusMessage::createMethodCall(kService, path, kProperties, QStringLiteral("Set"));
        set << kInterface << QStringLiteral("pointerAccelerationProfileFlat")
            << QVariant::fromValue(QDBusVariant(true));
        const QDBusMessage reply = bus.call(set, QDBus::Block, kCallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage)
            return Error{"it refused: " + reply.errorMessage().toStdString()};
        return {};
    }
};

}  // namespace

std::unique_ptr<FlatPointerSwitch> make_kwin_switch() {
    return std::make_unique<KWinSwitch>();
}

}  // namespace thumbrover
