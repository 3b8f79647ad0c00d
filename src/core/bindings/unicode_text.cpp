#include "core/bindings/unicode_text.hpp"

#include <cstddef>
#include <cstdint>

namespace thumbrover::unicode_text {
namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

[[nodiscard]] bool is_white_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

// Decodes the code point starting at `text[0]`; `length` receives the bytes it spans (1 for an
// invalid sequence, which decodes as kInvalid).
[[nodiscard]] char32_t decode(std::string_view text, std::size_t& length) {
    length = 1;
    const auto b0 = static_cast<std::uint8_t>(text[0]);
    if (b0 < 0x80) return b0;
    std::size_t n = 0;
    char32_t c = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2, c = b0 & 0x1Fu, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, c = b0 & 0x0Fu, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, c = b0 & 0x07u, min = 0x10000;
    } else {
        return kInvalid;
    }
    if (text.size() < n) return kInvalid;
    for (std::size_t i = 1; i < n; ++i) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        if ((b & 0xC0) != 0x80) return kInvalid;
        c = (c << 6) | (b & 0x3Fu);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kInvalid;
    length = n;
    return c;
}

}  // namespace

std::string_view trim(std::string_view text) {
    while (!text.empty()) {
        std::size_t length = 0;
        if (!is_white_space(decode(text, length))) break;
        text.remove_prefix(length);
    }
    while (!text.empty()) {
        // The last code point starts at most three continuation bytes before the end.
        std::size_t start = text.size() - 1;
        while (start > 0 && text.size() - start < 4 &&
               (static_cast<std::uint8_t>(text[start]) & 0xC0) == 0x80)
            --start;
        std::size_t length = 0;
        const char32_t c = decode(text.substr(start), length);
        if (start + length != text.size() || !is_white_space(c)) break;
        text.remove_suffix(length);
    }
    return text;
}

std::optional<std::string> ascii_lower(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::size_t length = 0;
        const char32_t c = decode(text, length);
        text.remove_prefix(length);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c));
        } else if (c == 0x212A) {
            // KELVIN SIGN: the one non-ASCII character whose lower case is ASCII.
            out.push_back('k');
        } else {
            return std::nullopt;
        }
    }
    return out;
}

}  // namespace thumbrover::unicode_text
