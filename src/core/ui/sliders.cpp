#include "core/ui/sliders.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "core/common/numeric.hpp"

namespace thumbrover {
namespace {

// A double outside float's range has no defined float conversion; the sliders never produce one,
// but the write functions take any double.
float to_float(double value) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (std::isnan(value)) return 0.0f;
    return static_cast<float>(std::clamp(value, -kMax, kMax));
}

std::uint64_t to_milliseconds(double value) {
    return saturate_cast<std::uint64_t>(value);
}

// The toolkit's slider never leaves its range; other callers are held to it too, so that a
// stray value can never land in the settings file.
double bounded(double value, double minimum, double maximum) {
    if (std::isnan(value)) return minimum;
    return std::clamp(value, minimum, maximum);
}

template <float Config::*Field>
double read_float(const Config& config) {
    return static_cast<double>(config.*Field);
}

template <std::uint64_t Config::*Field>
double read_ms(const Config& config) {
    return static_cast<double>(config.*Field);
}

// The slider ranges, repeated where the writers need them.
constexpr double kPointerMin = 300, kPointerMax = 4000;
constexpr double kPreciseMin = 0.1, kPreciseMax = 1.0;
constexpr double kDeadzoneMin = 0.0, kDeadzoneMax = 0.4;
constexpr double kCurveMin = 1.0, kCurveMax = 4.0;
constexpr double kCircleMin = 0.5, kCircleMax = 3.0;
constexpr double kScrollMin = 300, kScrollMax = 6000;
constexpr int kHoldMin = 150, kHoldMax = 1500;
constexpr int kXboxMin = 300, kXboxMax = 3000;
constexpr int kSwitcherMin = 300, kSwitcherMax = 2000;
constexpr int kIdleMin = 200, kIdleMax = 5000;
constexpr int kDelayMin = 100, kDelayMax = 1500;
constexpr int kRepeatMin = 50, kRepeatMax = 600;

// A step of 10 ms for every millisecond field. The bounds are whole numbers because clang
// before 18 (Apple's included) refuses floating-point template arguments.
template <std::uint64_t Config::*Field, int Min, int Max>
void write_ms(Config& config, double value) {
    config.*Field = to_milliseconds(snap_to_step(bounded(value, Min, Max), 10.0));
}

void write_pointer_speed(Config& c, double v) {
    c.pointer_speed = to_float(round_half_away(bounded(v, kPointerMin, kPointerMax)));
}
void write_precise_factor(Config& c, double v) {
    c.precise_factor = to_float(snap_to_step(bounded(v, kPreciseMin, kPreciseMax), 0.05));
}
void write_stick_deadzone(Config& c, double v) {
    c.stick_deadzone = to_float(snap_to_step(bounded(v, kDeadzoneMin, kDeadzoneMax), 0.01));
}
void write_stick_curve(Config& c, double v) {
    c.stick_curve = to_float(snap_to_step(bounded(v, kCurveMin, kCurveMax), 0.1));
}
void write_circle_scale(Config& c, double v) {
    c.circle_scale = to_float(snap_to_step(bounded(v, kCircleMin, kCircleMax), 0.1));
}
// Scroll speed keeps the historical single-precision product: the rounded quotient becomes a
// float first and is multiplied by 60 in float, which is what existing settings files hold.
void write_scroll_speed(Config& c, double v) {
    const double steps = round_half_away(bounded(v, kScrollMin, kScrollMax) / 60.0);
    c.scroll_speed = to_float(steps) * 60.0f;
}

}  // namespace

double round_half_away(double value) {
    return std::round(value);
}

double snap_to_step(double value, double step) {
    return round_half_away(value / step) * step;
}

