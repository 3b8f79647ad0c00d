#include "qt/status_menu.hpp"

#include <QAction>
#include <QCursor>
#include <QKeySequence>
#include <QMenu>
#include <QSystemTrayIcon>

#include "qt/tray_icons.hpp"

namespace thumbrover {
namespace {

QString qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Qt guesses whether a tooltip is rich text; plain text from outside is escaped and marked as
// rich text explicitly, so it shows literally whatever it contains.
QString plain_tooltip(const std::string& text) {
    return QStringLiteral("<qt>") + qstring(plain_text_as_markup(text)) + QStringLiteral("</qt>");
}

}  // namespace

QString menu_title(std::string_view title) {
    QString text = qstring(title);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return text;
}

TrayMenu::TrayMenu(ActionHandler on_action, OfferSource offer, IconSource icon,
                   ActiveChanged on_active)
    : on_action_(std::move(on_action)),
      offer_(std::move(offer)),
      icon_(std::move(icon)),
      on_active_(std::move(on_active)) {}

TrayMenu::~TrayMenu() {
    if (tray_) tray_->setContextMenu(nullptr);
}

void TrayMenu::refresh_menu(const EngineLink& link) {
    if (!model_.refresh(link, offer_ ? offer_() : std::nullopt)) return;
    show(model_.menu());
}

void TrayMenu::set_host_available(bool available) {
    host_available_ = available;
    // The menu built so far shows as soon as there is a tray for it.
    if (available && !tray_ && rebuilds_ > 0) show(model_.menu());
}

void TrayMenu::show(const StatusMenu& status) {
    ++rebuilds_;
    if (on_active_ && reported_active_ != status.active) {
        reported_active_ = status.active;
        on_active_(status.active);
    }
    if (!tray_ && !host_available_) return;
    if (!tray_) {
        tray_ = std::make_unique<QSystemTrayIcon>();
        // Hosts that do not open the menu on a left click (XEmbed trays) get it opened here.
        QObject::connect(tray_.get(), &QSystemTrayIcon::activated,
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             if (reason == QSystemTrayIcon::Trigger && menu_)
                                 menu_->popup(QCursor::pos());
                         });
    }
    if (icon_active_ != status.active) {
        const QIcon icon = icon_ ? icon_(status.active) : tray_icon(status.active);
        if (!icon.isNull()) {
            tray_->setIcon(icon);
            icon_active_ = status.active;
        }
    }
    tray_->setToolTip(qstring(status.tooltip));

    auto menu = std::make_unique<QMenu>();
    menu->setToolTipsVisible(true);
    for (const MenuItem& item : status.items) {
        if (item.kind == MenuItemKind::Separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(menu_title(item.title));
        if (item.kind == MenuItemKind::Info || item.action == MenuAction::None) {
            action->setEnabled(false);
            continue;
        }
        if (item.action == MenuAction::Toggle) {
            action->setCheckable(true);
            action->setChecked(item.checked);
        }
        if (!item.key_equivalent.empty())
            action->setShortcut(
                QKeySequence(QStringLiteral("Ctrl+") + qstring(item.key_equivalent)));
        if (!item.tooltip.empty()) action->setToolTip(plain_tooltip(item.tooltip));
        const MenuAction what = item.action;
        // Queued: the handler may rebuild this very menu, which must not happen inside its own
        // signal.
        QObject::connect(
            action, &QAction::triggered, action,
            [this, what] {
                if (on_action_) on_action_(what);
            },
            Qt::QueuedConnection);
    }
    tray_->setContextMenu(menu.get());
    // The old menu may be open or inside its own signal right now: let the event loop free it.
    if (menu_) menu_.release()->deleteLater();
    menu_ = std::move(menu);
    // Shown even when no tray host is there yet: started at login, the program often comes up
    // before the panel, and Qt docks the icon once a tray appears.
    if (!tray_->isVisible()) tray_->show();
}

}  // namespace thumbrover
