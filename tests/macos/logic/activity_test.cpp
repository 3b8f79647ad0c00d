#include "macos/activity.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace thumbrover {
namespace {

int g_begun = 0;
int g_ended = 0;
bool g_system_gives_one = true;

class CountedActivity final : public ProcessActivity {
  public:
    ~CountedActivity() override { ++g_ended; }
};

std::unique_ptr<ProcessActivity> begin_counted() {
    ++g_begun;
    if (!g_system_gives_one) return nullptr;
    return std::make_unique<CountedActivity>();
}

TEST(SteeringActivity, HeldExactlyWhileOnWithAControllerAndAskedOncePerChange) {
    const struct {
        bool system_gives_one;
        std::vector<bool> states;
        int begun;
        int ended;
        bool held_at_end;
    } cases[] = {
        {true, {false, false}, 0, 0, false},
        {true, {true, true, true}, 1, 0, true},
        {true, {true, false, false}, 1, 1, false},
        {true, {false, true, false, true}, 2, 1, true},
        // None given: not asked again until the state changes.
        {false, {true, true}, 1, 0, false},
    };
    for (const auto& c : cases) {
        g_begun = g_ended = 0;
        g_system_gives_one = c.system_gives_one;
        {
            SteeringActivity activity(begin_counted);
            for (const bool active : c.states)
                activity.update(active);
            EXPECT_EQ(g_begun, c.begun);
            EXPECT_EQ(g_ended, c.ended);
            EXPECT_EQ(activity.held(), c.held_at_end);
        }
        // Quitting ends what is held.
        EXPECT_EQ(g_ended, c.held_at_end ? c.ended + 1 : c.ended);
    }
}

TEST(SteeringActivity, OptionsKeepTimersPreciseAndStillLetTheMacSleep) {
    constexpr std::uint64_t kIdleSystemSleepDisabled = 1ULL << 20;
    constexpr std::uint64_t kIdleDisplaySleepDisabled = 1ULL << 40;
    constexpr std::uint64_t kLatencyCritical = 0xFF00000000ULL;
    EXPECT_EQ(kSteeringActivityOptions & kIdleSystemSleepDisabled, 0u);
    EXPECT_EQ(kSteeringActivityOptions & kIdleDisplaySleepDisabled, 0u);
    EXPECT_EQ(kSteeringActivityOptions & kLatencyCritical, kLatencyCritical);
    EXPECT_EQ(kSteeringActivityOptions & 0x00FFFFFFULL, 0x00FFFFFFULL & ~kIdleSystemSleepDisabled);
}

}  // namespace
}  // namespace thumbrover
