#include "macos/key_capture.hpp"

#include <optional>

#include "macos/key_codes.hpp"

namespace thumbrover {

KeyPress mac_key_press(std::uint16_t code, std::uint64_t modifier_flags) {
    return KeyPress{code, modifiers_in_mac_flags(modifier_flags)};
}

KeyCodeTable mac_key_code_table(const LetterKeysCell& letters) {
    return [&letters](std::uint32_t code) -> std::optional<Key> {
        if (code > 0xFFFF) return std::nullopt;
        return key_for_mac_key_code(static_cast<std::uint16_t>(code), *letters.get());
    };
}

}  // namespace thumbrover
