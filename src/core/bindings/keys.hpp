#pragma once

#include <algorithm>
#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace thumbrover {

// The kind numbers are part of the interface: they order keys and are the bytes handed to the
// event synthesis, so enumerators must never be reordered.
enum class KeyKind : std::uint8_t {
    Up = 0,
    Down = 1,
    Left = 2,
    Right = 3,
    Esc = 4,
    Tab = 5,
    Enter = 6,
    Space = 7,
    Backspace = 8,
    Delete = 9,
    Home = 10,
    End = 11,
    PageUp = 12,
    PageDown = 13,
    Letter = 14,  // parameter: character code of 'a'..'z'
    Digit = 15,   // parameter: 0..9
    F = 16,       // parameter: 1..24
    Ctrl = 17,
    Shift = 18,
    Alt = 19,
    Meta = 20,  // Command on macOS, Super on Linux
    PlayPause = 21,
    NextTrack = 22,
    PreviousTrack = 23,
    VolumeUp = 24,
    VolumeDown = 25,
    Mute = 26,
    Insert = 27,
    Print = 28,
    Symbol = 29,  // parameter: the punctuation character the key types on a US keyboard
    Keypad = 30,  // parameter: `KeypadKey`
};

inline constexpr std::size_t kKeyKindCount = 31;

// The keys of the numeric keypad, by their parameter.
enum class KeypadKey : std::uint8_t {
    // 0..9 are the digits.
    Add = 10,
    Subtract = 11,
    Multiply = 12,
    Divide = 13,
    Decimal = 14,
    Enter = 15,
    Equal = 16,
};
inline constexpr std::uint8_t kKeypadKeyCount = 17;
inline constexpr std::uint8_t kFunctionKeyCount = 24;

// The punctuation keys, by the character they type without Shift on a US keyboard, with the name
// the settings file gives them (X's keysym names, so they read the same in every desktop's
// documentation).
struct SymbolKeyInfo {
    char character;
    std::string_view name;
};
inline constexpr std::array<SymbolKeyInfo, 11> kSymbolKeys{{
    {'-', "minus"},
    {'=', "equal"},
    {',', "comma"},
    {'.', "period"},
    {'/', "slash"},
    {';', "semicolon"},
    {'\'', "apostrophe"},
    {'[', "bracketleft"},
    {']', "bracketright"},
    {'\\', "backslash"},
    {'`', "grave"},
}};
[[nodiscard]] constexpr bool is_symbol_character(std::uint8_t c) {
    for (const SymbolKeyInfo& row : kSymbolKeys)
        if (static_cast<std::uint8_t>(row.character) == c) return true;
    return false;
}

[[nodiscard]] constexpr std::uint8_t key_kind_number(KeyKind kind) {
    return static_cast<std::uint8_t>(kind);
}
[[nodiscard]] constexpr bool key_kind_has_param(KeyKind kind) {
    return kind == KeyKind::Letter || kind == KeyKind::Digit || kind == KeyKind::F ||
           kind == KeyKind::Symbol || kind == KeyKind::Keypad;
}
[[nodiscard]] constexpr bool is_modifier(KeyKind kind) {
    return kind >= KeyKind::Ctrl && kind <= KeyKind::Meta;
}
[[nodiscard]] constexpr bool is_media(KeyKind kind) {
    return kind >= KeyKind::PlayPause && kind <= KeyKind::Mute;
}

// One keyboard key. The parameter only means something for Letter, Digit, F, Symbol and Keypad; for
// every other kind it is ignored by comparisons and kept at 0 by the constructor.
struct Key {
    KeyKind kind = KeyKind::Up;
    std::uint8_t param = 0;

    constexpr Key() = default;
    constexpr Key(KeyKind k, std::uint8_t p = 0) : kind(k), param(key_kind_has_param(k) ? p : 0) {}

    // `c` must be 'a'..'z'.
    [[nodiscard]] static constexpr Key letter(char c) {
        return Key(KeyKind::Letter, static_cast<std::uint8_t>(c));
    }
    // `value` must be 0..9.
    [[nodiscard]] static constexpr Key digit(std::uint8_t value) {
        return Key(KeyKind::Digit, value);
    }
    // `number` must be 1..24.
    [[nodiscard]] static constexpr Key function(std::uint8_t number) {
        return Key(KeyKind::F, number);
    }
    // `c` must be one of `kSymbolKeys`.
    [[nodiscard]] static constexpr Key symbol(char c) {
        return Key(KeyKind::Symbol, static_cast<std::uint8_t>(c));
    }
    // `digit` must be 0..9.
    [[nodiscard]] static constexpr Key keypad_digit(std::uint8_t digit) {
        return Key(KeyKind::Keypad, digit);
    }
    [[nodiscard]] static constexpr Key keypad(KeypadKey which) {
        return Key(KeyKind::Keypad, static_cast<std::uint8_t>(which));
    }

