#include "linux/uinput_events.hpp"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <bit>
#include <memory>

namespace thumbrover {
namespace {

constexpr const char* kEventError = "could not create an input event";

Result<void> failed() {
    return Error{kEventError};
}

// xkbcommon numbers keys as X does: the evdev code plus 8.
constexpr xkb_keycode_t kXkbOffset = 8;

// By modifier slot: Ctrl, Shift, Alt, Meta.
constexpr std::array<std::uint16_t, kModifierCount> kModifierCodes = {KEY_LEFTCTRL, KEY_LEFTSHIFT,
                                                                      KEY_LEFTALT, KEY_LEFTMETA};

void report(std::vector<EvdevEvent>& out) {
    out.push_back({EV_SYN, SYN_REPORT, 0});
}

void press(std::vector<EvdevEvent>& out, std::uint16_t code, bool down) {
    out.push_back({EV_KEY, code, down ? 1 : 0});
    report(out);
}

struct ContextFree {
    void operator()(xkb_context* c) const { xkb_context_unref(c); }
};
struct KeymapFree {
    void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
};
struct StateFree {
    void operator()(xkb_state* s) const { xkb_state_unref(s); }
};

// The modifiers a key sets while it is down (its modifier map), read by pressing it in a state.
xkb_mod_mask_t mods_of_key(xkb_keymap* keymap, xkb_keycode_t keycode) {
    const std::unique_ptr<xkb_state, StateFree> state(xkb_state_new(keymap));
    if (!state) return 0;
    xkb_state_update_key(state.get(), keycode, XKB_KEY_DOWN);
    return xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED);
}

bool has_keysym_on_level(xkb_keymap* keymap, xkb_keycode_t keycode, xkb_level_index_t level,
                         xkb_keysym_t wanted) {
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap, keycode, 0, level, &syms);
    return std::find(syms, syms + std::max(count, 0), wanted) != syms + std::max(count, 0);
}

}  // namespace

const std::vector<std::uint16_t>& uinput_keyboard_keys() {
    static const std::vector<std::uint16_t> keys = [] {
        std::vector<std::uint16_t> k;
        // Escape to the keypad's full stop: the main block, where layouts put their characters.
        for (int code = KEY_ESC; code <= KEY_KPDOT; ++code)
            k.push_back(static_cast<std::uint16_t>(code));
        // The extra key of ISO keyboards (< > on German and French ones), F11 and F12.
        for (const int code :
             {KEY_102ND,    KEY_F11,       KEY_F12,          KEY_KPENTER,   KEY_RIGHTCTRL,
              KEY_KPSLASH,  KEY_SYSRQ,     KEY_RIGHTALT,     KEY_HOME,      KEY_UP,
              KEY_PAGEUP,   KEY_LEFT,      KEY_RIGHT,        KEY_END,       KEY_DOWN,
              KEY_PAGEDOWN, KEY_INSERT,    KEY_DELETE,       KEY_MUTE,      KEY_VOLUMEDOWN,
              KEY_VOLUMEUP, KEY_PAUSE,     KEY_LEFTMETA,     KEY_RIGHTMETA, KEY_COMPOSE,
              KEY_NEXTSONG, KEY_PLAYPAUSE, KEY_PREVIOUSSONG, KEY_KPEQUAL})
            k.push_back(static_cast<std::uint16_t>(code));
        for (int code = KEY_F13; code <= KEY_F24; ++code)
            k.push_back(static_cast<std::uint16_t>(code));
        return k;
    }();
    return keys;
}

const std::vector<std::uint16_t>& uinput_pointer_buttons() {
    static const std::vector<std::uint16_t> buttons = {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE};
    return buttons;
}

const std::vector<std::uint16_t>& uinput_pointer_axes() {
    static const std::vector<std::uint16_t> axes = {
        REL_X, REL_Y, REL_WHEEL, REL_HWHEEL, REL_WHEEL_HI_RES, REL_HWHEEL_HI_RES};
    return axes;
}

