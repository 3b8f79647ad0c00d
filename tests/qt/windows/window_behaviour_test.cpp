#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <functional>
#include <string>
#include <vector>

#include "qt/buttons_window.hpp"
#include "qt/settings_window.hpp"
#include "qt/setup_window.hpp"
#include "window_test_support.hpp"

namespace thumbrover::testing {
namespace {

struct EveryWindow {
    std::string name;
    std::function<void()> open;
    std::function<QWidget*()> window;
};

class WindowBehaviourTest : public WindowsTest {
  protected:
    std::vector<EveryWindow> every_window() {
        return {
            {"Settings", [this] { windows_.open_settings(); },
             [this] { return static_cast<QWidget*>(windows_.settings_window()); }},
            {"Customize Buttons", [this] { windows_.open_buttons(); },
             [this] { return static_cast<QWidget*>(windows_.buttons_window()); }},
            {"Setup", [this] { windows_.open_setup(); },
             [this] { return static_cast<QWidget*>(windows_.setup_window()); }},
        };
    }

    // A key press as the keyboard delivers it to the window that has the focus.
    static void press(QWidget& window, int key) {
        QWidget* target = window.focusWidget() != nullptr ? window.focusWidget() : &window;
        QKeyEvent down(QEvent::KeyPress, key, Qt::ControlModifier);
        QApplication::sendEvent(target, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::ControlModifier);
        QApplication::sendEvent(target, &up);
        QApplication::processEvents();
    }
};

TEST_F(WindowBehaviourTest, EachOpensCentredTheFirstTimeAndWhereItWasLeftAfterwards) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const EveryWindow& w : every_window()) {
        SCOPED_TRACE(w.name);
        w.open();
        QApplication::processEvents();
        QWidget& window = *w.window();
        const QPoint centre = window.frameGeometry().center();
        EXPECT_NEAR(centre.x(), screen.center().x(), 2);
        EXPECT_NEAR(centre.y(), screen.center().y(), 2);

        window.move(screen.topLeft() + QPoint(40, 30));
        window.close();
        QApplication::processEvents();
        w.open();
        QApplication::processEvents();
        EXPECT_EQ(window.pos(), screen.topLeft() + QPoint(40, 30)) << "not centred again";
        window.close();
    }
}

TEST_F(WindowBehaviourTest, CtrlWClosesEachWindowAndCtrlQQuitsFromEach) {
    int quits = 0;
    for (const EveryWindow& w : every_window()) {
        SCOPED_TRACE(w.name);
        w.open();
        QApplication::processEvents();
        QWidget& window = *w.window();
        ASSERT_TRUE(window.isVisible());
        press(window, Qt::Key_W);
        EXPECT_FALSE(window.isVisible()) << "Ctrl+W hides the window";

        w.open();
        QApplication::processEvents();
        press(window, Qt::Key_Q);
        EXPECT_EQ(engine_.count("Quit"), ++quits) << "Ctrl+Q asks the engine to quit";
        window.close();
    }
}

TEST_F(WindowBehaviourTest, NoWindowNamesMacOSPermissionsOnLinux) {
    for (const bool granted : {true, false}) {
        permission_.granted_now = granted;
        for (const EveryWindow& w : every_window()) {
            SCOPED_TRACE(w.name + (granted ? ", input accepted" : ", input refused"));
            w.open();
            QApplication::processEvents();
            QWidget& window = *w.window();
            QStringList shown;
            for (const QLabel* label : window.findChildren<QLabel*>())
                if (label->isVisibleTo(&window)) shown << label->text();
            for (const QAbstractButton* button : window.findChildren<QAbstractButton*>())
                if (button->isVisibleTo(&window)) shown << button->text();
            for (const QString& text : shown) {
                EXPECT_FALSE(text.contains(QStringLiteral("Accessibility"))) << text.toStdString();
                EXPECT_FALSE(text.contains(QStringLiteral("Privacy"))) << text.toStdString();
                EXPECT_FALSE(text.contains(QStringLiteral("Open Settings"))) << text.toStdString();
            }
            window.close();
        }
    }
    EXPECT_TRUE(windows_.setup_window()->findChildren<QLabel*>().size() > 0);
    bool titled = false;
    for (const QLabel* label : windows_.setup_window()->findChildren<QLabel*>())
        titled = titled || label->text() == QStringLiteral("Input to the X display");
    EXPECT_TRUE(titled) << "the Setup row says what is meant";
}

}  // namespace
}  // namespace thumbrover::testing
