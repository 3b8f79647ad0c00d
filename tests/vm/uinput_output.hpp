#pragma once

// The program's uinput output as the virtual machine tests use it: made on the "us" layout, and
// given commands in the engine's terms.

#include <gtest/gtest.h>

#include <memory>

#include "core/output/command.hpp"
#include "linux/uinput_output.hpp"
#include "vm/evdev_node.hpp"

namespace thumbrover::testing {

inline const std::string kPointerName(kUinputPointerName);
inline const std::string kKeyboardName(kUinputKeyboardName);

inline InputEvent rel(std::uint16_t code, std::int32_t v) {
    return {EV_REL, code, v};
}
inline InputEvent key(std::uint16_t code, std::int32_t v) {
    return {EV_KEY, code, v};
}

inline OutputCommand move(std::int32_t dx, std::int32_t dy) {
    return {CommandKind::Move, 0, 0, dx, dy};
}
inline OutputCommand scroll(std::int32_t vertical, std::int32_t horizontal) {
    return {CommandKind::Scroll, 0, 0, vertical, horizontal};
}
inline OutputCommand button(CommandKind kind, std::uint8_t which = 0) {
    return {kind, which};
}
inline OutputCommand key_command(CommandKind kind, KeyKind k, std::uint8_t param = 0) {
    return {kind, key_kind_number(k), param};
}

// The output, or a failure naming why there is none.
inline std::unique_ptr<UinputEventOutput> make_output() {
    auto layout = KeyboardLayout::compile({"us", ""});
    if (!layout) {
        ADD_FAILURE() << layout.error();
        return nullptr;
    }
    auto output = UinputEventOutput::create(std::move(layout).value());
    if (!output) {
        ADD_FAILURE() << output.error();
        return nullptr;
    }
    return std::move(output).value();
}

inline void perform(EventOutput& output, std::initializer_list<OutputCommand> commands) {
    for (const OutputCommand& c : commands) {
        const Result<void> done = output.perform(c);
        ASSERT_TRUE(done.ok()) << command_kind_name(c.kind) << ": " << done.error();
    }
}

}  // namespace thumbrover::testing
