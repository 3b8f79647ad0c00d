#include "qt/tray_icons.hpp"

#include <gtest/gtest.h>

#include "qt/qt_app.hpp"

namespace thumbrover {
namespace {

int opaque_pixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() > 128) ++count;
    return count;
}

TEST(ControllerPicture, FilledAndOutlineDifferAndLeaveTheBackgroundClear) {
    testing::qt_app();
    for (const int size : {16, 22, 64}) {
        SCOPED_TRACE(size);
        const QImage filled = controller_picture(true, size);
        const QImage outline = controller_picture(false, size);
        ASSERT_EQ(filled.size(), QSize(size, size));
        // The corners are outside the controller.
        for (const QImage* image : {&filled, &outline}) {
            EXPECT_EQ(image->pixelColor(0, 0).alpha(), 0);
            EXPECT_EQ(image->pixelColor(size - 1, size - 1).alpha(), 0);
        }
        // Neither is empty, and the filled one covers more.
        const int full = opaque_pixels(filled);
        const int line = opaque_pixels(outline);
        EXPECT_GT(line, size * size / 10);
        EXPECT_GT(full, line);
        // In the middle of the body, between the d-pad and the face buttons, the filled picture
        // is light and the outline one is hollow.
        const int x = size / 2;
        const int y = size * 27 / 64;
        EXPECT_GT(filled.pixelColor(x, y).lightness(), 200);
        EXPECT_EQ(outline.pixelColor(x, y).alpha(), 0);
    }
}

TEST(TrayIcon, OffersEveryPanelSizeInBothStates) {
    testing::qt_app();
    for (const bool active : {true, false}) {
        const QIcon icon = tray_icon(active);
        ASSERT_FALSE(icon.isNull());
        EXPECT_GE(icon.availableSizes().size(), 4);
        EXPECT_FALSE(icon.pixmap(22, 22).isNull());
    }
}

}  // namespace
}  // namespace thumbrover
