#include <gtest/gtest.h>

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
