#include <gtest/gtest.h>

#include "linux/cursor.hpp"
#include "linux/x11_ring.hpp"

#include <X11/Xlib.h>

namespace thumbrover {
namespace {

// On a connection of its own, or on the one the ring's windows are made on, as the program has it.
class X11CursorTest : public ::testing::TestWithParam<bool> {
  protected:
    std::unique_ptr<X11Cursor> make_cursor() {
        std::shared_ptr<X11Display> display;
        if (GetParam()) {
            auto overlay = X11Overlay::create();
            if (!overlay) {
                ADD_FAILURE() << overlay.error();
                return nullptr;
            }
            display = (*overlay)->display();
        }
        auto cursor = X11Cursor::create(display);
        if (!cursor) ADD_FAILURE() << cursor.error() << " (run under scripts/with-virtual-display)";
        return cursor ? std::move(cursor).value() : nullptr;
    }
};

INSTANTIATE_TEST_SUITE_P(Connections, X11CursorTest, ::testing::Values(false, true),
                         [](const auto& param) {
                             return param.param ? "Shared" : "OwnConnection";
                         });

TEST_P(X11CursorTest, NestedHidesBalancedByShowsCauseNoErrors) {
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

TEST(X11CursorRehide, OnlyTheOutermostHideAndShowReachTheServer) {
    auto display = std::make_shared<X11Display>(X11Display::open().value());
    auto cursor = X11Cursor::create(display).value();
    cursor->hide();
    const auto after_first = XNextRequest(display->get());
    for (int i = 0; i < 8; ++i)
        i < 4 ? cursor->hide() : cursor->show();
    EXPECT_EQ(XNextRequest(display->get()), after_first);
    cursor->show();
    EXPECT_GT(XNextRequest(display->get()), after_first);
}

TEST_P(X11CursorTest, AShowTooManyIsReportedAndSurvived) {
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
