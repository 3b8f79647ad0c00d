#include "macos/post_event_permission.hpp"

#include <gtest/gtest.h>

namespace thumbrover {
namespace {

TEST(PostEventPermission, ChecksTheRightItAsksForAndAsksOnlyWhileItIsMissing) {
    const struct {
        bool allowed_before;
        bool allowed_by_asking;
        bool granted_after;
        int asked;
    } cases[] = {
        {false, false, false, 1},
        {false, true, true, 1},
        {true, true, true, 0},
    };
    for (const auto& c : cases) {
        bool allowed = c.allowed_before;
        int asked = 0;
        PostEventPermission permission(SystemRight{.check = [&] { return allowed; },
                                                   .ask =
                                                       [&] {
                                                           ++asked;
                                                           allowed = c.allowed_by_asking;
                                                           return allowed;
                                                       }});
        EXPECT_EQ(permission.granted(), c.allowed_before);
        permission.request();
        EXPECT_EQ(permission.granted(), c.granted_after);
        EXPECT_EQ(asked, c.asked);
    }
}

}  // namespace
}  // namespace thumbrover
