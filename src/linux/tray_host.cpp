#include "linux/tray_host.hpp"

#include <xcb/xcb.h>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace thumbrover {
namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kWatcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");

}  // namespace

StatusNotifierHostWatch::StatusNotifierHostWatch(QDBusConnection bus, bool xembed_tray)
    : bus_(std::move(bus)), xembed_(xembed_tray) {
    auto* service = new QDBusServiceWatcher(kWatcherService, bus_,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(service, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &StatusNotifierHostWatch::hosts_changed);
    for (const char* name : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus_.connect(kWatcherService, kWatcherPath, kWatcherInterface, QString::fromLatin1(name),
                     this, SLOT(hosts_changed()));
    host_ = ask_for_host();
}

bool StatusNotifierHostWatch::ask_for_host() {
    if (!bus_.isConnected()) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kWatcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    // The bus answers for a missing watcher at once; a watcher that hangs must not hold up the
    // start for long.
    const QDBusMessage reply = bus_.call(get, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

void StatusNotifierHostWatch::hosts_changed() {
    const bool before = available();
    host_ = ask_for_host();
    if (available() != before && listener_) listener_(available());
}

bool xembed_tray_present() {
    auto* x11 = qGuiApp == nullptr ? nullptr
                                   : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) return false;
    // Qt's offscreen platform answers for X11 too, without a connection.
    xcb_connection_t* connection = x11->connection();
    if (connection == nullptr || xcb_connection_has_error(connection) != 0) return false;
    const char* name = "_NET_SYSTEM_TRAY_S0";
    const xcb_intern_atom_cookie_t atom_cookie =
        xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(std::strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, atom_cookie, nullptr), &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE) return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom),
                                      nullptr),
        &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace thumbrover
