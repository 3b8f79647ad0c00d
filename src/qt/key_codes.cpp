#include "qt/key_codes.hpp"

namespace thumbrover {

namespace {

std::optional<Key> keypad_key_for_qt_key(std::uint32_t qt_key) {
    if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9)
        return Key::keypad_digit(static_cast<std::uint8_t>(qt_key - Qt::Key_0));
    switch (qt_key) {
        case Qt::Key_Plus:
            return Key::keypad(KeypadKey::Add);
        case Qt::Key_Minus:
            return Key::keypad(KeypadKey::Subtract);
        case Qt::Key_Asterisk:
            return Key::keypad(KeypadKey::Multiply);
        case Qt::Key_Slash:
            return Key::keypad(KeypadKey::Divide);
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return Key::keypad(KeypadKey::Decimal);
        case Qt::Key_Enter:
        case Qt::Key_Return:
            return Key::keypad(KeypadKey::Enter);
        case Qt::Key_Equal:
            return Key::keypad(KeypadKey::Equal);
        default:
            // Without Num Lock the keypad's keys are arrows and editing keys (and macOS marks
            // its arrow keys as keypad keys): those are the keys they stand for.
            return key_for_qt_key(qt_key);
    }
}

}  // namespace

std::optional<Key> key_for_qt_key(std::uint32_t qt_key) {
    if ((qt_key & kQtKeypadKey) != 0) return keypad_key_for_qt_key(qt_key & ~kQtKeypadKey);
    if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z)
        return Key::letter(static_cast<char>('a' + (qt_key - Qt::Key_A)));
    if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9)
        return Key::digit(static_cast<std::uint8_t>(qt_key - Qt::Key_0));
    if (qt_key >= Qt::Key_F1 && qt_key < Qt::Key_F1 + kFunctionKeyCount)
        return Key::function(static_cast<std::uint8_t>(qt_key - Qt::Key_F1 + 1));
    // Qt's codes of the punctuation keys are the characters' own.
    if (qt_key < 0x80 && is_symbol_character(static_cast<std::uint8_t>(qt_key)))
        return Key::symbol(static_cast<char>(qt_key));
    switch (qt_key) {
        case Qt::Key_Enter:
            return Key::keypad(KeypadKey::Enter);
        case Qt::Key_Insert:
            return Key(KeyKind::Insert);
        case Qt::Key_Print:
        case Qt::Key_SysReq:
            return Key(KeyKind::Print);
        case Qt::Key_MediaPlay:
        case Qt::Key_MediaPause:
        case Qt::Key_MediaTogglePlayPause:
            return Key(KeyKind::PlayPause);
        case Qt::Key_MediaNext:
            return Key(KeyKind::NextTrack);
        case Qt::Key_MediaPrevious:
            return Key(KeyKind::PreviousTrack);
        case Qt::Key_VolumeUp:
            return Key(KeyKind::VolumeUp);
        case Qt::Key_VolumeDown:
            return Key(KeyKind::VolumeDown);
        case Qt::Key_VolumeMute:
            return Key(KeyKind::Mute);
        case Qt::Key_Return:
            return Key(KeyKind::Enter);
        // Shift+Tab arrives as Backtab; the key is still Tab, and Shift is among the modifiers.
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return Key(KeyKind::Tab);
        case Qt::Key_Space:
            return Key(KeyKind::Space);
        case Qt::Key_Backspace:
            return Key(KeyKind::Backspace);
        case Qt::Key_Escape:
            return Key(KeyKind::Esc);
        case Qt::Key_Delete:
            return Key(KeyKind::Delete);
        case Qt::Key_Home:
            return Key(KeyKind::Home);
        case Qt::Key_End:
            return Key(KeyKind::End);
        case Qt::Key_PageUp:
            return Key(KeyKind::PageUp);
        case Qt::Key_PageDown:
            return Key(KeyKind::PageDown);
        case Qt::Key_Left:
            return Key(KeyKind::Left);
        case Qt::Key_Right:
            return Key(KeyKind::Right);
        case Qt::Key_Up:
            return Key(KeyKind::Up);
        case Qt::Key_Down:
            return Key(KeyKind::Down);
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
            return Key(KeyKind::Meta);
        case Qt::Key_Shift:
            return Key(KeyKind::Shift);
        case Qt::Key_Alt:
            return Key(KeyKind::Alt);
        case Qt::Key_Control:
            return Key(KeyKind::Ctrl);
        default:
            return std::nullopt;
    }
}

std::vector<Key> modifiers_in_qt_modifiers(Qt::KeyboardModifiers modifiers) {
    std::vector<Key> keys;
    if (modifiers.testFlag(Qt::ControlModifier)) keys.emplace_back(KeyKind::Ctrl);
    if (modifiers.testFlag(Qt::AltModifier)) keys.emplace_back(KeyKind::Alt);
    if (modifiers.testFlag(Qt::ShiftModifier)) keys.emplace_back(KeyKind::Shift);
    if (modifiers.testFlag(Qt::MetaModifier)) keys.emplace_back(KeyKind::Meta);
    return keys;
}

bool is_modifier_only_key(std::uint32_t qt_key) {
    switch (qt_key) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
            return true;
        default:
            return false;
    }
}

KeyPress key_press_for_qt(std::uint32_t qt_key, Qt::KeyboardModifiers modifiers,
                          std::uint32_t unshifted_key) {
    KeyPress press;
    press.modifiers = modifiers_in_qt_modifiers(modifiers);
    if (modifiers.testFlag(Qt::KeypadModifier)) {
        press.code = qt_key | kQtKeypadKey;
        return press;
    }
    press.code = qt_key;
    if (!key_for_qt_key(qt_key) && unshifted_key != 0 && key_for_qt_key(unshifted_key))
        press.code = unshifted_key;
    return press;
}

}  // namespace thumbrover
