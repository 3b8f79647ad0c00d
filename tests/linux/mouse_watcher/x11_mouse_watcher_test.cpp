// gtest comes before Xlib, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

#include "linux/event_output.hpp"
#include "linux/mouse_watcher.hpp"
#include "linux/x11_display.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

// A device of the server other than the XTEST ones, driven through XTest's device requests: the
// server reports its events with that device as their source, as it does for a mouse on the desk.
// Xvfb has one ("Xvfb mouse"); the name is looked up so that any server with a real slave serves.
class DeskMouse {
  public:
    explicit DeskMouse(const char* name_prefix = nullptr) {
        auto opened = X11Display::open();
        if (!opened) throw std::runtime_error(opened.error());
        display_.emplace(std::move(opened).value());
        Display* d = display_->get();
        int count = 0;
        XIDeviceInfo* info = XIQueryDevice(d, XIAllDevices, &count);
        for (int i = 0; info != nullptr && i < count && id_ == 0; ++i) {
            const std::string name = info[i].name != nullptr ? info[i].name : "";
            const bool wanted = name_prefix != nullptr ? name.rfind(name_prefix, 0) == 0
                                                       : !is_xtest_device_name(name);
            if (info[i].use == XISlavePointer && wanted) id_ = info[i].deviceid;
        }
        if (info != nullptr) XIFreeDeviceInfo(info);
        if (id_ == 0) throw std::runtime_error("the X server has no such slave pointer");
        device_ = XOpenDevice(d, static_cast<XID>(id_));
        if (device_ == nullptr) throw std::runtime_error("cannot open the slave pointer");
    }
    DeskMouse(const DeskMouse&) = delete;
    DeskMouse& operator=(const DeskMouse&) = delete;
    ~DeskMouse() { XCloseDevice(display_->get(), device_); }

    void move(int dx, int dy) {
        int axes[2] = {dx, dy};
        XTestFakeDeviceMotionEvent(display_->get(), device_, True, 0, axes, 2, CurrentTime);
        XSync(display_->get(), False);
    }
    void button(unsigned number, bool down) {
        XTestFakeDeviceButtonEvent(display_->get(), device_, number, down ? True : False, nullptr,
                                   0, CurrentTime);
        XSync(display_->get(), False);
    }
    [[nodiscard]] int id() const { return id_; }

  private:
    std::optional<X11Display> display_;
    int id_ = 0;
    XDevice* device_ = nullptr;
};

// A second master pointer, as a second seat or a tablet's own cursor makes one, removed again at
// the end so that the next test meets the display as it was.
class SecondMaster {
  public:
    SecondMaster() {
        auto opened = X11Display::open();
        if (!opened) throw std::runtime_error(opened.error());
        display_.emplace(std::move(opened).value());
        std::string name = "second";
        XIAddMasterInfo add{};
        add.type = XIAddMaster;
        add.name = name.data();
        add.send_core = True;
        add.enable = True;
        XIChangeHierarchy(display_->get(), reinterpret_cast<XIAnyHierarchyChangeInfo*>(&add), 1);
        XSync(display_->get(), False);
    }
    SecondMaster(const SecondMaster&) = delete;
    SecondMaster& operator=(const SecondMaster&) = delete;
    ~SecondMaster() {
        Display* d = display_->get();
        int count = 0;
        XIDeviceInfo* info = XIQueryDevice(d, XIAllMasterDevices, &count);
        for (int i = 0; info != nullptr && i < count; ++i) {
            if (info[i].use != XIMasterPointer || std::strcmp(info[i].name, "second pointer") != 0)
                continue;
            XIRemoveMasterInfo remove{};
            remove.type = XIRemoveMaster;
            remove.deviceid = info[i].deviceid;
            remove.return_mode = XIFloating;
            XIChangeHierarchy(d, reinterpret_cast<XIAnyHierarchyChangeInfo*>(&remove), 1);
        }
        if (info != nullptr) XIFreeDeviceInfo(info);
        XSync(d, False);
    }

  private:
    std::optional<X11Display> display_;
};

