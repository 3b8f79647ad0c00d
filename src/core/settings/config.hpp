#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bindings/buttons.hpp"
#include "core/common/result.hpp"

namespace thumbrover {

// What a stick does. The numbers are stored in one byte; never reorder.
enum class StickRole : std::uint8_t {
    Pointer = 0,
    Scroll = 1,
    None = 2,
};

// "pointer", "scroll", "none".
[[nodiscard]] std::string_view stick_role_name(StickRole role);
// Exact and case-sensitive. Fails with
// "unknown variant `{text}`, expected one of `pointer`, `scroll`, `none`".
[[nodiscard]] Result<StickRole> parse_stick_role(std::string_view text);

// What one application changes in the main settings while it is in front. Every unset entry is
// taken from the main settings, so a profile that sets only `a` follows later changes of the
// others.
struct AppProfile {
    // The bundle identifier on macOS; on Linux the X window class, or the app_id in a Wayland
    // session (often the same text: letters compare regardless of case).
    std::string id;
    std::string name;  // how the windows and the menu show the application
    std::optional<StickRole> left_stick;
    std::optional<StickRole> right_stick;
    std::array<std::optional<Action>, kButtonCount> press;  // indexed by `button_index`
    std::array<std::optional<Action>, kButtonCount> hold;
    // Entries over the main shifted layer, slot by slot.
    ShiftedLayer shifted;

    [[nodiscard]] bool overrides_nothing() const;

    friend bool operator==(const AppProfile&, const AppProfile&) = default;
};

// More profiles than this are refused: each one is a table in a file read at every start, and a
// hundred is already more than any pop-up menu can usefully list.
inline constexpr std::size_t kMaxAppProfiles = 100;
// The longest identity accepted; bundle identifiers and window classes are far shorter.
inline constexpr std::size_t kMaxAppIdBytes = 255;

// Every user setting. A plain value: copies own their binding tables, and the field order is the
// order of the settings file. Nothing is clamped here; out-of-range values are kept as read.
struct Config {
    float pointer_speed = 800.0f;  // pixels per second at full deflection
    float precise_factor = 0.3f;   // multiplier in precise mode
    float scroll_speed = 1800.0f;  // scroll units per second; 120 is one wheel notch
    float stick_deadzone = 0.12f;  // fraction of full deflection
    float stick_curve = 2.0f;      // exponent of the response curve
    float circle_scale = 1.5f;     // steering circle size against a normal cursor
    StickRole left_stick = StickRole::Pointer;
    StickRole right_stick = StickRole::Scroll;
    std::uint64_t hold_ms = 400;
    std::uint64_t xbox_hold_ms = 1000;
    std::uint64_t alt_tab_commit_ms = 800;
    std::uint64_t steering_idle_ms = 1000;
    std::uint64_t volume_delay_ms = 400;
    std::uint64_t volume_repeat_ms = 150;
    // Whether the program asks once a day for a newer release; off, it makes no network request.
    bool check_for_updates = true;
    Bindings buttons = default_bindings();
    // What the inputs do while one bound to the shift action is held; empty by default.
    ShiftedLayer shifted;
    // In the order of the settings file; identities are unique, compared without regard to
    // ASCII case.
    std::vector<AppProfile> apps;

    friend bool operator==(const Config&, const Config&) = default;
};

// Whether two identities name the same application: bundle identifiers are case-insensitive, and
// a window class that differs only in case is the same program.
[[nodiscard]] bool same_app_id(std::string_view a, std::string_view b);
// Fails with the reason an identity cannot be one: empty, too long, blank at either end, or
// holding a control character.
[[nodiscard]] Result<void> check_app_id(std::string_view id);

[[nodiscard]] const AppProfile* find_app_profile(const Config& config, std::string_view id);
[[nodiscard]] AppProfile* find_app_profile(Config& config, std::string_view id);

// The settings in force while the application `id` is in front: the main settings with that
// application's overrides applied; the main settings when it has no profile. `apps` is copied
// unchanged.
[[nodiscard]] Config config_for_app(const Config& config, std::string_view id);
// Puts the profile's overrides into `config`.
void apply_app_profile(Config& config, const AppProfile& app);

// The Settings window's "Restore Defaults": every field but `buttons`, `apps` and
// `check_for_updates` (resetting the sliders must not start network requests the user stopped).
void restore_default_settings(Config& config);
// The Buttons window's "Restore Default Buttons": `buttons`, the shifted layer (empty) and both
// stick roles. The profiles stay; each one's own restore is to empty it.
void restore_default_buttons(Config& config);

}  // namespace thumbrover
