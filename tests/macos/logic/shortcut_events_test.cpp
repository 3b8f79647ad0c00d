#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/bindings/actions.hpp"
#include "core/engine/engine.hpp"
#include "macos/event_output.hpp"
#include "recording_sink.hpp"

namespace thumbrover {
namespace {

using std::chrono::milliseconds;

// A button bound to a shortcut, pressed and released on the controller: the key events macOS
// receives, from the settings text through the engine to the event synthesis.
struct Pressed {
    std::vector<MacEvent> events;
};

Pressed press_and_release(const char* action_text) {
    Config config;
    const std::optional<Action> action = parse_action(action_text);
    EXPECT_TRUE(action.has_value()) << action_text;
    binding_of(config.buttons, Button::Y) = Binding{action.value_or(Action{}), Action{}};
    EngineState state(config, true);
    testing::RecordingSink sink;
    MacEventOutput output(sink);
    const auto perform = [&](const CommandList& commands) {
        for (const OutputCommand& c : commands)
            EXPECT_TRUE(output.perform(c).ok());
    };
    const auto y = static_cast<std::uint8_t>(button_index(Button::Y));
    perform(handle_input(state, InputEvent::button(y, true), milliseconds(10)));
    perform(handle_input(state, InputEvent::button(y, false), milliseconds(60)));
    perform(tick(state, milliseconds(70)));
    EXPECT_TRUE(output.held_keys().empty()) << action_text;
    return {sink.events};
}

struct KeyEvent {
    MacEventType type;
    std::uint16_t code;
    std::uint64_t flags;
};

TEST(ShortcutEvents, ShortcutsBecomeModifierChangesAroundTheKeyWithTheirFlags) {
    constexpr std::uint64_t base = 0x100, ctrl = 0x40001, shift = 0x20002, alt = 0x80020,
                            cmd = 0x100008, fn = 0x800000, arrow = 0xA00000;
    const struct {
        const char* action;
        std::vector<KeyEvent> events;
    } cases[] = {
        {"shift+cmd+t",
         {{MacEventType::FlagsChanged, 56, base | shift},
          {MacEventType::FlagsChanged, 55, base | shift | cmd},
          {MacEventType::KeyDown, 17, base | shift | cmd},
          {MacEventType::KeyUp, 17, base | shift | cmd},
          {MacEventType::FlagsChanged, 55, base | shift},
          {MacEventType::FlagsChanged, 56, base}}},
        {"ctrl+alt+delete",
         {{MacEventType::FlagsChanged, 59, base | ctrl},
          {MacEventType::FlagsChanged, 58, base | ctrl | alt},
          {MacEventType::KeyDown, 117, base | ctrl | alt | fn},
          {MacEventType::KeyUp, 117, base | ctrl | alt | fn},
          {MacEventType::FlagsChanged, 58, base | ctrl},
          {MacEventType::FlagsChanged, 59, base}}},
        {"cmd+f5",
         {{MacEventType::FlagsChanged, 55, base | cmd},
          {MacEventType::KeyDown, 96, base | cmd | fn},
          {MacEventType::KeyUp, 96, base | cmd | fn},
          {MacEventType::FlagsChanged, 55, base}}},
        {"up",
         {{MacEventType::KeyDown, 126, base | arrow}, {MacEventType::KeyUp, 126, base | arrow}}},
        {"7", {{MacEventType::KeyDown, 26, base}, {MacEventType::KeyUp, 26, base}}},
    };
    for (const auto& c : cases) {
        const Pressed pressed = press_and_release(c.action);
        ASSERT_EQ(pressed.events.size(), c.events.size()) << c.action;
        for (std::size_t i = 0; i < c.events.size(); ++i) {
            EXPECT_EQ(pressed.events[i].type, c.events[i].type) << c.action << " #" << i;
            EXPECT_EQ(pressed.events[i].key_code, c.events[i].code) << c.action << " #" << i;
            EXPECT_EQ(pressed.events[i].flags, c.events[i].flags) << c.action << " #" << i;
            EXPECT_EQ(pressed.events[i].user_data, mac::kProgramTag) << c.action << " #" << i;
        }
    }
}

}  // namespace
}  // namespace thumbrover