TEST(X11MouseWatcher, TheProgramsOwnMotionNeverWakesIt) {
    X11MouseWatcher watcher;
    ASSERT_EQ(watcher.start(), WatchStart::Watching) << "run under scripts/with-virtual-display";
    auto output = X11EventOutput::create();
    ASSERT_TRUE(output.ok()) << output.error();
    for (int i = 0; i < 300; ++i) {
        const int step = i % 2 == 0 ? 3 : -3;
        ASSERT_TRUE((*output)->perform({CommandKind::Move, 0, 0, step, step}).ok());
    }
    EXPECT_EQ(watcher.wait_motion(300ms).outcome, X11MouseWatcher::Wait::TimedOut);

    // The user's mouse is still heard, each motion once, after all of that.
    DeskMouse mouse;
    for (int i = 0; i < 3; ++i)
        mouse.move(2, 1);
    for (int i = 0; i < 3; ++i) {
        const auto waited = watcher.wait_motion(3s);
        ASSERT_EQ(waited.outcome, X11MouseWatcher::Wait::Motion) << "motion " << i;
        EXPECT_EQ(waited.origin, MotionOrigin::Real);
    }
    EXPECT_EQ(watcher.wait_motion(300ms).outcome, X11MouseWatcher::Wait::TimedOut);
}

TEST(X11MouseWatcher, DragsOfTheUsersMouseCountAsMotionAndClicksDoNot) {
    X11MouseWatcher watcher;
    ASSERT_EQ(watcher.start(), WatchStart::Watching);
    DeskMouse mouse;
    mouse.button(1, true);
    mouse.button(1, false);
    EXPECT_EQ(watcher.wait_motion(300ms).outcome, X11MouseWatcher::Wait::TimedOut);

    mouse.button(1, true);
    mouse.move(5, 0);
    mouse.button(1, false);
    const auto drag = watcher.wait_motion(3s);
    EXPECT_EQ(drag.outcome, X11MouseWatcher::Wait::Motion);
    EXPECT_EQ(drag.origin, MotionOrigin::Real);
}

TEST(X11MouseWatcher, MotionIsSeenWhileAnotherClientGrabsThePointer) {
    X11MouseWatcher watcher;
    ASSERT_EQ(watcher.start(), WatchStart::Watching);
    auto grabber = X11Display::open();
    ASSERT_TRUE(grabber.ok());
    Display* g = grabber->get();
    ASSERT_EQ(XGrabPointer(g, DefaultRootWindow(g), False, PointerMotionMask, GrabModeAsync,
                           GrabModeAsync, 0, 0, CurrentTime),
              GrabSuccess);
    XSync(g, False);
    DeskMouse mouse;
    mouse.move(4, 4);
    const auto waited = watcher.wait_motion(3s);
    EXPECT_EQ(waited.outcome, X11MouseWatcher::Wait::Motion);
    EXPECT_EQ(waited.origin, MotionOrigin::Real);
    XUngrabPointer(g, CurrentTime);
    XSync(g, False);
}

TEST(X11MouseWatcher, ANewMasterWithItsOwnXtestDeviceChangesNothing) {
    X11MouseWatcher watcher;
    ASSERT_EQ(watcher.start(), WatchStart::Watching);
    SecondMaster second;
    // The device list changed: the watcher learns of it while it waits.
    EXPECT_EQ(watcher.wait_motion(300ms).outcome, X11MouseWatcher::Wait::TimedOut);

    DeskMouse second_xtest("second XTEST pointer");
    second_xtest.move(3, 3);
    EXPECT_EQ(watcher.wait_motion(300ms).outcome, X11MouseWatcher::Wait::TimedOut);

    DeskMouse mouse;
    mouse.move(-3, -3);
    const auto waited = watcher.wait_motion(3s);
    EXPECT_EQ(waited.outcome, X11MouseWatcher::Wait::Motion);
    EXPECT_EQ(waited.origin, MotionOrigin::Real);
}

TEST(X11MouseWatcher, WarpingThePointerIsNotMotionOfADevice) {
    X11MouseWatcher watcher;
    ASSERT_EQ(watcher.start(), WatchStart::Watching);
    auto display = X11Display::open();
    ASSERT_TRUE(display.ok());
    XWarpPointer(display->get(), 0, DefaultRootWindow(display->get()), 0, 0, 0, 0, 10, 10);
    XSync(display->get(), False);
    EXPECT_EQ(watcher.wait_motion(300ms).outcome, X11MouseWatcher::Wait::TimedOut);
}

TEST(X11MouseWatcher, WithoutADisplayItAsksToBeTriedAgain) {
    const testing::ScopedEnv display("DISPLAY", ":9999");
    X11MouseWatcher watcher;
    EXPECT_EQ(watcher.start(), WatchStart::NotAllowedYet);
    EXPECT_EQ(watcher.next_motion(), std::nullopt);
}

}  // namespace
}  // namespace thumbrover