LayoutNames choose_layout(std::optional<std::string_view> env_layout,
                          std::optional<std::string_view> env_variant,
                          std::optional<LayoutNames> localed) {
    const auto first = [](std::string_view list) {
        return std::string(list.substr(0, list.find(',')));
    };
    if (env_layout && !first(*env_layout).empty()) {
        return {first(*env_layout), env_variant ? first(*env_variant) : std::string()};
    }
    if (localed && !first(localed->layout).empty()) {
        return {first(localed->layout), first(localed->variant)};
    }
    return {"us", ""};
}

Result<KeyboardLayout> KeyboardLayout::compile(const LayoutNames& names) {
    const auto unknown = [&] {
        std::string text = names.layout;
        if (!names.variant.empty()) text += "(" + names.variant + ")";
        return Error{"unknown keyboard layout \"" + text + "\""};
    };
    // The names are decided above; xkbcommon must not read them from the environment again.
    const std::unique_ptr<xkb_context, ContextFree> context(
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (!context) return unknown();
    // Its own complaints are not single diagnostic lines; a failure is reported below instead.
    xkb_context_set_log_fn(context.get(), [](xkb_context*, xkb_log_level, const char*, va_list) {});
    const xkb_rule_names rules{.rules = "evdev",
                               .model = "pc105",
                               .layout = names.layout.c_str(),
                               .variant = names.variant.c_str(),
                               .options = nullptr};
    const std::unique_ptr<xkb_keymap, KeymapFree> keymap(
        xkb_keymap_new_from_names(context.get(), &rules, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) return unknown();
    xkb_keymap* km = keymap.get();

    KeyboardLayout layout;
    layout.names_ = names;
    const xkb_mod_index_t shift_index = xkb_keymap_mod_get_index(km, XKB_MOD_NAME_SHIFT);
    const xkb_mod_mask_t shift_mask =
        shift_index == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t{1} << shift_index;
    xkb_mod_mask_t level3_mask = 0;
    for (const std::uint16_t code : {std::uint16_t{KEY_RIGHTALT}, std::uint16_t{KEY_102ND}}) {
        if (has_keysym_on_level(km, code + kXkbOffset, 0, XKB_KEY_ISO_Level3_Shift)) {
            layout.level3_key_ = code;
            level3_mask = mods_of_key(km, code + kXkbOffset) & ~shift_mask;
            break;
        }
    }

    const auto find = [&](xkb_keysym_t keysym) -> std::optional<KeyStroke> {
        std::optional<KeyStroke> best;
        int best_cost = 0;
        for (const std::uint16_t code : uinput_keyboard_keys()) {
            const xkb_keycode_t keycode = code + kXkbOffset;
            const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(km, keycode, 0);
            for (xkb_level_index_t level = 0; level < levels; ++level) {
                if (!has_keysym_on_level(km, keycode, level, keysym)) continue;
                xkb_mod_mask_t masks[8] = {};
                const std::size_t count =
                    xkb_keymap_key_get_mods_for_level(km, keycode, 0, level, masks, 8);
                for (std::size_t i = 0; i < count; ++i) {
                    // Only Shift and AltGr are pressed for a character; a level behind Caps Lock
                    // or Num Lock is left alone.
                    if ((masks[i] & ~(shift_mask | level3_mask)) != 0) continue;
                    if (level3_mask == 0 && masks[i] != 0 && (masks[i] & ~shift_mask) != 0)
                        continue;
                    const int cost = std::popcount(masks[i]);
                    if (best && cost >= best_cost) continue;
                    best = KeyStroke{code, (masks[i] & shift_mask) != 0,
                                     level3_mask != 0 && (masks[i] & level3_mask) == level3_mask};
                    best_cost = cost;
                }
            }
        }
        return best;
    };
    for (std::size_t i = 0; i < layout.letters_.size(); ++i)
        layout.letters_[i] = find(static_cast<xkb_keysym_t>(XKB_KEY_a + i));
    for (std::size_t i = 0; i < layout.digits_.size(); ++i)
        layout.digits_[i] = find(static_cast<xkb_keysym_t>(XKB_KEY_0 + i));
    // The keysyms of ASCII punctuation are the characters' codes.
    for (std::size_t i = 0; i < kSymbolKeys.size(); ++i)
        layout.symbols_[i] =
            find(static_cast<xkb_keysym_t>(static_cast<unsigned char>(kSymbolKeys[i].character)));
    return layout;
}

std::optional<KeyStroke> KeyboardLayout::letter(char c) const {
    if (c < 'a' || c > 'z') return std::nullopt;
    return letters_[static_cast<std::size_t>(c - 'a')];
}

std::optional<KeyStroke> KeyboardLayout::digit(std::uint8_t value) const {
    if (value > 9) return std::nullopt;
    return digits_[value];
}

std::optional<KeyStroke> KeyboardLayout::symbol(std::uint8_t character) const {
    for (std::size_t i = 0; i < kSymbolKeys.size(); ++i)
        if (static_cast<unsigned char>(kSymbolKeys[i].character) == character) return symbols_[i];
    return std::nullopt;
}

namespace {

std::optional<std::uint16_t> keypad_code(std::uint8_t param) {
    // The evdev codes follow the keypad's rows, not its digits.
    constexpr std::array<std::uint16_t, 10> digits = {KEY_KP0, KEY_KP1, KEY_KP2, KEY_KP3, KEY_KP4,
                                                      KEY_KP5, KEY_KP6, KEY_KP7, KEY_KP8, KEY_KP9};
    if (param < digits.size()) return digits[param];
    switch (static_cast<KeypadKey>(param)) {
        case KeypadKey::Add:
            return KEY_KPPLUS;
        case KeypadKey::Subtract:
            return KEY_KPMINUS;
        case KeypadKey::Multiply:
            return KEY_KPASTERISK;
        case KeypadKey::Divide:
            return KEY_KPSLASH;
        case KeypadKey::Decimal:
            return KEY_KPDOT;
        case KeypadKey::Enter:
            return KEY_KPENTER;
        case KeypadKey::Equal:
            return KEY_KPEQUAL;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint16_t> fixed_key_code(const Key& key) {
    switch (key.kind) {
        case KeyKind::Up:
            return KEY_UP;
        case KeyKind::Down:
            return KEY_DOWN;
        case KeyKind::Left:
            return KEY_LEFT;
        case KeyKind::Right:
            return KEY_RIGHT;
        case KeyKind::Esc:
            return KEY_ESC;
        case KeyKind::Tab:
            return KEY_TAB;
        case KeyKind::Enter:
            return KEY_ENTER;
        case KeyKind::Space:
            return KEY_SPACE;
        case KeyKind::Backspace:
            return KEY_BACKSPACE;
        case KeyKind::Delete:
            return KEY_DELETE;
        case KeyKind::Home:
            return KEY_HOME;
        case KeyKind::End:
            return KEY_END;
        case KeyKind::PageUp:
            return KEY_PAGEUP;
        case KeyKind::PageDown:
            return KEY_PAGEDOWN;
        case KeyKind::Insert:
            return KEY_INSERT;
        case KeyKind::Print:
            // The Print Screen key; KEY_PRINT is a different key that layouts seldom map.
            return KEY_SYSRQ;
        case KeyKind::Keypad:
            return keypad_code(key.param);
        case KeyKind::Symbol:
            return std::nullopt;
        case KeyKind::F:
            if (key.param < 1 || key.param > kFunctionKeyCount) return std::nullopt;
            // F1..F10 are consecutive; F11 and F12 came later and sit elsewhere, F13..F24 later
            // still.
            if (key.param <= 10) return static_cast<std::uint16_t>(KEY_F1 + key.param - 1);
            if (key.param <= 12)
                return static_cast<std::uint16_t>(key.param == 11 ? KEY_F11 : KEY_F12);
            return static_cast<std::uint16_t>(KEY_F13 + key.param - 13);
        case KeyKind::Ctrl:
        case KeyKind::Shift:
        case KeyKind::Alt:
        case KeyKind::Meta:
            return kModifierCodes[modifier_slot(key.kind)];
        case KeyKind::PlayPause:
            return KEY_PLAYPAUSE;
        case KeyKind::NextTrack:
            return KEY_NEXTSONG;
        case KeyKind::PreviousTrack:
            return KEY_PREVIOUSSONG;
        case KeyKind::VolumeUp:
            return KEY_VOLUMEUP;
        case KeyKind::VolumeDown:
            return KEY_VOLUMEDOWN;
        case KeyKind::Mute:
            return KEY_MUTE;
        case KeyKind::Letter:
        case KeyKind::Digit:
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::uint16_t> evdev_button_for(std::uint8_t button) {
    switch (button) {
        case 0:
            return BTN_LEFT;
        case 1:
            return BTN_RIGHT;
        case 2:
            return BTN_MIDDLE;
        default:
            return std::nullopt;
    }
}

Result<void> UinputEvents::translate(const OutputCommand& command, EvdevBatch& out) {
    switch (command.kind) {
        case CommandKind::Move:
            if (command.a == 0 && command.b == 0) return {};
            if (command.a != 0) out.pointer.push_back({EV_REL, REL_X, command.a});
            if (command.b != 0) out.pointer.push_back({EV_REL, REL_Y, command.b});
            report(out.pointer);
            return {};
        case CommandKind::Scroll:
            scroll(command.a, command.b, out);
            return {};
        case CommandKind::ButtonDown:
            return button(command.p1, true, out);
        case CommandKind::ButtonUp:
            return button(command.p1, false, out);
        case CommandKind::KeyDown:
        case CommandKind::KeyUp:
        case CommandKind::KeyTap: {
            const auto decoded = key_from_bytes(command.p1, command.p2);
            if (!decoded) return failed();
            if (command.kind != CommandKind::KeyTap)
                return key(*decoded, command.kind == CommandKind::KeyDown, out);
            auto down = key(*decoded, true, out);
            if (!down) return down;
            return key(*decoded, false, out);
        }
        case CommandKind::Click: {
            auto down = button(command.p1, true, out);
            if (!down) return down;
            return button(command.p1, false, out);
        }
        case CommandKind::HoldCommand:
            modifiers_.set_switcher(command.p1 == 1);
            apply_modifiers(out);
            return {};
        case CommandKind::SwitcherTab:
            press(out.keyboard, KEY_TAB, true);
            press(out.keyboard, KEY_TAB, false);
            return {};
        case CommandKind::Launcher:
            launcher(out);
            return {};
        default:
            return failed();
    }
}

void UinputEvents::scroll(std::int32_t vertical, std::int32_t horizontal, EvdevBatch& out) {
    const auto one_axis = [&](std::int32_t amount, std::int32_t& carry, std::uint16_t hi_res,
                              std::uint16_t notch) {
        amount = std::clamp(amount, -kMaxUnitsPerScroll, kMaxUnitsPerScroll);
        if (amount == 0) return;
        out.pointer.push_back({EV_REL, hi_res, amount});
        // The notch events approximate the high-resolution ones: one for every 120 units
        // travelled, in the direction travelled, the remainder kept for later.
        carry += amount;
        const std::int32_t notches = carry / kUnitsPerNotch;
        carry -= notches * kUnitsPerNotch;
        if (notches != 0) out.pointer.push_back({EV_REL, notch, notches});
    };
    const std::size_t before = out.pointer.size();
    // The engine's vertical units are positive upward and its horizontal ones positive rightward,
    // as the wheel's are.
    one_axis(vertical, notch_vertical_, REL_WHEEL_HI_RES, REL_WHEEL);
    one_axis(horizontal, notch_horizontal_, REL_HWHEEL_HI_RES, REL_HWHEEL);
    if (out.pointer.size() != before) report(out.pointer);
}

Result<void> UinputEvents::button(std::uint8_t which, bool down, EvdevBatch& out) {
    const auto code = evdev_button_for(which);
    if (!code) return failed();
    bool& held = button_down_[which];
    // A stray release, or a second press without a release, would leave the desktop's count of
    // held buttons wrong; the engine pairs them, this only guards against a repeated command.
    if (held == down) return {};
    press(out.pointer, *code, down);
    held = down;
    return {};
}

std::optional<KeyStroke> UinputEvents::stroke_for(const Key& key) const {
    if (key.kind == KeyKind::Letter) return layout_.letter(static_cast<char>(key.param));
    if (key.kind == KeyKind::Digit) return layout_.digit(key.param);
    if (key.kind == KeyKind::Symbol) return layout_.symbol(key.param);
    const auto code = fixed_key_code(key);
    if (!code) return std::nullopt;
    return KeyStroke{*code, false, false};
}

Result<void> UinputEvents::key(const Key& key, bool down, EvdevBatch& out) {
    if (key.modifier()) {
        if (down) {
            modifiers_.hold(key.kind);
        } else {
            modifiers_.release(key.kind);
        }
        apply_modifiers(out);
        return {};
    }
    const auto stroke = stroke_for(key);
    if (!stroke) return failed();
    const auto held = std::find(keys_down_.begin(), keys_down_.end(), stroke->code);
    if (down == (held != keys_down_.end())) return {};
    if (!down) {
        keys_down_.erase(held);
        press(out.keyboard, stroke->code, false);
        return {};
    }
    // With a modifier held the key goes as it is, as on X11: desktops match shortcuts such as
    // Ctrl+1 by key, and Shift or AltGr would change the shortcut.
    const bool any_modifier =
        std::find(modifier_down_.begin(), modifier_down_.end(), true) != modifier_down_.end();
    const bool shift = stroke->shift && !any_modifier;
    const bool level3 = stroke->level3 && !any_modifier && layout_.level3_key() != 0;
    // The level's modifiers are down only while the key goes down: that is when the desktop
    // reads the level.
    if (shift) press(out.keyboard, KEY_LEFTSHIFT, true);
    if (level3) press(out.keyboard, layout_.level3_key(), true);
    press(out.keyboard, stroke->code, true);
    if (level3) press(out.keyboard, layout_.level3_key(), false);
    if (shift) press(out.keyboard, KEY_LEFTSHIFT, false);
    keys_down_.push_back(stroke->code);
    return {};
}

void UinputEvents::launcher(EvdevBatch& out) {
    // Desktops open their launcher when Super is released without another key in between. While
    // Super is already held, lifting it and pressing it again gives the same tap and leaves it
    // held.
    const bool held = modifier_down_[modifier_slot(KeyKind::Meta)];
    press(out.keyboard, KEY_LEFTMETA, !held);
    press(out.keyboard, KEY_LEFTMETA, held);
}

void UinputEvents::apply_modifiers(EvdevBatch& out) {
    const auto wanted = modifiers_.pressed();
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (wanted[i] == modifier_down_[i]) continue;
        press(out.keyboard, kModifierCodes[i], wanted[i]);
        modifier_down_[i] = wanted[i];
    }
}

void UinputEvents::release_all(EvdevBatch& out) {
    for (const std::uint16_t code : keys_down_)
        press(out.keyboard, code, false);
    keys_down_.clear();
    modifiers_ = ModifierHolds{};
    apply_modifiers(out);
    for (std::uint8_t i = 0; i < button_down_.size(); ++i) {
        if (button_down_[i]) press(out.pointer, *evdev_button_for(i), false);
        button_down_[i] = false;
    }
}

}  // namespace thumbrover
