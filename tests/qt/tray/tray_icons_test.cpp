#include "qt/tray_icons.hpp"

#include <gtest/gtest.h>

#include <QPainter>
#include <functional>
#include <string>
#include <vector>

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

// Two sizes of different colours, so that a wrong picture or a wrong scaling shows.
QIcon two_size_icon() {
    QIcon icon;
    for (const auto& [size, colour] : {std::pair{16, Qt::red}, std::pair{32, Qt::blue}}) {
        QPixmap pixmap(size, size);
        pixmap.fill(colour);
        icon.addPixmap(pixmap);
    }
    return icon;
}

QImage painted(const QIcon& icon, const QRect& rect) {
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    icon.paint(&painter, rect);
    painter.end();
    return image;
}

struct Ask {
    std::string what;
    std::function<void(const QIcon&)> ask;
};

const std::vector<Ask>& asks() {
    static const std::vector<Ask> all = {
        {"a pixmap", [](const QIcon& icon) { (void)icon.pixmap(16, 16); }},
        {"its sizes", [](const QIcon& icon) { (void)icon.availableSizes(); }},
        {"the size it would draw at",
         [](const QIcon& icon) {
             (void)icon.actualSize({20, 20});
         }},
        {"painting it",
         [](const QIcon& icon) {
             (void)painted(icon, {0, 0, 24, 24});
         }},
    };
    return all;
}

TEST(DeferredIcon, IsMadeOnlyWhenItsPicturesAreNeededAndThenOnce) {
    testing::qt_app();
    for (const Ask& a : asks()) {
        SCOPED_TRACE(a.what);
        int made = 0;
        const QIcon icon = deferred_icon([&made] {
            ++made;
            return two_size_icon();
        });
        // What the tray does with a new icon before anything shows it.
        const QIcon copy = icon;
        EXPECT_FALSE(icon.isNull());
        EXPECT_FALSE(copy.isNull());
        EXPECT_EQ(made, 0);
        a.ask(icon);
        EXPECT_EQ(made, 1);
        for (const Ask& again : asks()) {
            again.ask(icon);
            again.ask(copy);
        }
        EXPECT_EQ(made, 1);
    }
}

TEST(DeferredIcon, AnswersAsTheIconItMakes) {
    testing::qt_app();
    const QIcon made = two_size_icon();
    const QIcon deferred = deferred_icon(two_size_icon);
    EXPECT_EQ(deferred.availableSizes(), made.availableSizes());
    for (const int size : {16, 24, 32, 48}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(deferred.actualSize({size, size}), made.actualSize({size, size}));
        EXPECT_EQ(deferred.pixmap(size, size).toImage(), made.pixmap(size, size).toImage());
        EXPECT_EQ(deferred.pixmap(size, size, QIcon::Disabled).toImage(),
                  made.pixmap(size, size, QIcon::Disabled).toImage());
    }
    for (const QRect& rect : {QRect(0, 0, 16, 16), QRect(2, 3, 24, 20), QRect(0, 0, 40, 40)}) {
        SCOPED_TRACE(rect.width());
        EXPECT_EQ(painted(deferred, rect), painted(made, rect));
    }
}

}  // namespace
}  // namespace thumbrover
