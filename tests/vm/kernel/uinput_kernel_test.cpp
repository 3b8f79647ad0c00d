// Runs inside the virtual machine (scripts/vm-test), where the kernel has uinput and evdev: what
// the program's output posts arrives at the device nodes a compositor reads, event for event, and
// its devices let go of everything they held when it ends.

#include <gtest/gtest.h>

#include <vector>

#include "vm/evdev_node.hpp"
#include "vm/uinput_output.hpp"

namespace thumbrover::testing {
namespace {

using namespace std::chrono_literals;
using Events = std::vector<InputEvent>;

struct Case {
    const char* name;
    std::initializer_list<OutputCommand> commands;
    Events pointer;  // as each node delivers it
    Events keyboard;
};

TEST(UinputKernel, WhatTheOutputPostsArrivesEventForEvent) {
    const auto output = make_output();
    ASSERT_TRUE(output);
    auto pointer = EvdevNode::find(kPointerName);
    auto keyboard = EvdevNode::find(kKeyboardName);
    ASSERT_TRUE(pointer && keyboard) << "no device node appeared";
    for (auto [type, code] :
         {std::pair{EV_REL, REL_WHEEL_HI_RES}, {EV_REL, REL_HWHEEL_HI_RES}, {EV_KEY, BTN_MIDDLE}})
        EXPECT_TRUE(pointer->has(type, code)) << libevdev_event_code_get_name(type, code);
    for (unsigned code : {KEY_A, KEY_LEFTMETA, KEY_F12, KEY_PLAYPAUSE, KEY_VOLUMEDOWN})
        EXPECT_TRUE(keyboard->has(EV_KEY, code)) << libevdev_event_code_get_name(EV_KEY, code);

    const Case cases[] = {
        {"motion", {move(7, -3)}, {rel(REL_X, 7), rel(REL_Y, -3), kSyn}, {}},
        {"click",
         {button(CommandKind::Click)},
         {key(BTN_LEFT, 1), kSyn, key(BTN_LEFT, 0), kSyn},
         {}},
        {"drag",
         {button(CommandKind::ButtonDown), move(5, 0), move(5, 1), button(CommandKind::ButtonUp)},
         {key(BTN_LEFT, 1), kSyn, rel(REL_X, 5), kSyn, rel(REL_X, 5), rel(REL_Y, 1), kSyn,
          key(BTN_LEFT, 0), kSyn},
         {}},
        {"hi-res scroll, the notch where it completes",
         {scroll(60, 0), scroll(60, 0), scroll(0, -120)},
         {rel(REL_WHEEL_HI_RES, 60), kSyn, rel(REL_WHEEL_HI_RES, 60), rel(REL_WHEEL, 1), kSyn,
          rel(REL_HWHEEL_HI_RES, -120), rel(REL_HWHEEL, -1), kSyn},
         {}},
        {"shortcut ctrl+w",
         {key_command(CommandKind::KeyDown, KeyKind::Ctrl),
          key_command(CommandKind::KeyTap, KeyKind::Letter, 'w'),
          key_command(CommandKind::KeyUp, KeyKind::Ctrl)},
         {},
         {key(KEY_LEFTCTRL, 1), kSyn, key(KEY_W, 1), kSyn, key(KEY_W, 0), kSyn,
          key(KEY_LEFTCTRL, 0), kSyn}},
        {"media key",
         {key_command(CommandKind::KeyTap, KeyKind::PlayPause)},
         {},
         {key(KEY_PLAYPAUSE, 1), kSyn, key(KEY_PLAYPAUSE, 0), kSyn}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        perform(*output, c.commands);
        EXPECT_EQ(pointer->drain(), c.pointer);
        EXPECT_EQ(keyboard->drain(), c.keyboard);
    }
}

// Whether it lets go first or not, a destroyed output's devices go with it and nothing stays
// held. It lets go of everything when asked, and when destroyed it does the same just before its
// devices go; but that last release never reaches an evdev reader that has not read it by then,
// since a read of a removed device fails before it looks at what is queued. What lets go at the
// desktop is the reader itself (libinput in a compositor), which releases what it saw held when
// the device goes: the compositor tier shows that at a window, for a killed process too.
TEST(UinputKernel, DestroyingTheOutputLeavesNothingHeld) {
    for (const bool let_go_first : {true, false}) {
        SCOPED_TRACE(let_go_first ? "let go, then destroyed" : "destroyed");
        auto output = make_output();
        ASSERT_TRUE(output);
        auto pointer = EvdevNode::find(kPointerName);
        auto keyboard = EvdevNode::find(kKeyboardName);
        ASSERT_TRUE(pointer && keyboard);
        perform(*output, {key_command(CommandKind::KeyDown, KeyKind::Shift),
                          button(CommandKind::ButtonDown)});
        EXPECT_EQ(keyboard->next_report(), (Events{key(KEY_LEFTSHIFT, 1), kSyn}));
        EXPECT_EQ(pointer->next_report(), (Events{key(BTN_LEFT, 1), kSyn}));
        if (let_go_first) {
            output->release_all();
            EXPECT_EQ(keyboard->drain(), (Events{key(KEY_LEFTSHIFT, 0), kSyn}));
            EXPECT_EQ(pointer->drain(), (Events{key(BTN_LEFT, 0), kSyn}));
        }
        output.reset();
        EXPECT_EQ(keyboard->drain(), Events{});
        EXPECT_EQ(pointer->drain(), Events{});
        EXPECT_TRUE(keyboard->gone() && pointer->gone());
        EXPECT_FALSE(EvdevNode::find(kKeyboardName, 0ms) || EvdevNode::find(kPointerName, 0ms));
    }
}

}  // namespace
}  // namespace thumbrover::testing
