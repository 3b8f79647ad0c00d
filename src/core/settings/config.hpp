#pragma once

#include <cstdint>
#include <string_view>

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
    Bindings buttons = default_bindings();

    friend bool operator==(const Config&, const Config&) = default;
};

// The Settings window's "Restore Defaults": every field but `buttons`.
void restore_default_settings(Config& config);
// The Buttons window's "Restore Default Buttons": `buttons` and both stick roles.
void restore_default_buttons(Config& config);

}  // namespace thumbrover
