#pragma once

// The writing end: two uinput devices made through libevdev, a pointer and a keyboard, as the
// program's output makes them.

#include <gtest/gtest.h>
#include <libevdev/libevdev-uinput.h>

#include <initializer_list>
#include <vector>

#include "vm/evdev_node.hpp"

namespace thumbrover::testing {

inline InputEvent rel(std::uint16_t code, std::int32_t v) {
    return {EV_REL, code, v};
}
inline InputEvent key(std::uint16_t code, std::int32_t v) {
    return {EV_KEY, code, v};
}

inline constexpr const char* kPointerName = "Thumbrover virtual pointer";
inline constexpr const char* kKeyboardName = "Thumbrover virtual keyboard";

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

}  // namespace thumbrover::testing
