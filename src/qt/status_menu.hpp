#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "core/app/tick.hpp"
#include "core/ui/status_menu.hpp"

class QIcon;
class QMenu;
class QSystemTrayIcon;

namespace thumbrover {

// A menu title for Qt, where "&" marks a keyboard mnemonic: texts from outside (a version number
// from the network) must show their ampersands as written.
[[nodiscard]] QString menu_title(std::string_view title);

// The status menu as a tray icon (StatusNotifierItem or XEmbed, whichever the desktop offers).
// Everything it shows comes from the status menu model; it is rebuilt only when the model says
// so. Without a tray host the menu is still kept up to date, it just has nowhere to show.
// Main thread only.
class TrayMenu final : public MenuRefresh {
  public:
    using ActionHandler = std::function<void(MenuAction)>;
    using OfferSource = std::function<std::optional<UpdateOffer>()>;
    // The icon for the program's state (on with a controller, or not); a null icon keeps the one
    // shown. None: `tray_icon`.
    using IconSource = std::function<QIcon(bool active)>;
    // Told whenever the program's state changes between on with a controller and not.
    using ActiveChanged = std::function<void(bool active)>;

    TrayMenu(ActionHandler on_action, OfferSource offer, IconSource icon = {},
             ActiveChanged on_active = {});
    ~TrayMenu() override;
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;

    void refresh_menu(const EngineLink& link) override;

    // Whether a tray can show the icon. Until one can, the icon is not made at all: Qt decides
    // once, when the first icon is made, whether to use a StatusNotifier host, and would
    // otherwise never take up one that appears later. On at first.
    void set_host_available(bool available);

    // What is shown now (empty before the first refresh).
    [[nodiscard]] const StatusMenu& shown() const { return model_.menu(); }
    [[nodiscard]] int rebuilds() const { return rebuilds_; }
    // Null before the first refresh.
    [[nodiscard]] QMenu* menu() const { return menu_.get(); }
    [[nodiscard]] QSystemTrayIcon* tray() const { return tray_.get(); }

  private:
    void show(const StatusMenu& menu);

    ActionHandler on_action_;
    OfferSource offer_;
    IconSource icon_;
    ActiveChanged on_active_;
    StatusMenuModel model_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<QMenu> menu_;
    std::optional<bool> icon_active_;
    std::optional<bool> reported_active_;
    int rebuilds_ = 0;
    bool host_available_ = true;
};

}  // namespace thumbrover
