#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/ui/access.hpp"

namespace thumbrover {

// The fixed texts of the Setup window, top to bottom.
namespace setup_texts {
inline constexpr std::string_view kTitle = "Set Up Thumbrover";
inline constexpr std::string_view kWelcome = "Welcome to Thumbrover";
inline constexpr std::string_view kIntro =
    "Use your controller as a mouse and media remote. Thumbrover needs one permission from macOS "
    "before it can move the pointer.";
// Linux has no permission dialog: what is needed is a desktop that accepts synthetic input.
inline constexpr std::string_view kIntroLinux =
    "Use your controller as a mouse and media remote. Thumbrover needs a desktop that lets it "
    "send input before it can move the pointer.";
inline constexpr std::string_view kAccessibility = kAccessibilityWording.setup_title;
inline constexpr std::string_view kOpenSettings = "Open Settings";
inline constexpr std::string_view kController = "Controller";
inline constexpr std::string_view kBluetoothSettings = "Bluetooth Settings";
inline constexpr std::string_view kLoginCheckbox = "Start Thumbrover when I log in";
inline constexpr std::string_view kRestartNote =
    "Access is on. Thumbrover needs to restart to use it.";
inline constexpr std::string_view kRestartNow = "Restart Now";
inline constexpr std::string_view kDone = "Done";

inline constexpr std::string_view kAccessGranted = kAccessibilityWording.setup_granted;
inline constexpr std::string_view kAccessRestart = kAccessibilityWording.setup_restart;
inline constexpr std::string_view kAccessMissing = kAccessibilityWording.setup_missing;
inline constexpr std::string_view kNotConnected =
    "Not connected. Turn the controller on, or pair it in Bluetooth settings.";
}  // namespace setup_texts

struct SetupAccessRow {
    AccessState state;
    StatusSymbol symbol;
    std::string_view detail;
    bool open_settings_visible;
    bool restart_row_visible;

    friend bool operator==(const SetupAccessRow&, const SetupAccessRow&) = default;
};

struct SetupControllerRow {
    StatusSymbol symbol;
    std::string detail;
    bool bluetooth_visible;

    friend bool operator==(const SetupControllerRow&, const SetupControllerRow&) = default;
};

// Everything a refresh of the Setup window shows.
struct SetupRows {
    SetupAccessRow access;
    SetupControllerRow controller;
    LoginCheckbox login;

    friend bool operator==(const SetupRows&, const SetupRows&) = default;
};

// The input-permission row, in the platform's `wording`; records the current answer as the
// trust at start when none is recorded.
[[nodiscard]] SetupAccessRow setup_access_row(
    bool trusted_now, TrustAtStart& at_start,
    const PermissionWording& wording = kAccessibilityWording);
// `battery` is the battery text ("Low", "85%") when the controller reports a level.
[[nodiscard]] SetupControllerRow setup_controller_row(const std::optional<std::string>& name,
                                                      const std::optional<std::string>& battery);
[[nodiscard]] SetupRows setup_rows(bool trusted_now, TrustAtStart& at_start,
                                   const std::optional<std::string>& controller_name,
                                   const std::optional<std::string>& battery,
                                   LoginItemState login_item,
                                   const PermissionWording& wording = kAccessibilityWording);

// The first tick's check: records the trust at start, says on standard error whether access is
// granted, and returns whether the Setup window should open (access missing, or setup never
// finished in `app_dir`).
[[nodiscard]] bool setup_startup_check(bool trusted_now, TrustAtStart& at_start,
                                       const std::filesystem::path& app_dir,
                                       const PermissionWording& wording = kAccessibilityWording);

// "Done": remembers that setup is finished. A failure is reported on standard error (the window
// then opens again at the next start); the caller closes the window either way.
void finish_setup(const std::filesystem::path& app_dir);

}  // namespace thumbrover
