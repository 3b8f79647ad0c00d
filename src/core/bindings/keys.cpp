#include "core/bindings/keys.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "core/bindings/labels.hpp"
#include "core/bindings/unicode_text.hpp"

namespace thumbrover {
namespace {

constexpr std::array<KeyKindInfo, kKeyKindCount> kKeyKinds{{
    {KeyKind::Up, "up"},
    {KeyKind::Down, "down"},
    {KeyKind::Left, "left"},
    {KeyKind::Right, "right"},
    {KeyKind::Esc, "escape"},
    {KeyKind::Tab, "tab"},
    {KeyKind::Enter, "enter"},
    {KeyKind::Space, "space"},
    {KeyKind::Backspace, "backspace"},
    {KeyKind::Delete, "delete"},
    {KeyKind::Home, "home"},
    {KeyKind::End, "end"},
    {KeyKind::PageUp, "page-up"},
    {KeyKind::PageDown, "page-down"},
    {KeyKind::Letter, ""},
    {KeyKind::Digit, ""},
    {KeyKind::F, ""},
    {KeyKind::Ctrl, "ctrl"},
    {KeyKind::Shift, "shift"},
    {KeyKind::Alt, "alt"},
    {KeyKind::Meta, "cmd"},
    {KeyKind::PlayPause, "playpause"},
    {KeyKind::NextTrack, "nexttrack"},
    {KeyKind::PreviousTrack, "previoustrack"},
    {KeyKind::VolumeUp, "volumeup"},
    {KeyKind::VolumeDown, "volumedown"},
    {KeyKind::Mute, "mute"},
    {KeyKind::Insert, "insert"},
    {KeyKind::Print, "print"},
    {KeyKind::Symbol, ""},
    {KeyKind::Keypad, ""},
}};

// The keypad's keys past its digits, by `KeypadKey` from Add on: the settings file's name after
// "kp-" and the label after "Keypad ".
struct KeypadKeyInfo {
    std::string_view name;
    std::string_view label;
};
constexpr std::array<KeypadKeyInfo, kKeypadKeyCount - 10> kKeypadKeys{{
    {"add", "+"},
    {"subtract", "-"},
    {"multiply", "*"},
    {"divide", "/"},
    {"decimal", "."},
    {"enter", "Enter"},
    {"equal", "="},
}};
constexpr std::string_view kKeypadPrefix = "kp-";

constexpr bool table_in_kind_order() {
    for (std::size_t i = 0; i < kKeyKinds.size(); ++i)
        if (key_kind_number(kKeyKinds[i].kind) != i) return false;
    return true;
}
static_assert(table_in_kind_order());

struct Alias {
    std::string_view text;
    KeyKind kind;
};

constexpr std::array<Alias, 13> kAliases{{
    {"esc", KeyKind::Esc},
    {"return", KeyKind::Enter},
    {"control", KeyKind::Ctrl},
    {"option", KeyKind::Alt},
    {"opt", KeyKind::Alt},
    {"command", KeyKind::Meta},
    {"meta", KeyKind::Meta},
    {"super", KeyKind::Meta},
    {"win", KeyKind::Meta},
    {"ins", KeyKind::Insert},
    {"printscreen", KeyKind::Print},
    {"sysrq", KeyKind::Print},
    {"del", KeyKind::Delete},
}};

[[nodiscard]] const KeyKindInfo& info(KeyKind kind) {
    // Out-of-range kinds can only come from a cast; they read as the last row instead of past it.
    const std::size_t i = std::min<std::size_t>(key_kind_number(kind), kKeyKinds.size() - 1);
    return kKeyKinds[i];
}

// "f" followed by an optional "+" and decimal digits whose value fits a byte, naming F1..F24.
[[nodiscard]] std::optional<Key> parse_function_key(std::string_view text) {
    if (text.size() < 2 || text[0] != 'f') return std::nullopt;
    std::string_view digits = text.substr(1);
    if (digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty()) return std::nullopt;
    unsigned value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 255) return std::nullopt;
    }
    if (value < 1 || value > kFunctionKeyCount) return std::nullopt;
    return Key::function(static_cast<std::uint8_t>(value));
}

// "kp-0".."kp-9" and "kp-" followed by a name of `kKeypadKeys`.
[[nodiscard]] std::optional<Key> parse_keypad_key(std::string_view text) {
    if (!text.starts_with(kKeypadPrefix)) return std::nullopt;
    text.remove_prefix(kKeypadPrefix.size());
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '9')
        return Key::keypad_digit(static_cast<std::uint8_t>(text[0] - '0'));
    for (std::size_t i = 0; i < kKeypadKeys.size(); ++i)
        if (kKeypadKeys[i].name == text)
            return Key(KeyKind::Keypad, static_cast<std::uint8_t>(10 + i));
    return std::nullopt;
}

