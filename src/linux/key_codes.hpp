#pragma once

#include <cstdint>

#include "qt/key_codes.hpp"

namespace thumbrover {

// The Qt key code of an X keysym for the keys whose code differs only by case (letters, digits),
// or 0.
[[nodiscard]] std::uint32_t qt_key_for_keysym(std::uint64_t keysym);

// The key without Shift from the X keyboard map, for a key capture.
[[nodiscard]] std::uint32_t x11_unshifted_key(const QKeyEvent& event);

}  // namespace thumbrover
