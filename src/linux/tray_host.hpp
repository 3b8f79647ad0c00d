#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>

#include "platform/tray_host.hpp"

namespace thumbrover {

// A tray as a Linux desktop offers one: a StatusNotifier host registered with the session bus's
// org.kde.StatusNotifierWatcher (Plasma, GNOME's AppIndicator extension, waybar, most panels),
// followed as hosts and the watcher come and go; or an XEmbed tray that was there at start (Qt
// docks into one that comes later by itself). Nothing is polled: the bus tells of changes.
class StatusNotifierHostWatch final : public QObject, public TrayHostWatch {
    Q_OBJECT

  public:
    // `xembed_tray`: whether an XEmbed tray owned its selection at start.
    explicit StatusNotifierHostWatch(QDBusConnection bus = QDBusConnection::sessionBus(),
                                     bool xembed_tray = false);

    [[nodiscard]] bool available() override { return host_ || xembed_; }
    void on_change(std::function<void(bool)> listener) override { listener_ = std::move(listener); }

  private Q_SLOTS:
    void hosts_changed();

  private:
    [[nodiscard]] bool ask_for_host();

    QDBusConnection bus_;
    bool host_ = false;
    bool xembed_ = false;
    std::function<void(bool)> listener_;
};

// Whether an XEmbed tray owns the tray selection of the default screen now; false outside X11.
[[nodiscard]] bool xembed_tray_present();

}  // namespace thumbrover
