#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/bindings/labels.hpp"
#include "core/engine/link.hpp"
#include "core/update/release.hpp"

namespace thumbrover {

// A newer release offered by the update check. Its notes are plain text from the network, never
// to be shown as markup.
using UpdateOffer = Release;

// What choosing a menu item does; views map each to their own callback.
enum class MenuAction : std::uint8_t {
    None = 0,  // an information line, shown disabled
    Toggle,
    OpenSettings,
    OpenButtons,
    OpenSetup,
    OpenUpdate,
    Quit,
};

enum class MenuItemKind : std::uint8_t { Info = 0, Command = 1, Separator = 2 };

struct MenuItem {
    MenuItemKind kind = MenuItemKind::Info;
    std::string title;
    MenuAction action = MenuAction::None;
    // A single character used with the platform's command modifier ("," for Settings), or empty.
    std::string_view key_equivalent;
    bool checked = false;
    // Plain text; empty means no tooltip. Views whose tooltips interpret markup must escape it
    // (`plain_text_as_markup`).
    std::string tooltip;

    friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

// Everything the status-bar icon and its menu show.
struct StatusMenu {
    bool active = false;         // on and connected: the filled icon
    std::string_view icon_name;  // SF Symbols name; other platforms pick their icon by `active`
    std::string tooltip;         // plain text, two lines
    std::vector<MenuItem> items;

    friend bool operator==(const StatusMenu&, const StatusMenu&) = default;
};

inline constexpr std::string_view kIconActive = "gamecontroller.fill";
inline constexpr std::string_view kIconInactive = "gamecontroller";
// The accessibility description of the icon.
inline constexpr std::string_view kIconDescription = "Thumbrover";

// "Controller not connected", "Off" or "On".
[[nodiscard]] std::string_view status_text(const EngineStatus& status);
// "Battery: 85%", or "Battery: unknown" without a reading.
[[nodiscard]] std::string battery_line(const EngineStatus& status);

// "Buttons for VLC": shown below the battery line while an application's own bindings are in
// force, so that a button doing something unexpected is explained.
[[nodiscard]] std::string profile_line(std::string_view name);

// `labels` give the menu's key equivalents: a tray menu on Linux takes no such keys.
[[nodiscard]] StatusMenu build_status_menu(const EngineStatus& status,
                                           const std::optional<UpdateOffer>& offer,
                                           const PlatformLabels& labels = native_labels());

// Keeps the status menu and decides when it must be rebuilt: only when the engine's change
// counter or the offered update moved, so the 250-a-second refresh costs one counter read and one
// comparison otherwise.
class StatusMenuModel final {
  public:
    // `read_status` is called (under the engine link's lock, by the caller's choice) only when a
    // rebuild is due. Returns whether `menu()` changed and must be shown afresh.
    template <class ReadStatus>
    bool refresh(std::uint64_t change_count, const std::optional<UpdateOffer>& offer,
                 ReadStatus&& read_status) {
        if (change_count == last_count_ && offer == last_offer_) return false;
        last_count_ = change_count;
        last_offer_ = offer;
        menu_ = build_status_menu(std::forward<ReadStatus>(read_status)(), offer);
        return true;
    }

    bool refresh(const EngineLink& link, const std::optional<UpdateOffer>& offer) {
        return refresh(link.change_count(), offer, [&link] { return link.status(); });
    }

    [[nodiscard]] const StatusMenu& menu() const { return menu_; }

  private:
    // The engine's counter starts at 1, so the first refresh always builds.
    std::uint64_t last_count_ = 0;
    std::optional<UpdateOffer> last_offer_;
    StatusMenu menu_;
};

// Escapes plain text for a view that would otherwise read it as markup: "&", "<", ">" and quotes
// become entities and line feeds become "<br>". The result is meant to be shown as rich text.
[[nodiscard]] std::string plain_text_as_markup(std::string_view text);

}  // namespace thumbrover
