#include <gtest/gtest.h>

#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QWheelEvent>

#include "qt/buttons_window.hpp"
#include "qt/settings_window.hpp"
#include "qt/setup_window.hpp"
#include "qt/window_widgets.hpp"
#include "window_test_support.hpp"

namespace thumbrover::testing {
namespace {

class FitTest : public WindowsTest {
  protected:
    std::vector<QWidget*> all_windows() {
        windows_.open_settings();
        windows_.open_buttons();
        windows_.open_setup();
        return {windows_.settings_window(), windows_.buttons_window(), windows_.setup_window()};
    }
};

// A laptop's 1366x768 at 1x and a 1920x1080 screen at 2x (960x540 in the windows' units), less a
// panel: every window opens inside, can be made that small, and scrolls what does not fit.
TEST_F(FitTest, EveryWindowFitsSmallScreensAndScrollsTheRest) {
    const QRect screens[] = {QRect(0, 32, 1366, 736), QRect(0, 32, 960, 508)};
    for (QWidget* window : all_windows()) {
        for (const QRect& available : screens) {
            SCOPED_TRACE(window->objectName().toStdString() + " in " +
                         std::to_string(available.width()) + "x" +
                         std::to_string(available.height()));
            fit_window_to(*window, available);
            EXPECT_LE(window->width(), available.width());
            EXPECT_LE(window->height(), available.height());
            EXPECT_LE(window->minimumSizeHint().height(), available.height());
            EXPECT_NE(window->minimumSize(), window->maximumSize()) << "resizable";
            auto* scroll = window->findChild<QScrollArea*>(QStringLiteral("window_scroll"));
            ASSERT_NE(scroll, nullptr);
            QApplication::processEvents();
            const int content = scroll->widget()->sizeHint().height();
            if (content > scroll->viewport()->height()) {
                EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
            }
        }
    }
}

TEST(FittedWindowSize, StaysWithinTheScreenAndAboveTheMinimum) {
    const QRect laptop(0, 0, 1366, 768);
    EXPECT_EQ(fitted_window_size({600, 500}, {200, 100}, laptop), QSize(600, 500));
    EXPECT_EQ(fitted_window_size({700, 900}, {200, 100}, laptop), QSize(700, 720));
    EXPECT_EQ(fitted_window_size({1500, 300}, {200, 100}, laptop), QSize(1366, 300));
    EXPECT_EQ(fitted_window_size({100, 100}, {200, 150}, QRect(0, 0, 150, 120)), QSize(200, 150));
}

void wheel(QWidget& widget, int notches) {
    const QPointF at(widget.width() / 2.0, widget.height() / 2.0);
    QWheelEvent event(at, widget.mapToGlobal(at), QPoint(), QPoint(0, -120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &event);
}

// Two notches over a pop-up the pointer merely crossed change nothing; once it has the focus the
// wheel chooses, as in any pop-up. Sliders likewise.
TEST_F(FitTest, PopupsAndSlidersTakeTheWheelOnlyOnceFocused) {
    windows_.open_buttons();
    ButtonsWindow& buttons = *windows_.buttons_window();
    QComboBox& popup = *buttons.binding_popup(0);
    const int before = popup.currentIndex();
    wheel(popup, 2);
    EXPECT_EQ(popup.currentIndex(), before);
    EXPECT_EQ(binding_of(store_.get().buttons, Button::A).press, Action(ActionKind::LeftClick));
    EXPECT_EQ(popup.focusPolicy(), Qt::StrongFocus);

    windows_.open_settings();
    SettingsWindow& settings = *windows_.settings_window();
    QSlider& slider = *settings.findChild<QSlider*>();
    const int position = slider.value();
    wheel(slider, 2);
    EXPECT_EQ(slider.value(), position);
    EXPECT_EQ(slider.focusPolicy(), Qt::StrongFocus);
}

TEST_F(FitTest, HoldPopupsAndSlidersSpeakToScreenReaders) {
    windows_.open_buttons();
    EXPECT_EQ(windows_.buttons_window()->binding_popup(1)->accessibleName(),
              QStringLiteral("A, hold"));
    windows_.open_settings();
    auto* curve = windows_.settings_window()->findChild<QSlider*>(QStringLiteral("stick_curve"));
    ASSERT_NE(curve, nullptr);
    EXPECT_EQ(curve->accessibleDescription(), QStringLiteral("2.0"));
}

}  // namespace
}  // namespace thumbrover::testing
