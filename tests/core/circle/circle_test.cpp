#include "core/circle/circle.hpp"
#include "fakes/overlay.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace thumbrover {
namespace {

using testing::ManualClock;

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

using fakes::CountingCursor;
using fakes::FakeOverlay;

TEST(CircleGeometry, SizesFollowTheScale) {
    struct Case {
        float scale;
        double side, ring_width, ring_radius, dot_radius;
    };
    const Case cases[] = {
        {1.5f, 36.0, 3.24, 16.02, 2.52},
        {1.0f, 24.0, 2.16, 10.68, 1.68},
        {0.1f, 8.0, 2.0, 4.2, 1.5},  // the minimum side, and the width and dot floors
        {0.0f, 8.0, 2.0, 4.2, 1.5},
        {-3.0f, 8.0, 2.0, 4.2, 1.5},
        {std::numeric_limits<float>::quiet_NaN(), 8.0, 2.0, 4.2, 1.5},
        {0.3125f, 8.0, 2.0, 4.2, 1.5},   // 7.5 rounds away from zero to 8
        {0.35416f, 8.0, 2.0, 4.2, 1.5},  // 8.49996 rounds to 8
        {0.375f, 9.0, 2.0, 4.6, 1.5},
        {3.0f, 72.0, 6.48, 32.04, 5.04},
        {20.0f, 480.0, 43.2, 213.6, 33.6},
        {1e9f, 480.0, 43.2, 213.6, 33.6},
        {std::numeric_limits<float>::infinity(), 480.0, 43.2, 213.6, 33.6},
    };
    for (const Case& c : cases) {
        const CircleGeometry g = circle_geometry(c.scale);
        EXPECT_DOUBLE_EQ(g.side, c.side) << c.scale;
        EXPECT_DOUBLE_EQ(g.centre, c.side / 2) << c.scale;
        EXPECT_NEAR(g.ring_width, c.ring_width, 1e-9) << c.scale;
        EXPECT_NEAR(g.ring_radius, c.ring_radius, 1e-9) << c.scale;
        EXPECT_NEAR(g.dot_radius, c.dot_radius, 1e-9) << c.scale;
    }
}

TEST(CircleGeometry, LayersAreOutlinedRingThenOutlinedDot) {
    const CircleShape shape = circle_shape(1.5f);
    EXPECT_DOUBLE_EQ(shape.side, 36.0);
    const CircleLayer& outline = shape.layers[0];
    EXPECT_NEAR(outline.radius, 17.02, 1e-9);
    EXPECT_NEAR(outline.border_width, 5.24, 1e-9);
    EXPECT_EQ(outline.border, Shade::Black);
    EXPECT_EQ(outline.fill, std::nullopt);
    const CircleLayer& ring = shape.layers[1];
    EXPECT_NEAR(ring.radius, 16.02, 1e-9);
    EXPECT_NEAR(ring.border_width, 3.24, 1e-9);
    EXPECT_EQ(ring.border, Shade::White);
    EXPECT_EQ(ring.fill, std::nullopt);
    EXPECT_NEAR(shape.layers[2].radius, 3.52, 1e-9);
    EXPECT_EQ(shape.layers[2].border_width, 0.0);
    EXPECT_EQ(shape.layers[2].fill, Shade::Black);
    EXPECT_NEAR(shape.layers[3].radius, 2.52, 1e-9);
    EXPECT_EQ(shape.layers[3].fill, Shade::White);
    EXPECT_EQ(shape.layers[3].border, Shade::White);
}

class SteeringCircleTest : public ::testing::Test {
  protected:
    SteeringCircleTest() { scale.set(1.5f); }

