#include "core/ui/status_menu.hpp"

namespace thumbrover {

std::string_view status_text(const EngineStatus& status) {
    if (!status.connected) return "Controller not connected";
    return status.enabled ? "On" : "Off";
}

std::string battery_line(const EngineStatus& status) {
    return "Battery: " + (status.battery ? *status.battery : std::string("unknown"));
}

std::string profile_line(std::string_view name) {
    return "Buttons for " + std::string(name);
}

namespace {

MenuItem info(std::string title) {
    return MenuItem{MenuItemKind::Info, std::move(title), MenuAction::None, {}, false, {}};
}

MenuItem command(std::string title, MenuAction action, std::string_view key = {}) {
    return MenuItem{MenuItemKind::Command, std::move(title), action, key, false, {}};
}

MenuItem separator() {
    return MenuItem{MenuItemKind::Separator, {}, MenuAction::None, {}, false, {}};
}

}  // namespace

StatusMenu build_status_menu(const EngineStatus& status, const std::optional<UpdateOffer>& offer,
                             const PlatformLabels& labels) {
    StatusMenu menu;
    menu.active = status.enabled && status.connected;
    menu.icon_name = menu.active ? kIconActive : kIconInactive;
    menu.tooltip = "thumbrover: " + std::string(status_text(status)) + "\n" + battery_line(status);

    auto& items = menu.items;
    items.push_back(info(std::string(status_text(status))));
    items.push_back(info(battery_line(status)));
    if (status.profile) items.push_back(info(profile_line(*status.profile)));
    if (offer) {
        MenuItem update =
            command("Update Available: " + offer->version + "\u2026", MenuAction::OpenUpdate);
        update.tooltip = offer->notes;
        items.push_back(std::move(update));
    }
    items.push_back(separator());
    MenuItem enabled = command("Enabled", MenuAction::Toggle);
    enabled.checked = status.enabled;
    items.push_back(std::move(enabled));
    items.push_back(
        command("Settings\u2026", MenuAction::OpenSettings, labels.settings_key_equivalent));
    items.push_back(command("Customize Buttons\u2026", MenuAction::OpenButtons));
    items.push_back(command("Setup & Permissions\u2026", MenuAction::OpenSetup));
    items.push_back(separator());
    items.push_back(command("Quit Thumbrover", MenuAction::Quit, labels.quit_key_equivalent));
    return menu;
}

std::string plain_text_as_markup(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            case '\n':
                out += "<br>";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace thumbrover
