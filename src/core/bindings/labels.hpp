#pragma once

#include <array>
#include <string_view>

#include "core/bindings/actions.hpp"
#include "core/bindings/keys.hpp"

namespace thumbrover {

// The words and symbols the windows show for actions and keys. The settings file's names are the
// same on every platform; what a user reads follows the platform's own conventions: macOS writes
// a shortcut as "⇧⌘T", Linux desktops as "Ctrl+Shift+T".
struct PlatformLabels {
    // By `ActionKind` number, the shortcut kind left out.
    std::array<std::string_view, kFixedActionCount> actions;
    // By key kind; empty for the kinds whose label comes from their parameter (Letter, Digit, F,
    // Symbol, Keypad).
    std::array<std::string_view, kKeyKindCount> keys;
    // Between the labels of a shortcut's keys.
    std::string_view key_separator;
    // How the settings file's comment names the Meta modifier among the modifiers it accepts.
    std::string_view meta_file_name;
    // The key that, with the platform's command modifier, opens Settings from the open menu;
    // empty where a tray menu cannot take such keys.
    std::string_view settings_key_equivalent;
    std::string_view quit_key_equivalent;
    // Whether the menu's first line names the connected controller; otherwise it says "On" or
    // "Off".
    bool status_names_controller;
};

[[nodiscard]] const PlatformLabels& mac_labels();
// Linux and the other free desktops.
[[nodiscard]] const PlatformLabels& linux_labels();
// The labels of the platform this program is built for.
[[nodiscard]] const PlatformLabels& native_labels();

}  // namespace thumbrover
