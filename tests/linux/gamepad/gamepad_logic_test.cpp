#include <gtest/gtest.h>

#include <SDL.h>

#include <linux/input.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <span>
#include <vector>

#include "linux/gamepad.hpp"
#include "linux/gamepad_watch.hpp"
#include "linux/stick_copy.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

TEST(StickValue, ScalesToMinusOneToOneWithTheSignKept) {
    const struct {
        std::int16_t raw;
        float value;
    } cases[] = {
        {0, 0.0f},
        {32767, 1.0f},
        {-32767, -1.0f},
        {-32768, -1.0f},
        {16384, 16384.0f / 32767.0f},
        {-1, -1.0f / 32767.0f},
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(stick_value(c.raw), c.value) << c.raw;
}

TEST(TriggerValue, ScalesToZeroToOneAndNeverBelow) {
    EXPECT_FLOAT_EQ(trigger_value(0), 0.0f);
    EXPECT_FLOAT_EQ(trigger_value(32767), 1.0f);
    EXPECT_FLOAT_EQ(trigger_value(-32768), 0.0f);
    EXPECT_FLOAT_EQ(trigger_value(8192), 8192.0f / 32767.0f);
}

TEST(DpadValue, OppositeButtonsMakeOneAxis) {
    EXPECT_EQ(dpad_value(false, false), 0.0f);
    EXPECT_EQ(dpad_value(true, false), -1.0f);
    EXPECT_EQ(dpad_value(false, true), 1.0f);
    EXPECT_EQ(dpad_value(true, true), 0.0f);
}

TEST(AbsCodesOfAxes, NumbersTheNodesAxesInCodeOrderWithoutTheHats) {
    // An Xbox pad's node: X, Y, Z, RX, RY, RZ and the first hat.
    std::array<std::uint8_t, (ABS_CNT + 7) / 8> xbox{};
    // A pad whose sticks are X, Y, Z and RZ, with brake and gas for triggers.
    std::array<std::uint8_t, (ABS_CNT + 7) / 8> direct{};
    const auto set = [](auto& bits, std::initializer_list<int> codes) {
        for (const int c : codes)
            bits[static_cast<std::size_t>(c / 8)] |= static_cast<std::uint8_t>(1u << (c % 8));
    };
    set(xbox, {ABS_X, ABS_Y, ABS_Z, ABS_RX, ABS_RY, ABS_RZ, ABS_HAT0X, ABS_HAT0Y});
    set(direct, {ABS_X, ABS_Y, ABS_Z, ABS_RZ, ABS_GAS, ABS_BRAKE, ABS_HAT0X, ABS_HAT0Y});
    struct Case {
        const char* what;
        std::span<const std::uint8_t> bits;
        std::vector<int> axes;
        std::vector<std::uint16_t> codes;
    };
    const Case cases[] = {
        {"xbox sticks", xbox, {0, 1, 3, 4}, {ABS_X, ABS_Y, ABS_RX, ABS_RY}},
        {"triggers after the hats are skipped", xbox, {2, 5}, {ABS_Z, ABS_RZ}},
        {"sticks of another layout", direct, {0, 1, 2, 3}, {ABS_X, ABS_Y, ABS_Z, ABS_RZ}},
        {"axes the node lacks", direct, {6, -1, 40}, {}},
        {"no axes", xbox, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(abs_codes_of_axes(c.bits, c.axes), c.codes);
    }
}

TEST(SdlJoystickValue, SpreadsTheNodesRangeOverSdlsAsSdlRoundsIt) {
    const struct {
        std::int32_t value, minimum, maximum;
        std::int16_t expected;
    } cases[] = {
        // An Xbox pad's own range is SDL's.
        {-32768, -32768, 32767, -32768},
        {0, -32768, 32767, 0},
        {1234, -32768, 32767, 1234},
        {32767, -32768, 32767, 32767},
        // A byte-wide stick: its centre is not SDL's zero, as SDL reports it.
        {0, 0, 255, -32768},
        {128, 0, 255, 128},
        {255, 0, 255, 32767},
        // Beyond the range, and a node that gives no range.
        {300, 0, 255, 32767},
        {-5, 0, 255, -32768},
        {40000, 7, 7, 32767},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sdl_joystick_value(c.value, c.minimum, c.maximum), c.expected)
            << c.value << " in " << c.minimum << ".." << c.maximum;
}

TEST(PlainStickAxes, OnlyWholeUninvertedAxesAreTaken) {
    const std::string head = "030000005e0400008e02000010010000,Pad,a:b0,";
    const std::string sticks = "leftx:a0,lefty:a1,rightx:a3,righty:a4,";
    EXPECT_EQ(plain_stick_axes(head + sticks + "lefttrigger:a2,platform:Linux,"),
              (std::array<int, 4>{0, 1, 3, 4}));
    const char* refused[] = {
        "leftx:a0,lefty:a1~,rightx:a3,righty:a4,",          // inverted
        "leftx:a0,lefty:+a1,rightx:a3,righty:a4,",          // half an axis
        "leftx:a0,lefty:a1,rightx:b3,righty:a4,",           // a button
        "leftx:a0,lefty:a1,rightx:a3,",                     // one missing
        "leftx:a0,lefty:a1,rightx:a3,righty:a4,leftx:a5,",  // bound twice
        "leftx:a0,lefty:a1,rightx:a3,righty:ax,",
    };
    for (const char* mapping : refused)
        EXPECT_EQ(plain_stick_axes(head + mapping), std::nullopt) << mapping;
    // A pad named after a stick is still a name.
    EXPECT_EQ(plain_stick_axes("guid,leftx:b1," + sticks), (std::array<int, 4>{0, 1, 3, 4}));
}

TEST(StickReader, TakesItsSticksRecordsUntilReportsAreLost) {
    StickCopy copy;
    for (std::size_t i = 0; i < copy.axes.size(); ++i)
        copy.axes[i] = {static_cast<std::uint16_t>(ABS_X + i), 0, 255, 128};
    StickReader reader(std::move(copy));
    // ABS_Z is the third stick axis here; the last value of an axis in a read is the one kept.
    const std::vector<input_event> report = {{{}, EV_ABS, ABS_X, 255},
                                             {{}, EV_ABS, ABS_Z, 0},
                                             {{}, EV_ABS, ABS_Y, 0},
                                             {{}, EV_ABS, ABS_Y, 64},
                                             {{}, EV_SYN, SYN_REPORT, 0}};
    EXPECT_TRUE(reader.take(report));
    const StickAxes expected = {1.0f, stick_value(sdl_joystick_value(64, 0, 255)), -1.0f,
                                stick_value(128)};
    EXPECT_EQ(reader.sticks(), expected);
    EXPECT_FALSE(reader.take(std::vector<input_event>{{{}, EV_SYN, SYN_DROPPED, 0}}));
}

TEST(CoarseBatteryLevel, LowReadsLowAndNoBatteryReadsNone) {
    EXPECT_EQ(coarse_battery_level(SDL_JOYSTICK_POWER_EMPTY), 0.05f);
    EXPECT_EQ(coarse_battery_level(SDL_JOYSTICK_POWER_LOW), 0.2f);
    EXPECT_EQ(coarse_battery_level(SDL_JOYSTICK_POWER_MEDIUM), 0.7f);
    EXPECT_EQ(coarse_battery_level(SDL_JOYSTICK_POWER_FULL), 1.0f);
    EXPECT_EQ(coarse_battery_level(SDL_JOYSTICK_POWER_WIRED), std::nullopt);
    EXPECT_EQ(coarse_battery_level(SDL_JOYSTICK_POWER_UNKNOWN), std::nullopt);
}

// A miniature /sys laid out as the kernel does it: class entries are symbolic links into the
// device tree, and a driver's power_supply sits on the HID device above the input device.
class SysfsBatteryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto hid = root() / "devices/pci0000:00/usb1/1-2/1-2:1.0/0003:045E:0B12.0004";
        input_ = hid / "input/input17";
        std::filesystem::create_directories(input_ / "event5");
        std::filesystem::create_directories(hid / "hidraw/hidraw2");
        std::filesystem::create_directories(root() / "class/input");
        std::filesystem::create_directories(root() / "class/hidraw");
        std::filesystem::create_symlink(input_ / "event5", root() / "class/input/event5");
        std::filesystem::create_symlink(hid / "hidraw/hidraw2", root() / "class/hidraw/hidraw2");
        std::filesystem::create_directory_symlink(input_, input_ / "event5/device");
        std::filesystem::create_directory_symlink(hid, hid / "hidraw/hidraw2/device");
        supply_ = hid / "power_supply/xbox-battery";
    }

    [[nodiscard]] std::filesystem::path root() const { return dir_.path() / "sys"; }

    void write(const std::filesystem::path& path, const std::string& text) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    testing::TempDir dir_;
    std::filesystem::path input_;
    std::filesystem::path supply_;
};

