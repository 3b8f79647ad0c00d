#include "macos/key_codes.hpp"

#include <array>
#include <utility>

#include "macos/key_layout.hpp"

namespace thumbrover {
namespace {

// kVK_ANSI_0 .. kVK_ANSI_9.
constexpr std::array<std::uint16_t, 10> kDigitCodes = {29, 18, 19, 20, 21, 23, 22, 26, 28, 25};

// kVK_F1 .. kVK_F20; Apple keyboards end there, so F21..F24 cannot be pressed on macOS.
constexpr std::array<std::uint16_t, 20> kFunctionCodes = {
    122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111, 105, 107, 113, 106, 64, 79, 80, 90};

// kVK_ANSI_* of the punctuation keys, at their US places: unlike letters, shortcuts with them
// are matched by key, whatever the key types.
constexpr std::array<std::pair<char, std::uint16_t>, kSymbolKeys.size()> kSymbolCodes = {{
    {'-', 27},
    {'=', 24},
    {',', 43},
    {'.', 47},
    {'/', 44},
    {';', 41},
    {'\'', 39},
    {'[', 33},
    {']', 30},
    {'\\', 42},
    {'`', 50},
}};

// kVK_ANSI_Keypad0 .. 9, then by `KeypadKey`: Plus, Minus, Multiply, Divide, Decimal, Enter,
// Equals.
constexpr std::array<std::uint16_t, kKeypadKeyCount> kKeypadCodes = {
    82, 83, 84, 85, 86, 87, 88, 89, 91, 92, 69, 78, 67, 75, 65, 76, 81};
constexpr std::uint64_t kKeypadFlags = 0x200000;  // numeric pad

constexpr std::uint64_t kArrowFlags = 0xA00000;     // secondary Fn | numeric pad
constexpr std::uint64_t kFunctionFlags = 0x800000;  // secondary Fn

// The kinds which take no parameter. Print has no key on a Mac.
struct FixedKey {
    KeyKind kind;
    MacKey key;
};
constexpr std::array<FixedKey, 25> kFixedKeys = {{
    {KeyKind::Up, {MacKeyClass::Plain, 126, kArrowFlags}},
    {KeyKind::Down, {MacKeyClass::Plain, 125, kArrowFlags}},
    {KeyKind::Left, {MacKeyClass::Plain, 123, kArrowFlags}},
    {KeyKind::Right, {MacKeyClass::Plain, 124, kArrowFlags}},
    {KeyKind::Esc, {MacKeyClass::Plain, 53, 0}},
    {KeyKind::Tab, {MacKeyClass::Plain, 48, 0}},
    {KeyKind::Enter, {MacKeyClass::Plain, 36, 0}},
    {KeyKind::Space, {MacKeyClass::Plain, 49, 0}},
    {KeyKind::Backspace, {MacKeyClass::Plain, 51, 0}},
    {KeyKind::Delete, {MacKeyClass::Plain, 117, kFunctionFlags}},
    {KeyKind::Home, {MacKeyClass::Plain, 115, kFunctionFlags}},
    {KeyKind::End, {MacKeyClass::Plain, 119, kFunctionFlags}},
    {KeyKind::PageUp, {MacKeyClass::Plain, 116, kFunctionFlags}},
    {KeyKind::PageDown, {MacKeyClass::Plain, 121, kFunctionFlags}},
    // kVK_Help: where a PC keyboard's Insert key arrives on a Mac.
    {KeyKind::Insert, {MacKeyClass::Plain, 114, kFunctionFlags}},
    // Device-independent mask | left-hand device bit.
    {KeyKind::Ctrl, {MacKeyClass::Modifier, 59, 0x40000 | 0x1}},
    {KeyKind::Shift, {MacKeyClass::Modifier, 56, 0x20000 | 0x2}},
    {KeyKind::Alt, {MacKeyClass::Modifier, 58, 0x80000 | 0x20}},
    {KeyKind::Meta, {MacKeyClass::Modifier, 55, 0x100000 | 0x8}},
    // NX_KEYTYPE_* numbers of the system-defined media key events.
    {KeyKind::PlayPause, {MacKeyClass::Media, 16, 0}},
    {KeyKind::NextTrack, {MacKeyClass::Media, 19, 0}},
    {KeyKind::PreviousTrack, {MacKeyClass::Media, 20, 0}},
    {KeyKind::VolumeUp, {MacKeyClass::Media, 0, 0}},
    {KeyKind::VolumeDown, {MacKeyClass::Media, 1, 0}},
    {KeyKind::Mute, {MacKeyClass::Media, 7, 0}},
}};

// kVK_RightCommand, kVK_RightShift, kVK_RightOption, kVK_RightControl.
constexpr std::array<std::pair<std::uint16_t, KeyKind>, 4> kRightModifiers = {{
    {54, KeyKind::Meta},
    {60, KeyKind::Shift},
    {61, KeyKind::Alt},
    {62, KeyKind::Ctrl},
}};

const LetterKeys& us_letter_keys() {
    static const LetterKeys us;
    return us;
}

}  // namespace

std::optional<MacKey> mac_key(Key key) {
    return mac_key(key, us_letter_keys());
}

std::optional<MacKey> mac_key(Key key, const LetterKeys& letters) {
    switch (key.kind) {
        case KeyKind::Letter: {
            const auto code = letters.code_for(static_cast<char>(key.param));
            if (!code) return std::nullopt;
            return MacKey{MacKeyClass::Plain, *code, 0};
        }
        case KeyKind::Digit:
            if (key.param >= kDigitCodes.size()) return std::nullopt;
            return MacKey{MacKeyClass::Plain, kDigitCodes[key.param], 0};
        case KeyKind::F:
            if (key.param < 1 || key.param > kFunctionCodes.size()) return std::nullopt;
            return MacKey{MacKeyClass::Plain, kFunctionCodes[key.param - 1u], kFunctionFlags};
        case KeyKind::Symbol:
            for (const auto& [character, code] : kSymbolCodes)
                if (static_cast<std::uint8_t>(character) == key.param)
                    return MacKey{MacKeyClass::Plain, code, 0};
            return std::nullopt;
        case KeyKind::Keypad:
            if (key.param >= kKeypadCodes.size()) return std::nullopt;
            return MacKey{MacKeyClass::Plain, kKeypadCodes[key.param], kKeypadFlags};
        default:
            for (const FixedKey& fixed : kFixedKeys)
                if (fixed.kind == key.kind) return fixed.key;
            return std::nullopt;
    }
}

std::optional<Key> key_for_mac_key_code(std::uint16_t code) {
    return key_for_mac_key_code(code, us_letter_keys());
}

std::optional<Key> key_for_mac_key_code(std::uint16_t code, const LetterKeys& letters) {
    if (const auto letter = letters.letter_at(code)) return Key::letter(*letter);
    for (std::size_t i = 0; i < kDigitCodes.size(); ++i)
        if (kDigitCodes[i] == code) return Key::digit(static_cast<std::uint8_t>(i));
    for (std::size_t i = 0; i < kFunctionCodes.size(); ++i)
        if (kFunctionCodes[i] == code) return Key::function(static_cast<std::uint8_t>(i + 1));
    for (const auto& [character, symbol_code] : kSymbolCodes)
        if (symbol_code == code) return Key::symbol(character);
    for (std::size_t i = 0; i < kKeypadCodes.size(); ++i)
        if (kKeypadCodes[i] == code) return Key(KeyKind::Keypad, static_cast<std::uint8_t>(i));
    for (const FixedKey& fixed : kFixedKeys)
        if (fixed.key.key_class != MacKeyClass::Media && fixed.key.code == code)
            return Key(fixed.kind);
    for (const auto& [right_code, kind] : kRightModifiers)
        if (right_code == code) return Key(kind);
    return std::nullopt;
}

std::vector<Key> modifiers_in_mac_flags(std::uint64_t flags) {
    constexpr std::array<std::pair<std::uint64_t, KeyKind>, 4> masks = {{
        {0x40000, KeyKind::Ctrl},
        {0x20000, KeyKind::Shift},
        {0x80000, KeyKind::Alt},
        {0x100000, KeyKind::Meta},
    }};
    std::vector<Key> keys;
    for (const auto& [mask, kind] : masks)
        if ((flags & mask) != 0) keys.emplace_back(kind);
    return keys;
}

}  // namespace thumbrover
