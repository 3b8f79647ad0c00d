#include "core/output/pointer_acceleration.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fakes/event_output.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;
using std::chrono::nanoseconds;

constexpr DesktopAcceleration kDefault{};
constexpr DesktopAcceleration kFast{AccelerationProfile::Adaptive, 0.5};
constexpr DesktopAcceleration kSlow{AccelerationProfile::Adaptive, -0.5};
constexpr DesktopAcceleration kFlat{AccelerationProfile::Flat, 0.0};
constexpr DesktopAcceleration kFlatFast{AccelerationProfile::Flat, 0.5};

// One stretch of steering: the engine's pace and speed, as its pointer phase turns them into
// whole-pixel moves (the fraction carried), in a direction.
struct Stretch {
    nanoseconds pause_before;
    int ticks;
    double pixels_per_second;
    double dir_x;
    double dir_y;
};

struct Case {
    const char* name;
    DesktopAcceleration setting;
    std::vector<Stretch> stretches;
    // The steady factor libinput gives the uncompensated moves of the last stretch, from its
    // curve by hand (0: not pinned).
    double steady_factor;
};

// Both outputs of a run: what was asked, what libinput lands of the compensated counts, and of
// the asked pixels posted as they are.
struct Steered {
    double asked_x = 0, asked_y = 0;
    double path = 0;  // the length of every ask, whatever its direction
    double landed_x = 0, landed_y = 0;
    double last_plain_factor = 0;
    bool counts_were_asks = true;
};

Steered steer(const Case& c) {
    AccelerationCompensation compensation(c.setting);
    LibinputMouseAcceleration desktop(c.setting);  // what the compensated counts meet
    LibinputMouseAcceleration plain(c.setting);    // what the asks would meet, posted as they are
    Steered run;
    nanoseconds now = 5s;
    double carry_x = 0, carry_y = 0;
    for (const Stretch& s : c.stretches) {
        now += s.pause_before;
        for (int i = 0; i < s.ticks; ++i) {
            now += 8ms;
            carry_x += s.dir_x * s.pixels_per_second * 0.008;
            carry_y += s.dir_y * s.pixels_per_second * 0.008;
            const auto dx = static_cast<std::int32_t>(std::trunc(carry_x));
            const auto dy = static_cast<std::int32_t>(std::trunc(carry_y));
            carry_x -= dx;
            carry_y -= dy;
            if (dx == 0 && dy == 0) continue;
            run.asked_x += dx;
            run.asked_y += dy;
            run.path += std::hypot(dx, dy);
            const auto counts = compensation.counts_for(dx, dy, now);
            run.counts_were_asks &= counts.x == dx && counts.y == dy;
            if (counts.x != 0 || counts.y != 0) {
                const PointerDelta landed = desktop.accelerate(
                    {static_cast<double>(counts.x), static_cast<double>(counts.y)}, now);
                run.landed_x += landed.x;
                run.landed_y += landed.y;
            }
            const PointerDelta raw =
                plain.accelerate({static_cast<double>(dx), static_cast<double>(dy)}, now);
            run.last_plain_factor = std::hypot(raw.x, raw.y) / std::hypot(dx, dy);
        }
    }
    return run;
}

// A second of steady steering lands what was asked within 1 %; so does a stroke that starts
// after a pause (libinput's slowest factor) or turns back. The pinned factors are libinput's
// curve at 8 ms a report: 16 counts (2 units/ms) reach the cap of 2 at speed 0, 2.75 at 0.5;
// 1 count (0.125 units/ms) is 1:1; the flat profile is 1 + speed.
TEST(AccelerationCompensation, LandsWhatWasAskedWithinOnePercent) {
    const Case cases[] = {
        {"100 px/s", kDefault, {{0s, 125, 100, 1, 0}}, 0},
        {"125 px/s, one count a tick", kDefault, {{0s, 125, 125, 1, 0}}, 1.0},
        {"400 px/s diagonal", kDefault, {{0s, 125, 400, 0.6, -0.8}}, 0},
        {"2000 px/s", kDefault, {{0s, 125, 2000, 1, 0}}, 2.0},
        {"4000 px/s", kDefault, {{0s, 125, 4000, 0, 1}}, 2.0},
        {"2000 px/s at speed 0.5", kFast, {{0s, 125, 2000, 1, 0}}, 2.75},
        {"1000 px/s at speed -0.5", kSlow, {{0s, 125, 1000, -1, 0}}, 0},
        {"300 px/s at speed -0.5", kSlow, {{0s, 125, 300, 1, 0}}, 0},
        {"a slow start after a pause", kDefault, {{0s, 60, 1500, 1, 0}, {2s, 65, 200, 1, 0}}, 0},
        {"a direction change", kDefault, {{0s, 60, 1600, 1, 0.2}, {0s, 65, 1600, -1, -0.2}}, 0},
        {"flat", kFlat, {{0s, 125, 1600, 1, 0}}, 1.0},
        {"a speed that is no number counts as 0",
         {AccelerationProfile::Adaptive, std::nan("")},
         {{0s, 125, 2000, 1, 0}},
         2.0},
        {"flat at speed 0.5", kFlatFast, {{0s, 125, 1600, 1, 0}}, 1.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Steered run = steer(c);
        ASSERT_GT(run.path, 0);
        const double error = std::hypot(run.landed_x - run.asked_x, run.landed_y - run.asked_y);
        // What a stroke still owes at its end is under one count's worth.
        EXPECT_LE(error, std::max(0.01 * run.path, 2.0))
            << "asked " << run.asked_x << "," << run.asked_y << " landed " << run.landed_x << ","
            << run.landed_y;
        if (c.steady_factor != 0) {
            EXPECT_NEAR(run.last_plain_factor, c.steady_factor, 0.01);
        }
        // With nothing to undo, the counts are the asks themselves.
        EXPECT_EQ(run.counts_were_asks, c.setting == kFlat);
    }
}

// The output asks the desktop's setting again only when a stroke starts, and passes everything
// but moves through untouched.
TEST(CompensatingOutput, FollowsTheSettingFromTheNextStrokeOn) {
    auto recording = std::make_unique<fakes::RecordingOutput>();
    fakes::RecordingOutput& inner = *recording;
    DesktopAcceleration desktop = kDefault;
    int asked = 0;
    nanoseconds now = 10s;
    CompensatingOutput output(
        std::move(recording), kFlat,
        [&]() -> std::optional<DesktopAcceleration> {
            ++asked;
            return desktop;
        },
        [&] { return now; });
    const OutputCommand move{CommandKind::Move, 0, 0, 16, 0};
    for (int i = 0; i < 10; ++i, now += 8ms)
        ASSERT_TRUE(output.perform(move).ok());
    desktop = kFlatFast;
    for (int i = 0; i < 10; ++i, now += 8ms)
        ASSERT_TRUE(output.perform(move).ok());
    EXPECT_EQ(asked, 1);
    // Steady fast steering under the adaptive default posts half the counts (libinput doubles).
    EXPECT_NEAR(inner.performed.back().a, 8, 1);

    now += 1s;
    ASSERT_TRUE(output.perform(move).ok());
    EXPECT_EQ(asked, 2);
    ASSERT_TRUE(output.perform({CommandKind::Click, 0, 0, 0, 0}).ok());
    EXPECT_EQ(inner.performed.back(), (OutputCommand{CommandKind::Click, 0, 0, 0, 0}));
    // 16 pixels asked, at 1.5 pixels a count, with what was owed.
    EXPECT_NEAR(inner.performed[inner.performed.size() - 2].a, 16 / 1.5, 1);
}

}  // namespace
}  // namespace thumbrover