    ManualClock clock{1s};
    FakeOverlay overlay;
    CountingCursor cursor;
    CircleScaleCell scale;
    RingTargetCell target;
    SteeringCircle circle{overlay, cursor, clock, scale, target};
};

TEST_F(SteeringCircleTest, ARingTheEngineCanMoveIsPlacedOnceAndThenLeftToIt) {
    overlay.native = 77;
    circle.update_circle(true);
    EXPECT_EQ(overlay.log, (Lines{"build 36.000000", "move 82.000000,182.000000", "show"}));
    EXPECT_EQ(target.get(), (RingTarget{77, 18.0, 1}));
    EXPECT_TRUE(circle.follows_by_itself());
    overlay.log.clear();
    overlay.pointer = {10.5, -4.0};
    for (int i = 0; i < 3; ++i) {
        clock.t += 4ms;
        circle.update_circle(true);
    }
    // No move and no question about the pointer while the engine moves it.
    EXPECT_TRUE(overlay.log.empty());
    EXPECT_EQ(overlay.pointer_queries, 1);

    circle.update_circle(false);
    EXPECT_EQ(target.get(), std::nullopt);
    EXPECT_EQ(overlay.log, Lines{"hide"});
    // Shown again: placed afresh, a new showing for the engine to learn the pointer anew.
    circle.update_circle(true);
    EXPECT_EQ(target.get(), (RingTarget{77, 18.0, 2}));
    EXPECT_EQ(overlay.log, (Lines{"hide", "move -7.500000,-22.000000", "show"}));

    // The window goes with a scale change: the engine must not move it any more.
    circle.change_circle_scale(2.0f);
    EXPECT_EQ(target.get(), std::nullopt);
    EXPECT_FALSE(circle.follows_by_itself());
}

TEST_F(SteeringCircleTest, ASessionWithoutARingBuildsNothingAndNeverHidesTheCursor) {
    overlay.ring = false;
    for (const bool wanted : {true, true, false, true}) {
        clock.t += 300ms;
        circle.update_circle(wanted);
    }
    EXPECT_TRUE(overlay.log.empty());
    EXPECT_EQ(overlay.pointer_queries, 0);
    EXPECT_EQ(cursor.hides, 0);
    EXPECT_FALSE(circle.shows_ring());
}

TEST_F(SteeringCircleTest, ShowsCentredOnThePointerAndFollowsIt) {
    circle.update_circle(true);
    EXPECT_EQ(overlay.log, (Lines{"build 36.000000", "move 82.000000,182.000000", "show"}));
    overlay.log.clear();
    overlay.pointer = {10.5, -4.0};
    clock.t += 4ms;
    circle.update_circle(true);
    EXPECT_EQ(overlay.log, Lines{"move -7.500000,-22.000000"});
}

TEST_F(SteeringCircleTest, HidingKeepsTheWindowForNextTime) {
    circle.update_circle(false);
    EXPECT_TRUE(overlay.log.empty());
    circle.update_circle(true);
    circle.update_circle(false);
    circle.update_circle(false);
    circle.update_circle(true);
    EXPECT_EQ(overlay.log, (Lines{"build 36.000000", "move 82.000000,182.000000", "show", "hide",
                                  "move 82.000000,182.000000", "show"}));
}

TEST_F(SteeringCircleTest, CursorIsHiddenAgainEvery250msAndShownAsOftenAsHidden) {
    // 250 ms is not a whole number of 4 ms ticks: the hides land on the ticks at 0, 252, 504
    // and 756 ms, so one second of steering issues four.
    for (int tick = 0; tick < 250; ++tick) {
        circle.update_circle(true);
        clock.t += 4ms;
    }
    EXPECT_EQ(cursor.hides, 4);
    EXPECT_EQ(circle.cursor_hider().hide_count(), 4u);
    EXPECT_EQ(cursor.shows, 0);
    circle.update_circle(false);
    EXPECT_EQ(cursor.shows, 4);
    EXPECT_EQ(circle.cursor_hider().hide_count(), 0u);
    circle.update_circle(false);
    EXPECT_EQ(cursor.shows, 4);

    // The interval starts afresh after the cursor came back.
    circle.update_circle(true);
    EXPECT_EQ(cursor.hides, 5);
}

TEST_F(SteeringCircleTest, TheRingIsPutBackOnTopAtEveryReHideWhileItShows) {
    const auto tick = [&](bool visible, int times) {
        for (int i = 0; i < times; ++i) {
            circle.update_circle(visible);
            clock.t += 4ms;
        }
    };
    const auto on_top_calls = [&] {
        return std::count(overlay.log.begin(), overlay.log.end(), "keep on top");
    };
    tick(true, 1);
    EXPECT_EQ(on_top_calls(), 0) << "showing it put it on top already";
    tick(true, 249);  // the re-hides at 252, 504 and 756 ms
    EXPECT_EQ(on_top_calls(), 3);
    tick(false, 250);
    EXPECT_EQ(on_top_calls(), 3) << "nothing while it is hidden";
    tick(true, 64);  // shown again at once, re-hidden at 252 ms
    EXPECT_EQ(on_top_calls(), 4);
}

TEST_F(SteeringCircleTest, AClockThatGoesBackwardsDoesNotHideOnEveryTick) {
    circle.update_circle(true);
    clock.t -= 1s;
    circle.update_circle(true);
    circle.update_circle(true);
    EXPECT_EQ(cursor.hides, 1);
    clock.t += 1s + 249ms;
    circle.update_circle(true);
    EXPECT_EQ(cursor.hides, 1);
    clock.t += 1ms;
    circle.update_circle(true);
    EXPECT_EQ(cursor.hides, 2);
}

TEST_F(SteeringCircleTest, ScaleChangesRebuildOnlyWhenTheScaleDiffers) {
    circle.update_circle(true);
    circle.change_circle_scale(1.5f);
    EXPECT_TRUE(circle.has_window());
    overlay.log.clear();

    circle.change_circle_scale(2.0f);
    EXPECT_EQ(scale.get(), 2.0f);
    EXPECT_FALSE(circle.has_window());
    EXPECT_EQ(overlay.log, (Lines{"hide", "destroy 1"}));

    overlay.log.clear();
    circle.update_circle(true);
    EXPECT_EQ(overlay.log, (Lines{"build 48.000000", "move 76.000000,176.000000", "show"}));
    EXPECT_EQ(overlay.built.size(), 2u);
}

TEST_F(SteeringCircleTest, ScaleChangeWithoutAWindowOnlyStores) {
    circle.change_circle_scale(0.5f);
    EXPECT_EQ(scale.get(), 0.5f);
    EXPECT_TRUE(overlay.log.empty());
    circle.update_circle(true);
    ASSERT_EQ(overlay.built.size(), 1u);
    EXPECT_DOUBLE_EQ(overlay.built[0].side, 12.0);
}

TEST(CircleScale, ProcessWideSetterOnlyStores) {
    set_circle_scale(2.5f);
    EXPECT_EQ(circle_scale_cell().get(), 2.5f);
}

}  // namespace
}  // namespace thumbrover
