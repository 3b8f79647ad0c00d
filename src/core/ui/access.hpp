#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/system_services.hpp"

namespace thumbrover {

// Whether the program could post input events when it started. The system applies a newly granted
// permission to a running process only after a restart, so the windows compare the current answer
// with this one to tell "granted" from "granted, restart needed". Set once; later records are
// ignored.
class TrustAtStart final {
  public:
    // Records `trusted` unless an answer is already recorded; returns the recorded answer.
    bool record(bool trusted);
    [[nodiscard]] std::optional<bool> get() const;

  private:
    // -1: not recorded; 0 or 1: the answer.
    std::atomic<std::int8_t> value_{-1};
};

// The process-wide cell, shared by the Setup and Settings windows.
[[nodiscard]] TrustAtStart& trust_at_start();

// The three states of an input-permission row.
enum class AccessState : std::uint8_t {
    Granted = 0,        // allowed and in effect
    RestartNeeded = 1,  // allowed since start; takes effect after a restart
    Missing = 2,        // not allowed
};

[[nodiscard]] AccessState access_state(bool trusted_now, std::optional<bool> trusted_at_start);

// The colour a status symbol is tinted with; views map these to their palette.
enum class Tint : std::uint8_t { Green = 0, Orange = 1, Secondary = 2 };

// A status symbol: its SF Symbols name, the freedesktop icon-theme name of the same picture
// (empty: none), its tint, and what it says, for tooltips and screen readers.
struct StatusSymbol {
    std::string_view name;
    Tint tint;
    std::string_view theme_name;
    std::string_view description;

    friend bool operator==(const StatusSymbol&, const StatusSymbol&) = default;
};

inline constexpr StatusSymbol kSymbolGranted{"checkmark.circle.fill", Tint::Green, "emblem-ok",
                                             "Done"};
inline constexpr StatusSymbol kSymbolRestart{"arrow.clockwise.circle.fill", Tint::Orange,
                                             "view-refresh", "Restart needed"};
inline constexpr StatusSymbol kSymbolWarning{"exclamationmark.triangle.fill", Tint::Orange,
                                             "dialog-warning", "Needs attention"};
inline constexpr StatusSymbol kSymbolPending{"circle.dashed", Tint::Secondary, "", "Not yet"};

[[nodiscard]] StatusSymbol access_symbol(AccessState state);

// How the windows and the start-up line speak of the permission to post input. macOS calls it
// Accessibility and grants it in a settings pane; on X11 nothing is granted: the X display
// either accepts input from the program (through XTEST) or does not.
struct PermissionWording {
    std::string_view setup_title;  // the Setup window's row
    std::string_view setup_granted;
    std::string_view setup_restart;
    std::string_view setup_missing;
    std::string_view settings_on;  // the Settings window's row
    std::string_view settings_restart;
    std::string_view settings_off;
    std::string_view log_granted;  // the first tick's line on standard error
    std::string_view log_missing;
    // Whether a button beside a missing permission leads to where it is granted; without one,
    // the missing texts say what to do instead.
    bool has_settings_pane;
    // Whether the program takes up a permission given while it runs, so that no restart is ever
    // needed (/dev/uinput on Linux); the system applies macOS's Accessibility only at the next
    // start.
    bool takes_effect_at_once = false;
};

// The answer recorded at start, as the permission rows weigh it: none where a permission given
// later takes effect at once.
[[nodiscard]] inline std::optional<bool> weighed_start(std::optional<bool> trusted_at_start,
                                                       const PermissionWording& wording) {
    return wording.takes_effect_at_once ? std::nullopt : trusted_at_start;
}

inline constexpr PermissionWording kAccessibilityWording{
    .setup_title = "Accessibility",
    .setup_granted = "Allowed. Thumbrover can move the pointer, click and press keys.",
    .setup_restart = "Allowed. Restart Thumbrover to finish.",
    .setup_missing =
        "Needed to move the pointer, click and press keys. Click Open Settings and "
        "switch on Thumbrover.",
    .settings_on = "Accessibility access is on",
    .settings_restart = "Accessibility allowed \u2013 restart Thumbrover to use it",
    .settings_off = "Accessibility access is off",
    .log_granted = "Accessibility access granted",
    .log_missing = "Accessibility access missing, the pointer will not move",
    .has_settings_pane = true,
};

inline constexpr PermissionWording kXDisplayWording{
    .setup_title = "Input to the X display",
    .setup_granted =
        "Allowed. The X display accepts input from Thumbrover, so it can move the "
        "pointer, click and press keys.",
    .setup_restart = "Allowed. Restart Thumbrover to finish.",
    .setup_missing =
        "Needed to move the pointer, click and press keys, but this X display does "
        "not accept input from other programs. Log in to an X11 session (or use "
        "Xwayland) whose X server has the XTEST extension, then start Thumbrover "
        "again.",
    .settings_on = "The X display accepts input from Thumbrover",
    .settings_restart = "The X display accepts input \u2013 restart Thumbrover to use it",
    .settings_off = "The X display does not accept input from Thumbrover",
    .log_granted = "the X display accepts input from Thumbrover",
    .log_missing =
        "the X display does not accept input from Thumbrover (it has no XTEST "
        "extension), the pointer will not move",
    .has_settings_pane = false,
};

// The login-item checkbox of the Settings and Setup windows. An item awaiting approval shows as
// neither on nor off: it is registered, but will not start until the user allows it in the
// system's list of login items, which clicking the box opens.
enum class CheckMark : std::uint8_t { Unchecked = 0, Checked = 1, Mixed = 2 };

struct LoginCheckbox {
    CheckMark mark = CheckMark::Unchecked;
    // Plain text; empty for none.
    std::string_view tooltip;

    friend bool operator==(const LoginCheckbox&, const LoginCheckbox&) = default;
};

inline constexpr std::string_view kLoginAwaitingApproval =
    "Switched off in System Settings \u203a General \u203a Login Items. Click to open them and "
    "allow Thumbrover there.";

[[nodiscard]] LoginCheckbox login_checkbox(LoginItemState state);

}  // namespace thumbrover
