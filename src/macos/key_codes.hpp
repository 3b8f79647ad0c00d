#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/bindings/keys.hpp"
#include "macos/key_layout.hpp"

namespace thumbrover {

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

// How macOS sends the key, or nothing for a key a Mac has not (Print, F21..F24) and for a parameter
// the engine never produces. Letters are pressed where `letters`
// has them; every other key has the same code on every layout. Without `letters`: US positions.
[[nodiscard]] std::optional<MacKey> mac_key(Key key, const LetterKeys& letters);
[[nodiscard]] std::optional<MacKey> mac_key(Key key);

// The key behind a macOS virtual key code, for capturing shortcuts from real key presses: the
// letter `letters` says the key types, or the key at that code. Right-hand modifier keys give
// the same key as their left-hand twins. Nothing for a code that no key of ours produces.
[[nodiscard]] std::optional<Key> key_for_mac_key_code(std::uint16_t code,
                                                      const LetterKeys& letters);
[[nodiscard]] std::optional<Key> key_for_mac_key_code(std::uint16_t code);

// The modifier keys (Ctrl, Shift, Alt, Meta, in that order) whose device-independent masks are set
// in a macOS event's flags.
[[nodiscard]] std::vector<Key> modifiers_in_mac_flags(std::uint64_t flags);

}  // namespace thumbrover
