#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/settings/config.hpp"
#include "core/ui/access.hpp"
#include "core/ui/settings_store.hpp"
#include "core/ui/sliders.hpp"

namespace thumbrover {

// The fixed texts of the Settings window, top to bottom. Slider sections and labels come from
// `slider_specs()`.
namespace settings_texts {
inline constexpr std::string_view kTitle = "Thumbrover Settings";
inline constexpr std::string_view kHeading = "Thumbrover";
inline constexpr std::string_view kNote = "Changes are saved and used right away.";
inline constexpr std::string_view kGeneral = "General";
inline constexpr std::string_view kLoginCheckbox = "Start Thumbrover when I log in";
inline constexpr std::string_view kUpdateCheckbox = "Check for a newer version once a day";
inline constexpr std::string_view kOpenPrivacySettings = "Open Privacy Settings";
inline constexpr std::string_view kCustomizeButtons = "Customize Buttons\u2026";
inline constexpr std::string_view kSetupAndPermissions = "Setup & Permissions\u2026";
inline constexpr std::string_view kOpenConfigFile = "Open Config File";
inline constexpr std::string_view kRestoreDefaults = "Restore Defaults";
inline constexpr std::string_view kTrademark =
    "Xbox is a trademark of Microsoft Corporation. Thumbrover is not affiliated with or endorsed "
    "by Microsoft.";

// Beside the circle-size slider where the session lets no program draw at the pointer.
inline constexpr std::string_view kRingUnavailable =
    "Wayland lets no program draw at the pointer, so the steering circle is not shown.";
// The slider that note belongs to.
inline constexpr std::string_view kCircleSizeField = "circle_scale";

// After the value label's text of a value outside the slider's range.
inline constexpr std::string_view kOutOfRange = " \u2013 out of range";
// Its tooltip, after the range ("0 % to 40 %").
inline constexpr std::string_view kOutOfRangeTip =
    "The settings file holds a value outside this slider's range, used as it is. Moving the "
    "slider replaces it. The range is ";

inline constexpr std::string_view kAccessOn = kAccessibilityWording.settings_on;
inline constexpr std::string_view kAccessRestart = kAccessibilityWording.settings_restart;
inline constexpr std::string_view kAccessOff = kAccessibilityWording.settings_off;
inline constexpr std::string_view kConfirmRestoreDefaults = "Restore the default settings?";
inline constexpr std::string_view kConfirmRestoreDefaultsDetail =
    "Every slider goes back to where it was at first. The buttons stay as they are.";
}  // namespace settings_texts

// What one slider row shows: the slider's position and its value label. A value from the file
// outside the slider's range is shown as it is, marked as out of range, rather than as the end
// the slider stops at.
struct SliderRow {
    double value = 0.0;
    std::string text;
    bool out_of_range = false;

    friend bool operator==(const SliderRow&, const SliderRow&) = default;
};

// Every slider row for these settings, in tag order.
[[nodiscard]] std::array<SliderRow, kSliderCount> slider_rows(const Config& config);

// A slider moved. Stores the snapped value (saving and applying it) and returns the new value
// label; the slider itself stays where the user put it. A tag that names no slider changes
// nothing and gives nothing.
std::optional<std::string> settings_slider_changed(SettingsStore& store, std::int64_t tag,
                                                   double value);

// "Restore Defaults": every setting but the bindings, saved and applied. Returns the rows the
// sliders must now show.
std::array<SliderRow, kSliderCount> settings_restore_defaults(SettingsStore& store);

// The Accessibility row of the Settings window.
struct SettingsAccessRow {
    AccessState state;
    StatusSymbol symbol;
    std::string_view text;
    bool button_visible;  // "Open Privacy Settings"

    friend bool operator==(const SettingsAccessRow&, const SettingsAccessRow&) = default;
};

[[nodiscard]] SettingsAccessRow settings_access_row(
    bool trusted_now, std::optional<bool> trusted_at_start,
    const PermissionWording& wording = kAccessibilityWording);

// Everything the periodic refresh updates: the Accessibility row and the login checkbox.
struct SettingsSystemRows {
    SettingsAccessRow access;
    LoginCheckbox login;

    friend bool operator==(const SettingsSystemRows&, const SettingsSystemRows&) = default;
};

[[nodiscard]] SettingsSystemRows settings_system_rows(
    bool trusted_now, std::optional<bool> trusted_at_start, LoginItemState login_item,
    const PermissionWording& wording = kAccessibilityWording);

}  // namespace thumbrover
