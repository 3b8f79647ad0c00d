#pragma once

#include <cmath>
#include <concepts>
#include <limits>
#include <utility>

namespace thumbrover {

// Float-to-integer conversion that is always defined: values beyond the target's range clamp to
// its limits and NaN becomes 0. Fractions are truncated toward zero, as a plain cast would.
template <std::integral To, std::floating_point From>
[[nodiscard]] constexpr To saturate_cast(From value) noexcept {
    if (std::isnan(value)) return To{0};
    // The limits are compared in the source type; max() rounds up to a power of two there, so
    // anything at or above it is out of range.
    constexpr From lo = static_cast<From>(std::numeric_limits<To>::min());
    constexpr From hi = static_cast<From>(std::numeric_limits<To>::max());
    if (value <= lo) return std::numeric_limits<To>::min();
    if (value >= hi) return std::numeric_limits<To>::max();
    return static_cast<To>(value);
}

// Integer-to-integer narrowing that clamps instead of wrapping.
template <std::integral To, std::integral From>
[[nodiscard]] constexpr To saturate_cast(From value) noexcept {
    if (std::cmp_less(value, std::numeric_limits<To>::min())) return std::numeric_limits<To>::min();
    if (std::cmp_greater(value, std::numeric_limits<To>::max()))
        return std::numeric_limits<To>::max();
    return static_cast<To>(value);
}

}  // namespace thumbrover
