#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace thumbrover {

// What a keyboard layout types on each key: for every virtual key code below 128, the character
// the key gives without modifiers, or 0 for none (a dead key, a key that types nothing, a
// character outside Unicode's basic plane is not needed here). Filled from the system's layout
// data (UCKeyTranslate) by the macOS adapter.
struct KeyboardLayout {
    static constexpr std::size_t kCodes = 128;
    std::array<char32_t, kCodes> plain{};
};

// The US (ANSI) layout's letters, which the virtual key codes are named after (kVK_ANSI_A ..).
[[nodiscard]] const KeyboardLayout& us_keyboard_layout();

// Where each letter is on the user's keyboard, so that "cmd+w" presses the key that types "w"
// on AZERTY, QWERTZ or Dvorak rather than the key at the US "W" position, and a captured key is
// stored as the letter it types.
//
// A letter is looked up in `layout`, then in `fallback` (the ASCII-capable layout macOS uses
// for shortcuts while a non-Latin layout is selected), then at its US position. A key code reads
// as the letter `layout` types on it; only when `layout` types nothing there, or something
// outside ASCII, do `fallback` and then the US layout answer. Upper-case output counts as its
// lower-case letter.
class LetterKeys {
  public:
    // The US positions.
    LetterKeys();
    explicit LetterKeys(const KeyboardLayout& layout, const KeyboardLayout* fallback = nullptr);

    // The key code typing `letter` ('a'..'z'); none for anything else.
    [[nodiscard]] std::optional<std::uint16_t> code_for(char letter) const;
    // The letter the key types; none when it types something else, or nothing known.
    [[nodiscard]] std::optional<char> letter_at(std::uint16_t code) const;

  private:
    std::array<std::uint16_t, 26> codes_{};
    // 0: not a letter key; otherwise 'a'..'z'.
    std::array<char, KeyboardLayout::kCodes> letters_{};
};

// The letter keys of the layout the user has selected now, shared between the main thread (which
// rebuilds them when the input source changes) and the engine thread (which posts keys).
class LetterKeysCell {
  public:
    void set(std::shared_ptr<const LetterKeys> keys);
    // The US positions until the first `set`.
    [[nodiscard]] std::shared_ptr<const LetterKeys> get() const;

  private:
    mutable std::mutex mutex_;
    std::shared_ptr<const LetterKeys> keys_;
};

// The process's cell, filled by the macOS shell.
[[nodiscard]] LetterKeysCell& current_letter_keys();

}  // namespace thumbrover
