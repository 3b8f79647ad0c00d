#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/settings/config.hpp"

namespace thumbrover {

// How a slider's value label is written.
enum class ValueFormat : std::uint8_t {
    PixelsPerSecond = 0,   // "800 px/s"
    NotchesPerSecond = 1,  // the value over 120, "15.0 notches/s"
    Percent = 2,           // the value times 100, "30 %"
    Times = 3,             // "1.5×"
    Plain = 4,             // "2.0"
    Milliseconds = 5,      // "400 ms"
};

// One slider of the Settings window. `write` snaps the slider's value the way its field wants it
// and stores it; `read` gives the stored value back widened to double, which is what the value
// label and the slider show.
struct SliderSpec {
    std::string_view section;
    std::string_view label;
    std::string_view field;  // the settings-file key of the field
    double minimum;
    double maximum;
    ValueFormat format;
    double (*read)(const Config& config);
    void (*write)(Config& config, double value);
};

inline constexpr std::size_t kSliderCount = 12;

// The twelve sliders in window order; a slider's tag is its index here.
[[nodiscard]] const std::array<SliderSpec, kSliderCount>& slider_specs();

// The sections in window order, each listing the sliders whose `section` matches.
[[nodiscard]] const std::array<std::string_view, 4>& slider_sections();

// Nearest whole number, halves away from zero.
[[nodiscard]] double round_half_away(double value);

// Rounds `value` to the nearest multiple of `step` (the quotient rounded halves away from zero).
[[nodiscard]] double snap_to_step(double value, double step);

// The value label of a slider showing `value`.
[[nodiscard]] std::string format_slider_value(ValueFormat format, double value);

}  // namespace thumbrover
