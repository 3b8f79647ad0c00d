#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace thumbrover {

// Key kinds as the engine's key commands number them (the declaration order of the key type).
namespace key_kind {
inline constexpr std::uint8_t kUp = 0;
inline constexpr std::uint8_t kDown = 1;
inline constexpr std::uint8_t kLeft = 2;
inline constexpr std::uint8_t kRight = 3;
inline constexpr std::uint8_t kEsc = 4;
inline constexpr std::uint8_t kTab = 5;
inline constexpr std::uint8_t kEnter = 6;
inline constexpr std::uint8_t kSpace = 7;
inline constexpr std::uint8_t kBackspace = 8;
inline constexpr std::uint8_t kDelete = 9;
inline constexpr std::uint8_t kHome = 10;
inline constexpr std::uint8_t kEnd = 11;
inline constexpr std::uint8_t kPageUp = 12;
inline constexpr std::uint8_t kPageDown = 13;
inline constexpr std::uint8_t kLetter = 14;  // parameter: 'a'..'z'
inline constexpr std::uint8_t kDigit = 15;   // parameter: 0..9
inline constexpr std::uint8_t kF = 16;       // parameter: 1..12
inline constexpr std::uint8_t kCtrl = 17;
inline constexpr std::uint8_t kShift = 18;
inline constexpr std::uint8_t kAlt = 19;
inline constexpr std::uint8_t kMeta = 20;
inline constexpr std::uint8_t kPlayPause = 21;
inline constexpr std::uint8_t kNextTrack = 22;
inline constexpr std::uint8_t kPreviousTrack = 23;
inline constexpr std::uint8_t kVolumeUp = 24;
inline constexpr std::uint8_t kVolumeDown = 25;
inline constexpr std::uint8_t kMute = 26;
inline constexpr std::uint8_t kCount = 27;

[[nodiscard]] constexpr bool is_modifier(std::uint8_t kind) { return kind >= kCtrl && kind <= kMeta; }
[[nodiscard]] constexpr bool is_media(std::uint8_t kind) { return kind >= kPlayPause && kind <= kMute; }
}  // namespace key_kind

// A key as the engine names it: kind and parameter byte (the parameter matters only for letters,
// digits and function keys, and is 0 otherwise).
struct KeyId {
    std::uint8_t kind = 0;
    std::uint8_t param = 0;
    friend bool operator==(const KeyId&, const KeyId&) = default;
};

enum class MacKeyClass : std::uint8_t {
    Plain,     // a keyboard event with `code` as its virtual key code, `flags` ORed in
    Modifier,  // a flags-changed event with `code`; `flags` is the mask it holds while down
    Media,     // a system-defined event; `code` is the NX_KEYTYPE number
};

struct MacKey {
    MacKeyClass key_class = MacKeyClass::Plain;
    std::uint16_t code = 0;
    std::uint64_t flags = 0;
    friend bool operator==(const MacKey&, const MacKey&) = default;
};

// How macOS sends the key, or nothing for a kind or parameter the engine never produces (a
// letter outside 'a'..'z', a digit above 9, a function key outside 1..12, a kind above 26).
[[nodiscard]] std::optional<MacKey> mac_key(KeyId key);

// The key behind a macOS virtual key code, for capturing shortcuts from real key presses.
// Right-hand modifier keys give the same key as their left-hand twins. Nothing for a code that
// no key of ours produces.
[[nodiscard]] std::optional<KeyId> key_for_mac_key_code(std::uint16_t code);

// The modifier kinds (Ctrl, Shift, Alt, Meta, in that order) whose device-independent masks are
// set in a macOS event's flags.
[[nodiscard]] std::vector<std::uint8_t> modifier_kinds_in_flags(std::uint64_t flags);

}  // namespace thumbrover
