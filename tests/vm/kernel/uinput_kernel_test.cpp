// Runs inside the virtual machine (scripts/vm-test), where the kernel has uinput and evdev: what
// the output posts arrives at the device nodes a compositor reads, event for event, and a killed
// process's devices let go of everything they held.

#include <gtest/gtest.h>
#include <libevdev/libevdev-uinput.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <initializer_list>
#include <vector>

#include "vm/evdev_node.hpp"

namespace thumbrover::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kPointerName = "Thumbrover virtual pointer";
constexpr const char* kKeyboardName = "Thumbrover virtual keyboard";

// Two uinput devices made through libevdev, as the program's output makes them.
class Devices {
  public:
    Devices() {
        pointer_ = make(kPointerName, {{EV_REL, REL_X},
                                       {EV_REL, REL_Y},
                                       {EV_REL, REL_WHEEL},
                                       {EV_REL, REL_HWHEEL},
                                       {EV_REL, REL_WHEEL_HI_RES},
                                       {EV_REL, REL_HWHEEL_HI_RES},
                                       {EV_KEY, BTN_LEFT},
                                       {EV_KEY, BTN_RIGHT},
                                       {EV_KEY, BTN_MIDDLE}});
        keyboard_ = make(kKeyboardName, {{EV_KEY, KEY_LEFTCTRL},
                                         {EV_KEY, KEY_LEFTSHIFT},
                                         {EV_KEY, KEY_W},
                                         {EV_KEY, KEY_A},
                                         {EV_KEY, KEY_PLAYPAUSE},
                                         {EV_KEY, KEY_VOLUMEUP}});
    }
    Devices(const Devices&) = delete;
    Devices& operator=(const Devices&) = delete;
    ~Devices() {
        if (pointer_ != nullptr) libevdev_uinput_destroy(pointer_);
        if (keyboard_ != nullptr) libevdev_uinput_destroy(keyboard_);
    }

    [[nodiscard]] bool ok() const { return pointer_ != nullptr && keyboard_ != nullptr; }
    void post(bool keyboard, const std::vector<InputEvent>& events) {
        libevdev_uinput* device = keyboard ? keyboard_ : pointer_;
        for (const InputEvent& e : events)
            ASSERT_EQ(libevdev_uinput_write_event(device, e.type, e.code, e.value), 0) << e;
    }

  private:
    struct Code {
        unsigned type;
        unsigned code;
    };
    static libevdev_uinput* make(const char* name, std::initializer_list<Code> codes) {
        libevdev* dev = libevdev_new();
        libevdev_set_name(dev, name);
        libevdev_set_id_bustype(dev, BUS_VIRTUAL);
        for (const Code& c : codes)
            libevdev_enable_event_code(dev, c.type, c.code, nullptr);
        libevdev_uinput* ui = nullptr;
        const int rc = libevdev_uinput_create_from_device(dev, LIBEVDEV_UINPUT_OPEN_MANAGED, &ui);
        libevdev_free(dev);
        return rc == 0 ? ui : nullptr;
    }

    libevdev_uinput* pointer_ = nullptr;
    libevdev_uinput* keyboard_ = nullptr;
};

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