    [[nodiscard]] constexpr bool modifier() const { return is_modifier(kind); }
    [[nodiscard]] constexpr std::uint8_t effective_param() const {
        return key_kind_has_param(kind) ? param : 0;
    }

    friend constexpr bool operator==(const Key& a, const Key& b) {
        return a.kind == b.kind && a.effective_param() == b.effective_param();
    }
    friend constexpr std::strong_ordering operator<=>(const Key& a, const Key& b) {
        if (auto c = a.kind <=> b.kind; c != 0) return c;
        return a.effective_param() <=> b.effective_param();
    }
};

// The key that an output command's kind and parameter bytes name, decoded once so that every
// event output works with `Key` alone. None for bytes outside the vocabulary: a kind above 30, a
// letter outside 'a'..'z', a digit above 9, a function key outside 1..24, a punctuation character
// without a key, or a keypad key past the last.
[[nodiscard]] constexpr std::optional<Key> key_from_bytes(std::uint8_t kind, std::uint8_t param) {
    if (kind >= kKeyKindCount) return std::nullopt;
    const auto k = static_cast<KeyKind>(kind);
    if (k == KeyKind::Letter && (param < 'a' || param > 'z')) return std::nullopt;
    if (k == KeyKind::Digit && param > 9) return std::nullopt;
    if (k == KeyKind::F && (param < 1 || param > kFunctionKeyCount)) return std::nullopt;
    if (k == KeyKind::Symbol && !is_symbol_character(param)) return std::nullopt;
    if (k == KeyKind::Keypad && param >= kKeypadKeyCount) return std::nullopt;
    return Key(k, param);
}

// The place of a modifier among Ctrl, Shift, Alt and Meta (0..3), for tables kept per modifier.
// `kind` must be a modifier.
inline constexpr std::size_t kModifierCount = 4;
[[nodiscard]] constexpr std::size_t modifier_slot(KeyKind kind) {
    return static_cast<std::size_t>(key_kind_number(kind) - key_kind_number(KeyKind::Ctrl));
}

// A key pressed while the modifiers are held. Built through `make_shortcut` or `parse_shortcut`,
// `modifiers` is sorted ascending, holds no duplicates, only modifier keys and never `key` itself.
struct Shortcut {
    std::vector<Key> modifiers;
    Key key;

    friend bool operator==(const Shortcut&, const Shortcut&) = default;
    // Compared element by element rather than with the vectors' own <=>, which the libc++ of
    // Xcode 15 and older does not provide.
    friend std::strong_ordering operator<=>(const Shortcut& a, const Shortcut& b) {
        const std::size_t common = std::min(a.modifiers.size(), b.modifiers.size());
        for (std::size_t i = 0; i < common; ++i)
            if (auto c = a.modifiers[i] <=> b.modifiers[i]; c != 0) return c;
        if (auto c = a.modifiers.size() <=> b.modifiers.size(); c != 0) return c;
        return a.key <=> b.key;
    }
};

// One row of the key table: the settings-file name; empty for the kinds whose name depends on the
// parameter (`key_name`). The labels are the platform's (`PlatformLabels`).
struct KeyKindInfo {
    KeyKind kind;
    std::string_view name;
};

struct PlatformLabels;
[[nodiscard]] const PlatformLabels& native_labels();

// Every key kind, in kind order.
[[nodiscard]] const std::array<KeyKindInfo, kKeyKindCount>& key_kinds();

// Builds a shortcut with its modifier list normalised: keys that are not modifiers and modifiers
// equal to `key` are dropped, the rest sorted and de-duplicated.
[[nodiscard]] Shortcut make_shortcut(std::vector<Key> modifiers, Key key);

// Parsers report only success or failure; callers word the error.
[[nodiscard]] std::optional<Key> parse_key(std::string_view text);
[[nodiscard]] std::optional<Shortcut> parse_shortcut(std::string_view text);

[[nodiscard]] std::string key_name(Key key);
[[nodiscard]] std::string key_label(Key key, const PlatformLabels& labels = native_labels());
[[nodiscard]] std::string shortcut_name(const Shortcut& shortcut);
// The labels of the modifiers and the key, without the "Key: " prefix ("⇧⌘T" on macOS,
// "Ctrl+Shift+T" on Linux).
[[nodiscard]] std::string shortcut_label(const Shortcut& shortcut,
                                         const PlatformLabels& labels = native_labels());

}  // namespace thumbrover
