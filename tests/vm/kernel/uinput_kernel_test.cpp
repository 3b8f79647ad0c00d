// Runs inside the virtual machine (scripts/vm-test), where the kernel has uinput and evdev: what
// the output posts arrives at the device nodes a compositor reads, event for event, and a killed
// process's devices let go of everything they held.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <vector>

#include "vm/evdev_node.hpp"
#include "vm/uinput_devices.hpp"

namespace thumbrover::testing {
namespace {

using namespace std::chrono_literals;

struct Case {
    const char* name;
    bool keyboard;
    std::vector<InputEvent> posted;
    std::vector<InputEvent> read;  // as the node delivers it
};

InputEvent rel(std::uint16_t code, std::int32_t v) {
    return {EV_REL, code, v};
}
InputEvent key(std::uint16_t code, std::int32_t v) {
    return {EV_KEY, code, v};
}

TEST(UinputKernel, WhatIsPostedArrivesEventForEvent) {
    Devices devices;
    ASSERT_TRUE(devices.ok()) << "uinput refused the devices (is /dev/uinput there?)";
    auto pointer = EvdevNode::find(kPointerName);
    auto keyboard = EvdevNode::find(kKeyboardName);
    ASSERT_TRUE(pointer && keyboard) << "no device node appeared";
    for (auto [type, code] : std::array<std::array<unsigned, 2>, 3>{
             {{EV_REL, REL_WHEEL_HI_RES}, {EV_REL, REL_HWHEEL_HI_RES}, {EV_KEY, BTN_MIDDLE}}})
        EXPECT_TRUE(pointer->has(type, code)) << libevdev_event_code_get_name(type, code);

    const std::vector<Case> cases = {
        {"motion",
         false,
         {rel(REL_X, 7), rel(REL_Y, -3), kSyn},
         {rel(REL_X, 7), rel(REL_Y, -3), kSyn}},
        // A repeated zero is not news: the kernel drops it.
        {"motion along one axis",
         false,
         {rel(REL_X, 0), rel(REL_Y, 12), kSyn},
         {rel(REL_Y, 12), kSyn}},
        {"click",
         false,
         {key(BTN_LEFT, 1), kSyn, key(BTN_LEFT, 0), kSyn},
         {key(BTN_LEFT, 1), kSyn, key(BTN_LEFT, 0), kSyn}},
        {"drag",
         false,
         {key(BTN_LEFT, 1), kSyn, rel(REL_X, 5), kSyn, rel(REL_X, 5), kSyn, key(BTN_LEFT, 0), kSyn},
         {key(BTN_LEFT, 1), kSyn, rel(REL_X, 5), kSyn, rel(REL_X, 5), kSyn, key(BTN_LEFT, 0),
          kSyn}},
        {"hi-res scroll, a notch completed on the second",
         false,
         {rel(REL_WHEEL_HI_RES, 60), kSyn, rel(REL_WHEEL_HI_RES, 60), rel(REL_WHEEL, 1), kSyn},
         {rel(REL_WHEEL_HI_RES, 60), kSyn, rel(REL_WHEEL_HI_RES, 60), rel(REL_WHEEL, 1), kSyn}},
        {"sideways scroll",
         false,
         {rel(REL_HWHEEL_HI_RES, -120), rel(REL_HWHEEL, -1), kSyn},
         {rel(REL_HWHEEL_HI_RES, -120), rel(REL_HWHEEL, -1), kSyn}},
        {"shortcut",
         true,
         {key(KEY_LEFTCTRL, 1), kSyn, key(KEY_W, 1), kSyn, key(KEY_W, 0), kSyn,
          key(KEY_LEFTCTRL, 0), kSyn},
         {key(KEY_LEFTCTRL, 1), kSyn, key(KEY_W, 1), kSyn, key(KEY_W, 0), kSyn,
          key(KEY_LEFTCTRL, 0), kSyn}},
        {"media key",
         true,
         {key(KEY_PLAYPAUSE, 1), kSyn, key(KEY_PLAYPAUSE, 0), kSyn},
         {key(KEY_PLAYPAUSE, 1), kSyn, key(KEY_PLAYPAUSE, 0), kSyn}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        devices.post(c.keyboard, c.posted);
        EvdevNode& node = c.keyboard ? *keyboard : *pointer;
        EXPECT_EQ(node.drain(), c.read);
    }
}

// A process that dies without a word takes its devices with it: the kernel destroys them, and
// every reader learns it at once. The kernel's own release of what they held (input core's
// disconnect) never reaches an evdev reader, whose next read fails first; the reader, libinput in
// a compositor, lets go of whatever it still sees held (the compositor tier shows it arrive).
TEST(UinputKernel, KillingTheHolderTakesItsDevicesAway) {
    int ready[2];
    int go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Devices devices;
        char byte = devices.ok() ? 'r' : 'x';
        if (::write(ready[1], &byte, 1) != 1 || !devices.ok()) ::_exit(1);
        if (::read(go[0], &byte, 1) != 1) ::_exit(1);
        devices.post(true, {key(KEY_LEFTSHIFT, 1), kSyn});
        devices.post(false, {key(BTN_LEFT, 1), kSyn});
        for (;;)
            ::pause();
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'r');
    auto pointer = EvdevNode::find(kPointerName);
    auto keyboard = EvdevNode::find(kKeyboardName);
    ASSERT_TRUE(pointer && keyboard);
    ASSERT_EQ(::write(go[1], &byte, 1), 1);
    EXPECT_EQ(keyboard->next_report(), (std::vector{key(KEY_LEFTSHIFT, 1), kSyn}));
    EXPECT_EQ(pointer->next_report(), (std::vector{key(BTN_LEFT, 1), kSyn}));

    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(keyboard->drain(), std::vector<InputEvent>{});
    EXPECT_EQ(pointer->drain(), std::vector<InputEvent>{});
    EXPECT_TRUE(keyboard->gone());
    EXPECT_TRUE(pointer->gone());
    EXPECT_FALSE(EvdevNode::find(kKeyboardName, 0ms));
    EXPECT_FALSE(EvdevNode::find(kPointerName, 0ms));
    for (int fd : {ready[0], ready[1], go[0], go[1]})
        ::close(fd);
}

}  // namespace
}  // namespace thumbrover::testing
