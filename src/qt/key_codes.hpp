#pragma once

#include <QKeyEvent>
#include <Qt>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/bindings/keys.hpp"
#include "core/ui/buttons_window.hpp"

namespace thumbrover {

// Marks a capture's key code as a key of the numeric keypad; Qt gives those the codes of the main
// keys and says so in the modifiers. Outside the range of Qt's key codes.
inline constexpr std::uint32_t kQtKeypadKey = 0x40000000;

// The key a Qt key code stands for during a key capture, or nothing for a key that cannot be
// captured. The capturable keys are the same on every platform: letters, digits, F1 to F24, the
// punctuation keys, the editing and arrow keys, Insert, Print, the keypad, Escape, the four
// modifiers (Super standing for Command) and the media keys.
[[nodiscard]] std::optional<Key> key_for_qt_key(std::uint32_t qt_key);

// Ctrl, Alt, Shift and Meta (Super) held during a key press, in that order. Keypad and group
// switch flags are not modifier keys and are left out.
[[nodiscard]] std::vector<Key> modifiers_in_qt_modifiers(Qt::KeyboardModifiers modifiers);

// Pressing Shift, Ctrl, Alt or Super alone only prepares a shortcut; a capture waits for the key
// that comes with them.
[[nodiscard]] bool is_modifier_only_key(std::uint32_t qt_key);

// The capture's view of a Qt key press. A keypad key's code carries `kQtKeypadKey`: the digits
// of the keypad are not the main keys. `unshifted_key` is the
// key's code without Shift (a layout turns Shift+1 into "!"), or 0 when it is not known.
[[nodiscard]] KeyPress key_press_for_qt(std::uint32_t qt_key, Qt::KeyboardModifiers modifiers,
                                        std::uint32_t unshifted_key = 0);

// The code of the key a press stands for without Shift, from the keyboard's layout (a layout
// turns Shift+1 into "!", which is not capturable, while the key pressed is the digit), or 0 when
// it is not known. Each platform reads its own layout.
using UnshiftedKey = std::function<std::uint32_t(const QKeyEvent&)>;

}  // namespace thumbrover
