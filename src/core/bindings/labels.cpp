#include "core/bindings/labels.hpp"

namespace thumbrover {
namespace {

constexpr PlatformLabels kMacLabels{
    .actions = {"Nothing", "Left click", "Right click", "Middle click", "Precise pointer mode",
                "Switch apps", "Launcher / Spotlight", "On-screen keyboard (Linux)",
                "Mission Control / Overview", "Play / pause", "Next track", "Previous track",
                "Volume up", "Volume down", "Mute"},
    .keys = {"\u2191",   "\u2193",     "\u2190", "\u2192",    "Esc",       "Tab",
             "Return",   "Space",      "\u232B", "\u2326",    "Home",      "End",
             "Page Up",  "Page Down",  "",       "",          "",          "\u2303",
             "\u21E7",   "\u2325",     "\u2318", "Playpause", "Nexttrack", "Previoustrack",
             "Volumeup", "Volumedown", "Mute",   "Insert",    "Print",     "",
             ""},
    .key_separator = "",
    .meta_file_name = "cmd",
    .settings_key_equivalent = ",",
    .quit_key_equivalent = "q",
    .status_names_controller = false,
};

constexpr PlatformLabels kLinuxLabels{
    .actions = {"Nothing", "Left click", "Right click", "Middle click", "Precise pointer mode",
                "Switch apps", "App launcher", "On-screen keyboard", "Overview", "Play / pause",
                "Next track", "Previous track", "Volume up", "Volume down", "Mute"},
    .keys = {"Up",        "Down",        "Left",      "Right",      "Esc",        "Tab",
             "Enter",     "Space",       "Backspace", "Delete",     "Home",       "End",
             "Page Up",   "Page Down",   "",          "",           "",           "Ctrl",
             "Shift",     "Alt",         "Super",     "Play/Pause", "Next Track", "Previous Track",
             "Volume Up", "Volume Down", "Mute",      "Insert",     "Print",      "",
             ""},
    .key_separator = "+",
    .meta_file_name = "super",
    .settings_key_equivalent = "",
    .quit_key_equivalent = "",
    .status_names_controller = true,
};

// A label left out of a table (a kind or an action added later) would show as nothing.
constexpr bool complete(const PlatformLabels& labels) {
    for (const std::string_view label : labels.actions)
        if (label.empty()) return false;
    for (std::size_t kind = 0; kind < kKeyKindCount; ++kind)
        if (labels.keys[kind].empty() != key_kind_has_param(static_cast<KeyKind>(kind)))
            return false;
    return true;
}
static_assert(complete(kMacLabels));
static_assert(complete(kLinuxLabels));

}  // namespace

const PlatformLabels& mac_labels() {
    return kMacLabels;
}

const PlatformLabels& linux_labels() {
    return kLinuxLabels;
}

}  // namespace thumbrover
