#include "macos/key_capture.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <utility>

#include "core/ui/recording_effects.hpp"

namespace thumbrover {
namespace {

using testing::RecordingEffects;

TEST(MacCapture, EveryCapturableCodeAndNothingElse) {
    std::map<std::uint32_t, Key> expected;
    const std::pair<int, char> letters[] = {
        {0, 'a'},  {1, 's'},  {2, 'd'},  {3, 'f'},  {4, 'h'},  {5, 'g'},  {6, 'z'},
        {7, 'x'},  {8, 'c'},  {9, 'v'},  {11, 'b'}, {12, 'q'}, {13, 'w'}, {14, 'e'},
        {15, 'r'}, {16, 'y'}, {17, 't'}, {31, 'o'}, {32, 'u'}, {34, 'i'}, {35, 'p'},
        {37, 'l'}, {38, 'j'}, {40, 'k'}, {45, 'n'}, {46, 'm'}};
    for (auto [code, letter] : letters)
        expected[static_cast<std::uint32_t>(code)] = Key::letter(letter);
    const int digits[] = {29, 18, 19, 20, 21, 23, 22, 26, 28, 25};  // 0..9
    for (std::uint8_t d = 0; d < 10; ++d)
        expected[static_cast<std::uint32_t>(digits[d])] = Key::digit(d);
    const int functions[] = {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                             103, 111, 105, 107, 113, 106, 64, 79,  80,  90};  // F1..F20
    for (std::uint8_t f = 0; f < 20; ++f)
        expected[static_cast<std::uint32_t>(functions[f])] =
            Key::function(static_cast<std::uint8_t>(f + 1));
    const std::pair<int, KeyKind> fixed[] = {
        {36, KeyKind::Enter},     {48, KeyKind::Tab},    {49, KeyKind::Space},
        {51, KeyKind::Backspace}, {53, KeyKind::Esc},    {117, KeyKind::Delete},
        {115, KeyKind::Home},     {119, KeyKind::End},   {116, KeyKind::PageUp},
        {121, KeyKind::PageDown}, {123, KeyKind::Left},  {124, KeyKind::Right},
        {125, KeyKind::Down},     {126, KeyKind::Up},    {55, KeyKind::Meta},
        {54, KeyKind::Meta},      {56, KeyKind::Shift},  {60, KeyKind::Shift},
        {58, KeyKind::Alt},       {61, KeyKind::Alt},    {59, KeyKind::Ctrl},
        {62, KeyKind::Ctrl},      {114, KeyKind::Insert}};
    for (auto [code, kind] : fixed)
        expected[static_cast<std::uint32_t>(code)] = Key(kind);
    const std::pair<int, char> symbols[] = {{27, '-'}, {24, '='},  {43, ','},  {47, '.'},
                                            {44, '/'}, {41, ';'},  {39, '\''}, {33, '['},
                                            {30, ']'}, {42, '\\'}, {50, '`'}};
    for (auto [code, character] : symbols)
        expected[static_cast<std::uint32_t>(code)] = Key::symbol(character);
    const int keypad[] = {82, 83, 84, 85, 86, 87, 88, 89, 91, 92, 69, 78, 67, 75, 65, 76, 81};
    for (std::uint8_t k = 0; k < kKeypadKeyCount; ++k)
        expected[static_cast<std::uint32_t>(keypad[k])] = Key(KeyKind::Keypad, k);

    const KeyCodeTable table = mac_key_code_table();
    for (std::uint32_t code = 0; code < 300; ++code) {
        const auto it = expected.find(code);
        if (it == expected.end())
            EXPECT_EQ(table(code), std::nullopt) << code;
        else
            EXPECT_EQ(table(code), it->second) << code;
    }
    EXPECT_EQ(table(0x10000 + 17), std::nullopt);
}

TEST(MacCapture, CommandShiftTWithCapsLockAndFnIgnored) {
    RecordingEffects effects;
    SettingsStore store(effects);
    ButtonsWindowModel model(store);
    model.open();
    const std::int64_t tag = binding_tag(Button::Y, BindingSide::Press);
    const auto other_key = [&] {
        return static_cast<std::int64_t>(model.binding_popup(tag)->choices.size() - 1);
    };
    model.binding_changed(tag, other_key());
    ASSERT_TRUE(model.capturing());
    const std::uint64_t command = 0x100000, shift = 0x20000, caps_lock = 0x10000, fn = 0x800000;
    EXPECT_EQ(model.key_captured(mac_key_press(17, command | shift | caps_lock | fn),
                                 mac_key_code_table()),
              ButtonsWindowModel::Update::CaptureEnded);
    EXPECT_EQ(action_name(binding_of(store.get().buttons, Button::Y).press), "shift+cmd+t");

    // Plain Escape with Caps Lock on still cancels.
    model.binding_changed(tag, other_key());
    ASSERT_TRUE(model.capturing());
    model.key_captured(mac_key_press(53, caps_lock), mac_key_code_table());
    EXPECT_FALSE(model.capturing());
    EXPECT_EQ(action_name(binding_of(store.get().buttons, Button::Y).press), "shift+cmd+t");
}

}  // namespace
}  // namespace thumbrover
