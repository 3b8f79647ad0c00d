#include "macos/activity.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace thumbrover {
namespace {

int g_begun = 0;
int g_ended = 0;
bool g_given = true;

struct CountedActivity final : ProcessActivity {
    ~CountedActivity() override { ++g_ended; }
};

std::unique_ptr<ProcessActivity> begin_counted() {
    ++g_begun;
    return g_given ? std::make_unique<CountedActivity>() : nullptr;
}

TEST(SteeringActivity, HeldExactlyWhileOnWithAControllerAndAskedOncePerChange) {
    const struct {
        bool given;
        std::vector<bool> states;
        int begun, ended;
        bool held;
    } cases[] = {
        {true, {false, false}, 0, 0, false},
        {true, {true, true, true}, 1, 0, true},
        {true, {false, true, false, true}, 2, 1, true},
        {false, {true, true}, 1, 0, false},
    };
    for (const auto& c : cases) {
        g_begun = g_ended = 0;
        g_given = c.given;
        {
            SteeringActivity activity(begin_counted);
            for (const bool active : c.states)
                activity.update(active);
            EXPECT_EQ(g_begun, c.begun);
            EXPECT_EQ(g_ended, c.ended);
            EXPECT_EQ(activity.held(), c.held);
        }
        EXPECT_EQ(g_ended, c.ended + (c.held ? 1 : 0)) << "quitting ends what is held";
    }
}

}  // namespace
}  // namespace thumbrover
