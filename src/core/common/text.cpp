#include "core/common/text.hpp"

#include <array>
#include <cstdint>
#include <cstdio>

namespace thumbrover {
namespace {

constexpr std::string_view replacement_character = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at the start of `bytes`, or 0 when it is ill-formed.
// Overlong forms, surrogates and code points above U+10FFFF are ill-formed.
std::size_t valid_sequence_length(std::string_view bytes) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (bytes.size() < length) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

// How many bytes one U+FFFD stands for: the longest prefix of a sequence that could still have
// become valid, and at least one byte.
std::size_t invalid_run_length(std::string_view bytes) noexcept {
    const std::uint8_t lead = static_cast<std::uint8_t>(bytes[0]);
    std::size_t expected = 0;
    if (lead >= 0xC2 && lead <= 0xDF) expected = 2;
    if (lead >= 0xE0 && lead <= 0xEF) expected = 3;
    if (lead >= 0xF0 && lead <= 0xF4) expected = 4;
    std::size_t used = 1;
    while (used < expected && used < bytes.size()) {
        const std::uint8_t next = static_cast<std::uint8_t>(bytes[used]);
        std::uint8_t low = 0x80;
        std::uint8_t high = 0xBF;
        if (used == 1) {
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        }
        if (next < low || next > high) break;
        ++used;
    }
    return used;
}

}  // namespace

std::string to_valid_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t length = valid_sequence_length(bytes);
        if (length > 0) {
            out.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        } else {
            out.append(replacement_character);
            bytes.remove_prefix(invalid_run_length(bytes));
        }
    }
    return out;
}

std::string one_line(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "\\u{%x}", static_cast<unsigned>(byte));
            out += buffer;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string clipped_echo(std::string_view text) {
    if (text.size() <= kMaxEchoBytes) return std::string(text);
    std::size_t end = kMaxEchoBytes;
    // Back off UTF-8 continuation bytes so that no character is cut in two.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end)) + "\u2026";
}

}  // namespace thumbrover