const std::array<SliderSpec, kSliderCount>& slider_specs() {
    static const std::array<SliderSpec, kSliderCount> specs = {{
        {"Pointer", "Pointer speed", "pointer_speed", kPointerMin, kPointerMax,
         ValueFormat::PixelsPerSecond, &read_float<&Config::pointer_speed>, &write_pointer_speed},
        {"Pointer", "Precise mode speed", "precise_factor", kPreciseMin, kPreciseMax,
         ValueFormat::Percent, &read_float<&Config::precise_factor>, &write_precise_factor},
        {"Pointer", "Stick deadzone", "stick_deadzone", kDeadzoneMin, kDeadzoneMax,
         ValueFormat::Percent, &read_float<&Config::stick_deadzone>, &write_stick_deadzone},
        {"Pointer", "Response curve", "stick_curve", kCurveMin, kCurveMax, ValueFormat::Plain,
         &read_float<&Config::stick_curve>, &write_stick_curve},
        {"Pointer", "Steering circle size", "circle_scale", kCircleMin, kCircleMax,
         ValueFormat::Times, &read_float<&Config::circle_scale>, &write_circle_scale},
        {"Scrolling", "Scroll speed", "scroll_speed", kScrollMin, kScrollMax,
         ValueFormat::NotchesPerSecond, &read_float<&Config::scroll_speed>, &write_scroll_speed},
        {"Buttons", "Hold actions start after", "hold_ms", kHoldMin, kHoldMax,
         ValueFormat::Milliseconds, &read_ms<&Config::hold_ms>,
         &write_ms<&Config::hold_ms, kHoldMin, kHoldMax>},
        {"Buttons", "Hold Xbox to turn off after", "xbox_hold_ms", kXboxMin, kXboxMax,
         ValueFormat::Milliseconds, &read_ms<&Config::xbox_hold_ms>,
         &write_ms<&Config::xbox_hold_ms, kXboxMin, kXboxMax>},
        {"Buttons", "App switcher picks after", "alt_tab_commit_ms", kSwitcherMin, kSwitcherMax,
         ValueFormat::Milliseconds, &read_ms<&Config::alt_tab_commit_ms>,
         &write_ms<&Config::alt_tab_commit_ms, kSwitcherMin, kSwitcherMax>},
        {"Buttons", "Hide circle after", "steering_idle_ms", kIdleMin, kIdleMax,
         ValueFormat::Milliseconds, &read_ms<&Config::steering_idle_ms>,
         &write_ms<&Config::steering_idle_ms, kIdleMin, kIdleMax>},
        {"Volume triggers", "Repeat after", "volume_delay_ms", kDelayMin, kDelayMax,
         ValueFormat::Milliseconds, &read_ms<&Config::volume_delay_ms>,
         &write_ms<&Config::volume_delay_ms, kDelayMin, kDelayMax>},
        {"Volume triggers", "Repeat every", "volume_repeat_ms", kRepeatMin, kRepeatMax,
         ValueFormat::Milliseconds, &read_ms<&Config::volume_repeat_ms>,
         &write_ms<&Config::volume_repeat_ms, kRepeatMin, kRepeatMax>},
    }};
    return specs;
}

const std::array<std::string_view, 4>& slider_sections() {
    static constexpr std::array<std::string_view, 4> sections = {"Pointer", "Scrolling", "Buttons",
                                                                 "Volume triggers"};
    return sections;
}

namespace {

std::string fixed(double value, int decimals) {
    char buffer[128];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc{}) return "?";
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string format_slider_value(ValueFormat format, double value) {
    switch (format) {
        case ValueFormat::PixelsPerSecond:
            return fixed(value, 0) + " px/s";
        case ValueFormat::NotchesPerSecond:
            return fixed(value / 120.0, 1) + " notches/s";
        case ValueFormat::Percent:
            return fixed(value * 100.0, 0) + " %";
        case ValueFormat::Times:
            return fixed(value, 1) + "\u00d7";
        case ValueFormat::Plain:
            return fixed(value, 1);
        case ValueFormat::Milliseconds:
            return fixed(value, 0) + " ms";
    }
    return fixed(value, 1);
}

}  // namespace thumbrover
