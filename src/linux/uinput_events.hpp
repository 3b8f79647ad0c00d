#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bindings/keys.hpp"
#include "core/common/result.hpp"
#include "core/output/command.hpp"
#include "linux/modifier_holds.hpp"

// What the uinput output writes, decided without a kernel: which evdev events each output command
// becomes, and which key of the user's layout types a letter or a digit. The device-writing part
// (uinput_output) only hands these sequences to the kernel.

namespace thumbrover {

// One evdev event without its time, which the kernel stamps when it is written.
struct EvdevEvent {
    std::uint16_t type = 0;
    std::uint16_t code = 0;
    std::int32_t value = 0;
    friend bool operator==(const EvdevEvent&, const EvdevEvent&) = default;
};

// What one command makes: the pointer's events and the keyboard's, each ending in a report (a
// SYN_REPORT after each group the desktop must see as one moment). Each non-empty list goes to
// its device in one write.
struct EvdevBatch {
    std::vector<EvdevEvent> pointer;
    std::vector<EvdevEvent> keyboard;
    void clear() {
        pointer.clear();
        keyboard.clear();
    }
};

// The device names, which a desktop's per-device settings (pointer acceleration above all) match
// on: the program turns acceleration off by them, and users may have written them into their
// desktop's configuration, so they never change.
inline constexpr std::string_view kUinputPointerName = "Thumbrover virtual pointer";
inline constexpr std::string_view kUinputKeyboardName = "Thumbrover virtual keyboard";
// Bus, vendor and product: sway names an input "vendor:product:name" (decimal numbers, spaces in
// the name as underscores), so these are stable too.
inline constexpr std::uint16_t kUinputBus = 0x06;  // BUS_VIRTUAL
inline constexpr std::uint16_t kUinputVendor = 0x7462;
inline constexpr std::uint16_t kUinputPointerProduct = 0x0001;
inline constexpr std::uint16_t kUinputKeyboardProduct = 0x0002;

// The keys the virtual keyboard declares: every key of a standard keyboard that a layout can put
// a letter, digit or punctuation on, the editing, arrow and function keys, the modifiers and the
// media keys. A layout lookup only ever answers with one of these.
[[nodiscard]] const std::vector<std::uint16_t>& uinput_keyboard_keys();
// The pointer's buttons and relative axes.
[[nodiscard]] const std::vector<std::uint16_t>& uinput_pointer_buttons();
[[nodiscard]] const std::vector<std::uint16_t>& uinput_pointer_axes();

// The layout names xkbcommon compiles a keymap from.
struct LayoutNames {
    std::string layout;
    std::string variant;
    friend bool operator==(const LayoutNames&, const LayoutNames&) = default;
};

// The user's keyboard layout: XKB_DEFAULT_LAYOUT (with XKB_DEFAULT_VARIANT), which Wayland
// compositors read too; else what systemd-localed says the X11 layout is; else "us". Only the
// first of a comma-separated list counts, since that is the layout a session starts in. Empty
// texts count as absent.
[[nodiscard]] LayoutNames choose_layout(std::optional<std::string_view> env_layout,
                                        std::optional<std::string_view> env_variant,
                                        std::optional<LayoutNames> localed);

// How a character is typed on a layout: the key, and the level modifiers it needs.
struct KeyStroke {
    std::uint16_t code = 0;  // evdev key code
    bool shift = false;
    bool level3 = false;  // AltGr
    friend bool operator==(const KeyStroke&, const KeyStroke&) = default;
};

// The keys that type the letters a..z, the digits 0..9 and the punctuation of `kSymbolKeys` on
// one layout, looked up once through
// xkbcommon (from the xkb data the system has). The key with the fewest level modifiers wins, and
// among equals the lowest key code.
class KeyboardLayout {
  public:
    // Fails with "unknown keyboard layout \"de(nodeadkeys)\"" when xkbcommon cannot compile it.
    [[nodiscard]] static Result<KeyboardLayout> compile(const LayoutNames& names);

    [[nodiscard]] const LayoutNames& names() const { return names_; }
    // None when the layout cannot type the character.
    [[nodiscard]] std::optional<KeyStroke> letter(char c) const;
    [[nodiscard]] std::optional<KeyStroke> digit(std::uint8_t value) const;
    // `character` is one of `kSymbolKeys`.
    [[nodiscard]] std::optional<KeyStroke> symbol(std::uint8_t character) const;
    // The key that gives the third level (AltGr), 0 when the layout has none.
    [[nodiscard]] std::uint16_t level3_key() const { return level3_key_; }

  private:
    LayoutNames names_;
    std::array<std::optional<KeyStroke>, 26> letters_{};
    std::array<std::optional<KeyStroke>, 10> digits_{};
    std::array<std::optional<KeyStroke>, kSymbolKeys.size()> symbols_{};
    std::uint16_t level3_key_ = 0;
};

// The evdev code of a key whose place does not depend on the layout (arrows, editing and
// function keys, the keypad, modifiers, media keys); none for letters, digits and punctuation and
// for bytes outside the vocabulary.
[[nodiscard]] std::optional<std::uint16_t> fixed_key_code(const Key& key);

// The evdev button for the engine's mouse button (0 left, 1 right, 2 middle).
[[nodiscard]] std::optional<std::uint16_t> evdev_button_for(std::uint8_t button);

// Turns output commands into evdev events, keeping what a real mouse and keyboard keep: which
// keys and buttons are down, the modifiers, and the part of a scroll that has not yet made a
// whole wheel notch. Scrolling goes out in high-resolution wheel units (120 to a notch, the same
// unit as the engine's), with the whole notch events the kernel documents beside them for
// programs that read only those.
class UinputEvents {
  public:
    static constexpr std::int32_t kUnitsPerNotch = 120;
    // Bounds one command's scroll, as on X11: a corrupt amount must not become a flood.
    static constexpr std::int32_t kMaxUnitsPerScroll = 64 * kUnitsPerNotch;

    explicit UinputEvents(KeyboardLayout layout) : layout_(std::move(layout)) {}

    // Appends the command's events to `out`. Fails with "could not create an input event" for a
    // key the layout cannot type, a key or button outside the vocabulary, or a command kind that
    // is not an input event; what was decided before the failure stays, as on X11.
    [[nodiscard]] Result<void> translate(const OutputCommand& command, EvdevBatch& out);

    // Appends the releases of everything held: keys, modifiers (the switcher's too) and buttons.
    void release_all(EvdevBatch& out);

    [[nodiscard]] const KeyboardLayout& layout() const { return layout_; }

  private:
    [[nodiscard]] Result<void> button(std::uint8_t which, bool down, EvdevBatch& out);
    [[nodiscard]] Result<void> key(const Key& key, bool down, EvdevBatch& out);
    [[nodiscard]] std::optional<KeyStroke> stroke_for(const Key& key) const;
    void scroll(std::int32_t vertical, std::int32_t horizontal, EvdevBatch& out);
    void launcher(EvdevBatch& out);
    void apply_modifiers(EvdevBatch& out);

    KeyboardLayout layout_;
    ModifierHolds modifiers_;
    std::array<bool, kModifierCount> modifier_down_{};  // what the device was last told
    std::array<bool, 3> button_down_{};                 // left, right, middle
    std::vector<std::uint16_t> keys_down_;              // other keys held by KeyDown
    std::int32_t notch_vertical_ = 0;                   // high-resolution units short of a notch
    std::int32_t notch_horizontal_ = 0;
};

}  // namespace thumbrover
