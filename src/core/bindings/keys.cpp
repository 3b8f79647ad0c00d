#include "core/bindings/keys.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "core/bindings/unicode_text.hpp"

namespace thumbrover {
namespace {

constexpr std::array<KeyKindInfo, kKeyKindCount> kKeyKinds{{
    {KeyKind::Up, "up", "\u2191"},
    {KeyKind::Down, "down", "\u2193"},
    {KeyKind::Left, "left", "\u2190"},
    {KeyKind::Right, "right", "\u2192"},
    {KeyKind::Esc, "escape", "Esc"},
    {KeyKind::Tab, "tab", "Tab"},
    {KeyKind::Enter, "enter", "Return"},
    {KeyKind::Space, "space", "Space"},
    {KeyKind::Backspace, "backspace", "\u232B"},
    {KeyKind::Delete, "delete", "\u2326"},
    {KeyKind::Home, "home", "Home"},
    {KeyKind::End, "end", "End"},
    {KeyKind::PageUp, "page-up", "Page Up"},
    {KeyKind::PageDown, "page-down", "Page Down"},
    {KeyKind::Letter, "", ""},
    {KeyKind::Digit, "", ""},
    {KeyKind::F, "", ""},
    {KeyKind::Ctrl, "ctrl", "\u2303"},
    {KeyKind::Shift, "shift", "\u21E7"},
    {KeyKind::Alt, "alt", "\u2325"},
    {KeyKind::Meta, "cmd", "\u2318"},
    {KeyKind::PlayPause, "playpause", "Playpause"},
    {KeyKind::NextTrack, "nexttrack", "Nexttrack"},
    {KeyKind::PreviousTrack, "previoustrack", "Previoustrack"},
    {KeyKind::VolumeUp, "volumeup", "Volumeup"},
    {KeyKind::VolumeDown, "volumedown", "Volumedown"},
    {KeyKind::Mute, "mute", "Mute"},
}};

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

constexpr std::array<Alias, 9> kAliases{{
    {"esc", KeyKind::Esc},
    {"return", KeyKind::Enter},
    {"control", KeyKind::Ctrl},
    {"option", KeyKind::Alt},
    {"opt", KeyKind::Alt},
    {"command", KeyKind::Meta},
    {"meta", KeyKind::Meta},
    {"super", KeyKind::Meta},
    {"win", KeyKind::Meta},
}};

[[nodiscard]] const KeyKindInfo& info(KeyKind kind) {
    // Out-of-range kinds can only come from a cast; they read as the last row instead of past it.
    const std::size_t i = std::min<std::size_t>(key_kind_number(kind), kKeyKinds.size() - 1);
    return kKeyKinds[i];
}

// "f" followed by an optional "+" and decimal digits whose value fits a byte, naming F1..F12.
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
    if (value < 1 || value > 12) return std::nullopt;
    return Key::function(static_cast<std::uint8_t>(value));
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
        return std::nullopt;
    }
    if (t.empty()) return std::nullopt;
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
        default:
            return std::string(info(key.kind).name);
    }
}

std::string key_label(Key key) {
    switch (key.kind) {
        case KeyKind::Letter: {
            const char c = static_cast<char>(key.param);
            return std::string(1, c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c);
        }
        case KeyKind::Digit:
            return std::to_string(key.param);
        case KeyKind::F:
            return "F" + std::to_string(key.param);
        default:
            return std::string(info(key.kind).label);
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

std::string shortcut_label(const Shortcut& shortcut) {
    std::string out;
    for (const Key& m : shortcut.modifiers)
        out += key_label(m);
    out += key_label(shortcut.key);
    return out;
}

}  // namespace thumbrover
