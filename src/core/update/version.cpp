#include "core/update/version.hpp"

#include <array>
#include <charconv>

#include "core/bindings/unicode_text.hpp"

namespace thumbrover {
namespace {

std::optional<std::uint64_t> parse_number(std::string_view digits) noexcept {
    if (digits.empty()) return std::nullopt;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<Version> parse_version(std::string_view text) noexcept {
    text = unicode_text::trim(text);
    if (!text.empty() && text.front() == 'v') text.remove_prefix(1);
    text = text.substr(0, text.find_first_of("-+"));

    std::array<std::uint64_t, 3> numbers{};
    std::size_t count = 0;
    for (;;) {
        const std::size_t dot = text.find('.');
        if (count == numbers.size()) return std::nullopt;
        const auto number = parse_number(text.substr(0, dot));
        if (!number) return std::nullopt;
        numbers[count++] = *number;
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    return Version{numbers[0], numbers[1], numbers[2]};
}

std::string_view running_version() noexcept {
    return THUMBROVER_VERSION;
}

}  // namespace thumbrover
