#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/bindings/keys.hpp"
#include "qt/key_codes.hpp"

namespace thumbrover {
namespace {

struct KeyCase {
    int qt_key;
    std::optional<std::string> name;  // the settings-file name, or none when not capturable
};

TEST(QtKeyTable, MapsTheCapturableKeysAndNothingElse) {
    const std::vector<KeyCase> cases = {
        {Qt::Key_A, "a"},
        {Qt::Key_T, "t"},
        {Qt::Key_Z, "z"},
        {Qt::Key_0, "0"},
        {Qt::Key_9, "9"},
        {Qt::Key_F1, "f1"},
        {Qt::Key_F12, "f12"},
        {Qt::Key_Return, "enter"},
        {Qt::Key_Tab, "tab"},
        {Qt::Key_Backtab, "tab"},
        {Qt::Key_Space, "space"},
        {Qt::Key_Backspace, "backspace"},
        {Qt::Key_Escape, "escape"},
        {Qt::Key_Delete, "delete"},
        {Qt::Key_Home, "home"},
        {Qt::Key_End, "end"},
        {Qt::Key_PageUp, "page-up"},
        {Qt::Key_PageDown, "page-down"},
        {Qt::Key_Left, "left"},
        {Qt::Key_Right, "right"},
        {Qt::Key_Up, "up"},
        {Qt::Key_Down, "down"},
        {Qt::Key_Super_L, "cmd"},
        {Qt::Key_Super_R, "cmd"},
        {Qt::Key_Meta, "cmd"},
        {Qt::Key_Shift, "shift"},
        {Qt::Key_Alt, "alt"},
        {Qt::Key_Control, "ctrl"},
        {Qt::Key_F13, "f13"},
        {Qt::Key_F24, "f24"},
        {Qt::Key_Comma, "comma"},
        {Qt::Key_Minus, "minus"},
        {Qt::Key_Equal, "equal"},
        {Qt::Key_Semicolon, "semicolon"},
        {Qt::Key_Slash, "slash"},
        {Qt::Key_BracketLeft, "bracketleft"},
        {Qt::Key_QuoteLeft, "grave"},
        {Qt::Key_Enter, "kp-enter"},
        {Qt::Key_Insert, "insert"},
        {Qt::Key_Print, "print"},
        {Qt::Key_VolumeUp, "volumeup"},
        {Qt::Key_MediaPlay, "playpause"},
        {Qt::Key_MediaTogglePlayPause, "playpause"},
        {Qt::Key_5 | kQtKeypadKey, "kp-5"},
        {Qt::Key_Plus | kQtKeypadKey, "kp-add"},
        {Qt::Key_Up | kQtKeypadKey, "up"},
        // Shifted characters have no key of their own; capture looks for the key underneath.
        {Qt::Key_Exclam, std::nullopt},
        {Qt::Key_Plus, std::nullopt},
        {Qt::Key_F25, std::nullopt},
        {Qt::Key_AltGr, std::nullopt},
        {0, std::nullopt},
        {Qt::Key_unknown, std::nullopt},
    };
    for (const KeyCase& c : cases) {
        const std::optional<Key> key = key_for_qt_key(static_cast<std::uint32_t>(c.qt_key));
        const std::optional<std::string> name =
            key ? std::optional<std::string>(key_name(*key)) : std::nullopt;
        EXPECT_EQ(name, c.name) << "Qt key 0x" << std::hex << c.qt_key;
    }
}

TEST(QtKeyTable, ModifiersComeInTheShortcutOrderAndIgnoreKeypadFlags) {
    EXPECT_EQ(modifiers_in_qt_modifiers(Qt::NoModifier), std::vector<Key>{});
    EXPECT_EQ(modifiers_in_qt_modifiers(Qt::MetaModifier | Qt::ShiftModifier | Qt::AltModifier |
                                        Qt::ControlModifier | Qt::KeypadModifier |
                                        Qt::GroupSwitchModifier),
              (std::vector<Key>{Key(KeyKind::Ctrl), Key(KeyKind::Alt), Key(KeyKind::Shift),
                                Key(KeyKind::Meta)}));
}

TEST(QtKeyPress, KeypadKeysAreTheirOwnAndShiftedSymbolsFallBackToTheirKey) {
    // The keypad's 5 is not the main 5.
    const KeyPress keypad = key_press_for_qt(Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(key_for_qt_key(keypad.code), Key::keypad_digit(5));

    // Shift+1 reads "!" on most layouts; the key under the finger is the digit.
    const KeyPress shifted = key_press_for_qt(Qt::Key_Exclam, Qt::ShiftModifier, Qt::Key_1);
    EXPECT_EQ(key_for_qt_key(shifted.code), Key::digit(1));
    EXPECT_EQ(shifted.modifiers, std::vector<Key>{Key(KeyKind::Shift)});

    // A key that is capturable as it stands keeps its own code.
    const KeyPress letter = key_press_for_qt(Qt::Key_T, Qt::ShiftModifier, Qt::Key_Y);
    EXPECT_EQ(key_for_qt_key(letter.code), Key::letter('t'));

    // Shift+= reads "+"; the key is equal.
    const KeyPress plus = key_press_for_qt(Qt::Key_Plus, Qt::ShiftModifier, Qt::Key_Equal);
    EXPECT_EQ(key_for_qt_key(plus.code), Key::symbol('='));

    // A character without a capturable key underneath stays unusable.
    const KeyPress exclam = key_press_for_qt(Qt::Key_Exclam, Qt::NoModifier, 0);
    EXPECT_FALSE(key_for_qt_key(exclam.code));
}

TEST(QtKeyPress, ModifierKeysAloneOnlyPrepareAShortcut) {
    for (const int key : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt, Qt::Key_Meta,
                          Qt::Key_Super_L, Qt::Key_Super_R, Qt::Key_AltGr, Qt::Key_CapsLock})
        EXPECT_TRUE(is_modifier_only_key(static_cast<std::uint32_t>(key))) << key;
    for (const int key : {Qt::Key_A, Qt::Key_Escape, Qt::Key_F1, Qt::Key_Tab})
        EXPECT_FALSE(is_modifier_only_key(static_cast<std::uint32_t>(key))) << key;
}

}  // namespace
}  // namespace thumbrover
