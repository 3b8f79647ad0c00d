#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/config.hpp"

namespace thumbrover {

// The range in which a numeric setting makes sense: the range of its slider in Settings. Values
// outside it still load unchanged (a stored file may hold one on purpose); they are pointed out.
struct SettingRange {
    std::string_view key;
    double minimum;
    double maximum;
    double (*read)(const Config& config);
    bool whole;  // milliseconds, written without a decimal point
};

[[nodiscard]] std::span<const SettingRange> setting_ranges();

// Whether `value` lies inside [minimum, maximum], allowing for a float setting widened to double
// (0.4 read back from a float is a hair above 0.4).
[[nodiscard]] bool within_range(double value, double minimum, double maximum);

struct RangeWarning {
    std::string key;
    double value;
    double minimum;
    double maximum;
    bool whole;
    // What the user most likely meant, when one slip explains the value: a percentage written
    // where a fraction belongs (12 for 0.12), a stray minus sign, seconds for milliseconds.
    std::optional<double> likely;
};

// The out-of-range values of `config`, in file order.
[[nodiscard]] std::vector<RangeWarning> range_warnings(const Config& config);

// "`stick_deadzone` = 12.0 is outside the sensible range 0.0 to 0.4 (0.12?)"
[[nodiscard]] std::string describe(const RangeWarning& warning);

}  // namespace thumbrover
