#include "macos/key_layout.hpp"

#include <utility>

namespace thumbrover {
namespace {

// kVK_ANSI_A .. kVK_ANSI_Z, from HIToolbox Events.h; the codes follow the physical US layout,
// not the alphabet.
constexpr std::array<std::uint16_t, 26> kUsLetterCodes = {
    0, 11, 8, 2, 14, 3, 5, 4, 34, 38, 40, 37, 46, 45, 31, 35, 12, 15, 1, 17, 32, 9, 13, 7, 16, 6,
};

KeyboardLayout make_us_layout() {
    KeyboardLayout layout;
    for (std::size_t i = 0; i < kUsLetterCodes.size(); ++i)
        layout.plain[kUsLetterCodes[i]] = static_cast<char32_t>(U'a' + i);
    return layout;
}

// 'a'..'z' for a letter, upper case folded; 0 for anything else.
char as_letter(char32_t c) {
    if (c >= U'A' && c <= U'Z') c += U'a' - U'A';
    if (c >= U'a' && c <= U'z') return static_cast<char>(c);
    return 0;
}

}  // namespace

const KeyboardLayout& us_keyboard_layout() {
    static const KeyboardLayout layout = make_us_layout();
    return layout;
}

LetterKeys::LetterKeys() : LetterKeys(us_keyboard_layout()) {}

LetterKeys::LetterKeys(const KeyboardLayout& layout, const KeyboardLayout* fallback) {
    const KeyboardLayout& us = us_keyboard_layout();
    const KeyboardLayout* layers[] = {&layout, fallback != nullptr ? fallback : &us, &us};

    // Which letter each key types: the first layer that types an ASCII character there decides,
    // so a key typing "," on AZERTY is no letter, while one typing a Cyrillic letter reads as the
    // letter the ASCII-capable layout has there.
    for (std::size_t code = 0; code < KeyboardLayout::kCodes; ++code) {
        for (const KeyboardLayout* layer : layers) {
            if (layer->plain[code] == 0 || layer->plain[code] >= 0x80) continue;
            letters_[code] = as_letter(layer->plain[code]);
            break;
        }
    }
    // Where each letter is: the lowest code typing it in the first layer that has it.
    for (std::size_t i = 0; i < codes_.size(); ++i) {
        const char letter = static_cast<char>('a' + i);
        codes_[i] = kUsLetterCodes[i];
        bool found = false;
        for (const KeyboardLayout* layer : layers) {
            for (std::size_t code = 0; code < KeyboardLayout::kCodes && !found; ++code) {
                if (as_letter(layer->plain[code]) == letter) {
                    codes_[i] = static_cast<std::uint16_t>(code);
                    found = true;
                }
            }
            if (found) break;
        }
    }
}

std::optional<std::uint16_t> LetterKeys::code_for(char letter) const {
    if (letter < 'a' || letter > 'z') return std::nullopt;
    return codes_[static_cast<std::size_t>(letter - 'a')];
}

std::optional<char> LetterKeys::letter_at(std::uint16_t code) const {
    if (code >= letters_.size() || letters_[code] == 0) return std::nullopt;
    return letters_[code];
}

void LetterKeysCell::set(std::shared_ptr<const LetterKeys> keys) {
    const std::lock_guard lock(mutex_);
    keys_ = std::move(keys);
}

std::shared_ptr<const LetterKeys> LetterKeysCell::get() const {
    {
        const std::lock_guard lock(mutex_);
        if (keys_) return keys_;
    }
    static const auto us = std::make_shared<const LetterKeys>();
    return us;
}

LetterKeysCell& current_letter_keys() {
    static LetterKeysCell cell;
    return cell;
}

}  // namespace thumbrover
