#include <gtest/gtest.h>

#include "linux/cursor.hpp"

namespace thumbrover {
namespace {

std::unique_ptr<X11Cursor> make_cursor() {
    auto cursor = X11Cursor::create();
    if (!cursor) ADD_FAILURE() << cursor.error() << " (run under scripts/with-virtual-display)";
    return cursor ? std::move(cursor).value() : nullptr;
}

TEST(X11Cursor, NestedHidesBalancedByShowsCauseNoErrors) {
    auto cursor = make_cursor();
    ASSERT_TRUE(cursor);
    ::testing::internal::CaptureStderr();
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 5; ++i)
            cursor->hide();
        for (int i = 0; i < 5; ++i)
            cursor->show();
    }
    const auto settled = cursor->settle();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(settled.ok()) << settled.error();
}

TEST(X11Cursor, AShowTooManyIsReportedAndSurvived) {
    auto cursor = make_cursor();
    ASSERT_TRUE(cursor);
    ::testing::internal::CaptureStderr();
    cursor->show();
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed.rfind("thumbrover: could not show the cursor: X error ", 0), 0u) << printed;
    // The connection stays usable.
    ::testing::internal::CaptureStderr();
    cursor->hide();
    cursor->show();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace thumbrover
