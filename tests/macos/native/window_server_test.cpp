// Checks against the real window server and Foundation, on a Mac only: what the ring window is
// told, read back from AppKit, and the steering activity.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/circle/circle.hpp"
#include "macos/activity.hpp"
#include "macos/cursor.hpp"
#include "qt/qt_app.hpp"
#include "qt/steering_circle.hpp"

#include <QApplication>
#include <QElapsedTimer>

namespace thumbrover {
namespace {

// The Cocoa platform whatever the job's environment asks for: off screen there is no NSWindow.
QApplication& cocoa_app() {
    static const bool chosen = qputenv("QT_QPA_PLATFORM", "cocoa");
    (void)chosen;
    return testing::qt_app();
}

void process_events_for(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(RingWindow, ShownWhileAnotherProgramIsActiveAboveEverythingOnEverySpace) {
    cocoa_app();
    QtCircleWindow ring(circle_shape(1.0f));
    ring.show();
    auto* view = reinterpret_cast<void*>(ring.native_id());
    const auto as_made = ring_window_properties(view);
    ASSERT_TRUE(as_made.has_value());
    EXPECT_FALSE(as_made->hides_on_deactivate) << "the tool window's panel hides on deactivation";

    ASSERT_TRUE(make_ring_window(view));
    // A test program is not the active one either; give AppKit the time to act on that.
    process_events_for(300);
    const auto shown = ring_window_properties(view);
    ASSERT_TRUE(shown.has_value());
    EXPECT_FALSE(shown->hides_on_deactivate);
    EXPECT_TRUE(shown->visible);
    EXPECT_EQ(shown->level, 1000);
    EXPECT_EQ(shown->collection_behavior, 337u);
    EXPECT_TRUE(shown->ignores_mouse);
    EXPECT_FALSE(shown->opaque);
}

TEST(SteeringActivity, TheSystemGivesTheActivityAndTakesItBack) {
    SteeringActivity steering(begin_steering_activity);
    steering.update(true);
    EXPECT_TRUE(steering.held());
    steering.update(false);
    EXPECT_FALSE(steering.held());
}

}  // namespace
}  // namespace thumbrover
