#include "core/settings/setting_ranges.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "core/settings/config_file.hpp"

namespace thumbrover {
namespace {

template <float Config::*Field>
double read_float(const Config& config) {
    return static_cast<double>(config.*Field);
}

template <std::uint64_t Config::*Field>
double read_ms(const Config& config) {
    return static_cast<double>(config.*Field);
}

// In the order of the settings file.
constexpr std::array<SettingRange, 12> kRanges = {{
    {"pointer_speed", 300, 4000, &read_float<&Config::pointer_speed>, false},
    {"precise_factor", 0.1, 1.0, &read_float<&Config::precise_factor>, false},
    {"scroll_speed", 300, 6000, &read_float<&Config::scroll_speed>, false},
    {"stick_deadzone", 0.0, 0.4, &read_float<&Config::stick_deadzone>, false},
    {"stick_curve", 1.0, 4.0, &read_float<&Config::stick_curve>, false},
    {"circle_scale", 0.5, 3.0, &read_float<&Config::circle_scale>, false},
    {"hold_ms", 150, 1500, &read_ms<&Config::hold_ms>, true},
    {"xbox_hold_ms", 300, 3000, &read_ms<&Config::xbox_hold_ms>, true},
    {"alt_tab_commit_ms", 300, 2000, &read_ms<&Config::alt_tab_commit_ms>, true},
    {"steering_idle_ms", 200, 5000, &read_ms<&Config::steering_idle_ms>, true},
    {"volume_delay_ms", 100, 1500, &read_ms<&Config::volume_delay_ms>, true},
    {"volume_repeat_ms", 50, 600, &read_ms<&Config::volume_repeat_ms>, true},
}};

std::optional<double> likely_meaning(const SettingRange& range, double value) {
    const auto fits = [&](double candidate) {
        return within_range(candidate, range.minimum, range.maximum);
    };
    if (value < 0 && fits(-value)) return -value;
    // A fraction shown as a percentage in Settings ("12 %") is easily written as 12.
    if (range.maximum <= 1.0 && value > range.maximum && fits(value / 100)) return value / 100;
    if (range.whole && value < range.minimum && fits(value * 1000)) return value * 1000;
    return std::nullopt;
}

std::string format_value(double value, bool whole) {
    if (!whole) return format_setting_float(static_cast<float>(value));
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return buffer;
}

}  // namespace

std::span<const SettingRange> setting_ranges() {
    return kRanges;
}

bool within_range(double value, double minimum, double maximum) {
    // Float settings carry about seven significant digits.
    const double slack = 1e-6 * std::max(std::fabs(minimum), std::fabs(maximum));
    return value >= minimum - slack && value <= maximum + slack;
}

std::vector<RangeWarning> range_warnings(const Config& config) {
    std::vector<RangeWarning> warnings;
    for (const SettingRange& range : kRanges) {
        const double value = range.read(config);
        if (within_range(value, range.minimum, range.maximum)) continue;
        warnings.push_back(
            RangeWarning{std::string(range.key), value, range.minimum, range.maximum, range.whole,
                         std::isnan(value) ? std::nullopt : likely_meaning(range, value)});
    }
    return warnings;
}

std::string describe(const RangeWarning& warning) {
    std::string text = "`" + warning.key + "` = " + format_value(warning.value, warning.whole) +
                       " is outside the sensible range " +
                       format_value(warning.minimum, warning.whole) + " to " +
                       format_value(warning.maximum, warning.whole);
    if (warning.likely) text += " (" + format_value(*warning.likely, warning.whole) + "?)";
    return text;
}

}  // namespace thumbrover
