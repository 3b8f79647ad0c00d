#pragma once

#include <cstdint>

#include "core/ui/buttons_window.hpp"
#include "macos/key_layout.hpp"

namespace thumbrover {

// The macOS view's key presses: a virtual key code and the event's modifier flags (Control
// 0x40000, Option 0x80000, Shift 0x20000, Command 0x100000; Caps Lock and Fn are ignored).
[[nodiscard]] KeyPress mac_key_press(std::uint16_t code, std::uint64_t modifier_flags);

// The macOS table of capturable key codes, `key_for_mac_key_code` over the whole code range, with
// the letters of the layout `letters` holds at the moment of each look-up.
[[nodiscard]] KeyCodeTable mac_key_code_table(
    const LetterKeysCell& letters = current_letter_keys());

}  // namespace thumbrover