TEST_F(SysfsBatteryTest, ReadsTheCapacityOfTheDevicesPowerSupply) {
    write(supply_ / "capacity", "85\n");
    EXPECT_EQ(sysfs_battery_level(root(), "/dev/input/event5"), 0.85f);
    EXPECT_EQ(sysfs_battery_level(root(), "/dev/hidraw2"), 0.85f);
}

TEST_F(SysfsBatteryTest, FallsBackToTheCapacityLevel) {
    const struct {
        const char* text;
        std::optional<float> level;
    } cases[] = {{"Low\n", 0.2f},
                 {"Critical", 0.05f},
                 {"Full\n", 1.0f},
                 {"Unknown\n", std::nullopt},
                 {"", std::nullopt}};
    for (const auto& c : cases) {
        write(supply_ / "capacity_level", c.text);
        EXPECT_EQ(sysfs_battery_level(root(), "/dev/input/event5"), c.level) << c.text;
    }
}

TEST_F(SysfsBatteryTest, OddCapacitiesAreClampedOrIgnored) {
    write(supply_ / "capacity", "140");
    EXPECT_EQ(sysfs_battery_level(root(), "/dev/input/event5"), 1.0f);
    write(supply_ / "capacity", "garbage");
    EXPECT_EQ(sysfs_battery_level(root(), "/dev/input/event5"), std::nullopt);
}

TEST_F(SysfsBatteryTest, NoSupplyOrAnUnknownNodeGivesNone) {
    EXPECT_EQ(sysfs_battery_level(root(), "/dev/input/event5"), std::nullopt);
    write(supply_ / "capacity", "50");
    EXPECT_EQ(sysfs_battery_level(root(), "/dev/input/event9"), std::nullopt);
    EXPECT_EQ(sysfs_battery_level(root(), "/dev/usb/hiddev0"), std::nullopt);
    EXPECT_EQ(sysfs_battery_level(root(), ""), std::nullopt);
}

TEST_F(SysfsBatteryTest, ASupplyFarAboveTheDeviceIsNotItsOwn) {
    // A supply on the PCI bridge belongs to something else entirely.
    write(root() / "devices/pci0000:00/power_supply/BAT0/capacity", "40");
    EXPECT_EQ(sysfs_battery_level(root(), "/dev/input/event5"), std::nullopt);
}

}  // namespace
}  // namespace thumbrover
