#pragma once

#include <cstdint>

#include "qt/key_codes.hpp"

namespace thumbrover {

// The Qt key code of an X keysym of a printable ASCII character (letters, digits, punctuation),
// or 0.
[[nodiscard]] std::uint32_t qt_key_for_keysym(std::uint64_t keysym);

// The key without Shift from the X keyboard map, for a key capture.
[[nodiscard]] std::uint32_t x11_unshifted_key(const QKeyEvent& event);

// Qt asks the X server for every change of the keyboard's state, and the pointer's buttons are
// part of it: every click on the display, the program's own while it steers included, would wake
// its event thread and then its main thread. This leaves them out; the modifiers and the group,
// which Qt reads from the same news, still come. Nothing happens when Qt is not on X11.
void x11_leave_out_pointer_button_state();

}  // namespace thumbrover