[[nodiscard]] std::optional<Key> parse_symbol_key(std::string_view text) {
    for (const SymbolKeyInfo& row : kSymbolKeys)
        if (row.name == text || (text.size() == 1 && text[0] == row.character))
            return Key::symbol(row.character);
    return std::nullopt;
}

[[nodiscard]] std::string_view symbol_name(std::uint8_t character) {
    for (const SymbolKeyInfo& row : kSymbolKeys)
        if (static_cast<std::uint8_t>(row.character) == character) return row.name;
    return {};
}

}  // namespace

const std::array<KeyKindInfo, kKeyKindCount>& key_kinds() {
    return kKeyKinds;
}

Shortcut make_shortcut(std::vector<Key> modifiers, Key key) {
    std::erase_if(modifiers, [&](const Key& m) { return !m.modifier() || m == key; });
    std::sort(modifiers.begin(), modifiers.end());
    modifiers.erase(std::unique(modifiers.begin(), modifiers.end()), modifiers.end());
    return Shortcut{std::move(modifiers), key};
}

std::optional<Key> parse_key(std::string_view text) {
    const std::optional<std::string> lower = unicode_text::ascii_lower(unicode_text::trim(text));
    if (!lower) return std::nullopt;
    const std::string& t = *lower;
    if (t.size() == 1) {
        const char c = t[0];
        if (c >= 'a' && c <= 'z') return Key::letter(c);
        if (c >= '0' && c <= '9') return Key::digit(static_cast<std::uint8_t>(c - '0'));
        return parse_symbol_key(t);
    }
    if (t.empty()) return std::nullopt;
    if (auto symbol = parse_symbol_key(t)) return symbol;
    if (auto keypad = parse_keypad_key(t)) return keypad;
    for (const KeyKindInfo& row : kKeyKinds) {
        if (key_kind_has_param(row.kind) || is_media(row.kind)) continue;
        if (row.name == t) return Key(row.kind);
    }
    for (const Alias& alias : kAliases)
        if (alias.text == t) return Key(alias.kind);
    return parse_function_key(t);
}

std::optional<Shortcut> parse_shortcut(std::string_view text) {
    std::vector<Key> keys;
    for (;;) {
        const std::size_t plus = text.find('+');
        const std::optional<Key> key = parse_key(text.substr(0, plus));
        if (!key) return std::nullopt;
        keys.push_back(*key);
        if (plus == std::string_view::npos) break;
        text.remove_prefix(plus + 1);
    }
    const Key key = keys.back();
    keys.pop_back();
    for (const Key& m : keys)
        if (!m.modifier()) return std::nullopt;
    return make_shortcut(std::move(keys), key);
}

std::string key_name(Key key) {
    switch (key.kind) {
        case KeyKind::Letter:
            return std::string(1, static_cast<char>(key.param));
        case KeyKind::Digit:
            return std::to_string(key.param);
        case KeyKind::F:
            return "f" + std::to_string(key.param);
        case KeyKind::Symbol:
            return std::string(symbol_name(key.param));
        case KeyKind::Keypad:
            if (key.param < 10) return std::string(kKeypadPrefix) + std::to_string(key.param);
            if (key.param >= kKeypadKeyCount) return {};
            return std::string(kKeypadPrefix) + std::string(kKeypadKeys[key.param - 10u].name);
        default:
            return std::string(info(key.kind).name);
    }
}

std::string key_label(Key key, const PlatformLabels& labels) {
    switch (key.kind) {
        case KeyKind::Letter: {
            const char c = static_cast<char>(key.param);
            return std::string(1, c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c);
        }
        case KeyKind::Digit:
            return std::to_string(key.param);
        case KeyKind::F:
            return "F" + std::to_string(key.param);
        case KeyKind::Symbol:
            return std::string(1, static_cast<char>(key.param));
        case KeyKind::Keypad:
            if (key.param < 10) return "Keypad " + std::to_string(key.param);
            if (key.param >= kKeypadKeyCount) return "Keypad";
            return "Keypad " + std::string(kKeypadKeys[key.param - 10u].label);
        default:
            return std::string(labels.keys[key_kind_number(info(key.kind).kind)]);
    }
}

std::string shortcut_name(const Shortcut& shortcut) {
    std::string out;
    for (const Key& m : shortcut.modifiers) {
        out += key_name(m);
        out += '+';
    }
    out += key_name(shortcut.key);
    return out;
}

std::string shortcut_label(const Shortcut& shortcut, const PlatformLabels& labels) {
    std::string out;
    for (const Key& m : shortcut.modifiers) {
        out += key_label(m, labels);
        out += labels.key_separator;
    }
    out += key_label(shortcut.key, labels);
    return out;
}

}  // namespace thumbrover
