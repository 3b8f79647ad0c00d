#include <gtest/gtest.h>

#include <vector>

#include "linux/mouse_watcher.hpp"

namespace thumbrover {
namespace {

TEST(IsXtestDeviceName, RecognisesTheServersXtestDevicesOnly) {
    const struct {
        const char* name;
        bool xtest;
    } cases[] = {
        {"Virtual core XTEST pointer", true},
        {"Virtual core XTEST keyboard", true},
        {"second XTEST pointer", true},
        {"Virtual core pointer", false},
        {"Logitech USB Optical Mouse", false},
        {"SynPS/2 Synaptics TouchPad", false},
        {"XTEST pointer of mine, really", false},
        {"xtest pointer", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(is_xtest_device_name(c.name), c.xtest) << c.name;
}

TEST(RawMotionMovesPointer, OnlyMotionOfTheFirstTwoAxesCounts) {
    // Axes as a real mouse and a touchpad report them: 0 and 1 move, 2 and 3 scroll.
    const struct {
        const char* what;
        std::vector<unsigned char> mask;
        std::vector<double> values;
        bool moves;
    } cases[] = {
        {"a mouse moving sideways", {0b0001}, {3.0}, true},
        {"a mouse moving down", {0b0010}, {-2.0}, true},
        {"a diagonal motion", {0b0011}, {1.5, -0.5}, true},
        {"a wheel turning", {0b1000}, {15.0}, false},
        {"a wheel tilting", {0b0100}, {-15.0}, false},
        {"two-finger scrolling", {0b1100}, {2.5, 7.0}, false},
        {"scrolling that reports the pointer axes unmoved", {0b1011}, {0.0, 0.0, 7.0}, false},
        {"scrolling with a slight motion of axis 1", {0b1010}, {0.25, 7.0}, true},
        {"axis 1 after an unmoved axis 0", {0b0011}, {0.0, 4.0}, true},
        {"a mask wider than one byte", {0b1000, 0b0001}, {6.0, 1.0}, false},
        {"no valuators at all", {}, {}, false},
        {"a mask that names more values than came", {0b0011}, {0.0}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(raw_motion_moves_pointer(c.mask, c.values), c.moves) << c.what;
}

TEST(DevicesToWatch, EverySlaveThatDrivesACursorExceptTheXtestOnes) {
    using Use = InputDeviceInfo::Use;
    const struct {
        const char* what;
        std::vector<InputDeviceInfo> devices;
        std::vector<int> watched;
    } cases[] = {
        {"a virtual display's devices",
         {{2, "Virtual core pointer", Use::Master},
          {3, "Virtual core keyboard", Use::Master},
          {4, "Virtual core XTEST pointer", Use::Slave},
          {5, "Virtual core XTEST keyboard", Use::Slave},
          {6, "Xvfb mouse", Use::Slave},
          {7, "Xvfb keyboard", Use::Slave}},
         {6, 7}},
        {"a laptop with a second seat",
         {{2, "Virtual core pointer", Use::Master},
          {4, "Virtual core XTEST pointer", Use::Slave},
          {9, "SynPS/2 Synaptics TouchPad", Use::Slave},
          {10, "Logitech USB Optical Mouse", Use::Slave},
          {11, "second pointer", Use::Master},
          {12, "second XTEST pointer", Use::Slave}},
         {9, 10}},
        {"a floating tablet drives no cursor", {{13, "Wacom stylus", Use::Floating}}, {}},
        {"only the program's own devices", {{4, "Virtual core XTEST pointer", Use::Slave}}, {}},
        {"no devices at all", {}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(devices_to_watch(c.devices), c.watched) << c.what;
}

TEST(MotionSources, ClassifiesBySourceDeviceAndRelistsOncePerUnknownDevice) {
    int listings = 0;
    std::vector<InputDeviceInfo> server = {
        {2, "Virtual core pointer"},
        {4, "Virtual core XTEST pointer"},
        {6, "Logitech USB Optical Mouse"},
    };
    const MotionSources::DeviceLister lister = [&] {
        ++listings;
        return server;
    };
    MotionSources sources;
    sources.learn(server);

    EXPECT_EQ(sources.classify(4, lister), MotionOrigin::Own);
    EXPECT_EQ(sources.classify(6, lister), MotionOrigin::Real);
    EXPECT_EQ(listings, 0);

    // A tablet plugged in after the last listing is looked up, then remembered.
    server.push_back({11, "Wacom Intuos Pen stylus"});
    EXPECT_EQ(sources.classify(11, lister), MotionOrigin::Real);
    EXPECT_EQ(listings, 1);
    // So is a second master pointer's XTEST device.
    server.push_back({14, "second XTEST pointer"});
    EXPECT_EQ(sources.classify(14, lister), MotionOrigin::Own);
    EXPECT_EQ(listings, 2);

    // A device the server does not list counts as real, and is not looked up again each time.
    EXPECT_EQ(sources.classify(99, lister), MotionOrigin::Real);
    EXPECT_EQ(sources.classify(99, lister), MotionOrigin::Real);
    EXPECT_EQ(listings, 3);
}

TEST(MotionSources, ALaterListingReplacesTheEarlierOne) {
    MotionSources sources;
    sources.learn({{7, "Virtual core XTEST pointer"}});
    // Device ids are reused after unplugging: id 7 is now a real mouse.
    sources.learn({{7, "USB Mouse"}});
    EXPECT_EQ(sources.classify(7, [] { return std::vector<InputDeviceInfo>{}; }),
              MotionOrigin::Real);
}

}  // namespace
}  // namespace thumbrover
