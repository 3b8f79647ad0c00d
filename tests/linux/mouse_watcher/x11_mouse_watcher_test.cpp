// gtest comes before Xlib, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include "linux/event_output.hpp"
#include "linux/mouse_watcher.hpp"
#include "linux/x11_display.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

TEST(X11MouseWatcher, TheProgramsOwnMotionIsAlwaysOwnHoweverFastItComes) {
    X11MouseWatcher watcher;
    ASSERT_EQ(watcher.start(), WatchStart::Watching) << "run under scripts/with-virtual-display";
    auto output = X11EventOutput::create();
    ASSERT_TRUE(output.ok()) << output.error();

    constexpr int kMoves = 300;
    for (int i = 0; i < kMoves; ++i) {
        const int step = i % 2 == 0 ? 3 : -3;
        ASSERT_TRUE((*output)->perform({CommandKind::Move, 0, 0, step, step}).ok());
    }
    int own = 0;
    for (int i = 0; i < kMoves; ++i) {
        const auto waited = watcher.wait_motion(3s);
        ASSERT_EQ(waited.outcome, X11MouseWatcher::Wait::Motion) << "after " << i << " motions";
        EXPECT_EQ(waited.origin, MotionOrigin::Own);
        own += waited.origin == MotionOrigin::Own ? 1 : 0;
    }
    EXPECT_EQ(own, kMoves);
}

TEST(X11MouseWatcher, DragsCountAsMotionAndClicksDoNot) {
    X11MouseWatcher watcher;
    ASSERT_EQ(watcher.start(), WatchStart::Watching);
    auto output = X11EventOutput::create();
    ASSERT_TRUE(output.ok()) << output.error();

    ASSERT_TRUE((*output)->perform({CommandKind::Click, 0}).ok());
    ASSERT_TRUE((*output)->perform({CommandKind::Scroll, 0, 0, 240, 0}).ok());
    EXPECT_EQ(watcher.wait_motion(300ms).outcome, X11MouseWatcher::Wait::TimedOut);

    ASSERT_TRUE((*output)->perform({CommandKind::ButtonDown, 0}).ok());
    ASSERT_TRUE((*output)->perform({CommandKind::Move, 0, 0, 5, 0}).ok());
    ASSERT_TRUE((*output)->perform({CommandKind::ButtonUp, 0}).ok());
    const auto drag = watcher.wait_motion(3s);
    EXPECT_EQ(drag.outcome, X11MouseWatcher::Wait::Motion);
    EXPECT_EQ(drag.origin, MotionOrigin::Own);
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
    auto output = X11EventOutput::create();
    ASSERT_TRUE(output.ok()) << output.error();
    ASSERT_TRUE((*output)->perform({CommandKind::Move, 0, 0, 4, 4}).ok());
    const auto waited = watcher.wait_motion(3s);
    EXPECT_EQ(waited.outcome, X11MouseWatcher::Wait::Motion);
    XUngrabPointer(g, CurrentTime);
    XSync(g, False);
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
