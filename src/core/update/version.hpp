#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>

namespace thumbrover {

// A release number: major, minor, patch, compared in that order.
struct Version {
    std::uint64_t major = 0;
    std::uint64_t minor = 0;
    std::uint64_t patch = 0;

    friend constexpr auto operator<=>(const Version&, const Version&) = default;
};

// Reads texts such as "1.2.3", " v0.2 " or "1.2.0-beta+7". White space around the text and one
// leading "v" are allowed, and anything from the first "-" or "+" on is ignored; what remains
// must be one to three dot-separated runs of decimal digits, each fitting in 64 bits. Missing
// minor or patch numbers count as 0. Anything else is not a version.
[[nodiscard]] std::optional<Version> parse_version(std::string_view text) noexcept;

// The version of this build, as compiled in.
[[nodiscard]] std::string_view running_version() noexcept;

}  // namespace thumbrover
