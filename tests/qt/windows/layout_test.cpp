#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <cstdlib>
#include <string>

#include "qt/buttons_window.hpp"
#include "qt/settings_window.hpp"
#include "qt/setup_window.hpp"
#include "qt/status_menu.hpp"
#include "window_test_support.hpp"

namespace thumbrover::testing {
namespace {

// Every control of a shown window gets at least the room its text needs: nothing is clipped,
// whatever the font size, and nothing sticks out of the window.
void expect_nothing_clipped(QWidget& window, const std::string& what) {
    QApplication::processEvents();
    // A window's content may scroll; what counts is that nothing sticks out of the content.
    auto* content = window.findChild<QWidget*>(QStringLiteral("window_content"));
    QWidget& frame = content != nullptr ? *content : window;
    const QRect inside = frame.rect();
    for (QWidget* child : frame.findChildren<QWidget*>()) {
        if (!child->isVisibleTo(&frame) || child->isWindow()) continue;
        const QString name =
            child->metaObject()->className() + QStringLiteral(" ") +
            (qobject_cast<QLabel*>(child)            ? qobject_cast<QLabel*>(child)->text()
             : qobject_cast<QAbstractButton*>(child) ? qobject_cast<QAbstractButton*>(child)->text()
                                                     : child->objectName());
        SCOPED_TRACE(what + ": " + name.toStdString());
        const QRect area(child->mapTo(&frame, QPoint(0, 0)), child->size());
        EXPECT_TRUE(inside.contains(area)) << "outside the window";
        auto* label = qobject_cast<QLabel*>(child);
        if (label != nullptr && label->wordWrap()) {
            EXPECT_GE(label->height(), label->heightForWidth(label->width()));
        } else if (label != nullptr || qobject_cast<QAbstractButton*>(child) != nullptr ||
                   qobject_cast<QComboBox*>(child) != nullptr) {
            EXPECT_GE(child->width(), child->minimumSizeHint().width());
            EXPECT_GE(child->height(), child->minimumSizeHint().height());
        }
    }
}

// The screenshots in the README are taken here (scripts/screenshots sets the folder), so they
// always show the windows as they are built.
void save_screenshot(QWidget& window, const char* name) {
    const char* folder = std::getenv("THUMBROVER_SCREENSHOT_DIR");
    if (folder == nullptr || *folder == '\0') return;
    const QString path = QString::fromLocal8Bit(folder) + QStringLiteral("/") +
                         QString::fromLatin1(name) + QStringLiteral(".png");
    // The whole window, as a screen large enough for it shows it.
    window.resize(window.sizeHint());
    QApplication::processEvents();
    EXPECT_TRUE(window.grab().save(path)) << path.toStdString();
}

class LayoutTest : public WindowsTest, public ::testing::WithParamInterface<double> {
  protected:
    void SetUp() override {
        original_ = QApplication::font();
        QFont font = original_;
        font.setPointSizeF(original_.pointSizeF() * GetParam());
        QApplication::setFont(font);
        controller_name_ = "Xbox Wireless Controller";
        battery_ = "85%";
    }
    void TearDown() override { QApplication::setFont(original_); }

    // Nothing cut off at this font size; at the normal size, the picture the README shows.
    void check(QWidget& window, const char* name) const {
        expect_nothing_clipped(window, name);
        if (GetParam() == 1.0) save_screenshot(window, name);
    }

    QFont original_;
};

TEST_P(LayoutTest, SettingsWindow) {
    windows_.open_settings();
    check(*windows_.settings_window(), "settings");
}

TEST_P(LayoutTest, ButtonsWindow) {
    windows_.open_buttons();
    check(*windows_.buttons_window(), "buttons");
}

// One application's profile, as the README shows it: what it sets, and for the rest what all
// applications do.
TEST_P(LayoutTest, ButtonsWindowForOneApplication) {
    Config config;
    AppProfile vlc;
    vlc.id = "vlc";
    vlc.name = "VLC";
    vlc.press[button_index(Button::A)] = Action(ActionKind::PlayPause);
    vlc.press[button_index(Button::LeftBumper)] = key_action(Key(KeyKind::Left));
    vlc.press[button_index(Button::RightBumper)] = key_action(Key(KeyKind::Right));
    vlc.hold[button_index(Button::B)] = Action();
    config.apps.push_back(vlc);
    ASSERT_TRUE(write_config(file_, config));
    windows_.open_buttons();
    ButtonsWindow& window = *windows_.buttons_window();
    choose(*window.scope_popup(), 1);
    ASSERT_EQ(window.scope_popup()->currentText(), QStringLiteral("VLC"));
    check(window, "buttons-profile");
}

TEST_P(LayoutTest, SetupWindow) {
    windows_.open_setup();
    check(*windows_.setup_window(), "setup");
}

// The tray menu as the README shows it: on, with a controller and its battery.
TEST(TrayMenuPicture, ShowsTheStatusAndEveryCommand) {
    windows_app();
    auto [sender, receiver] = make_channel<EngineMessage>();
    EngineLink link(std::move(sender), true);
    link.set_connected(true);
    link.set_battery("85%");
    TrayMenu tray([](MenuAction) {}, [] { return std::optional<UpdateOffer>(); });
    tray.refresh_menu(link);
    ASSERT_NE(tray.menu(), nullptr);
    QMenu& menu = *tray.menu();
    menu.adjustSize();
    EXPECT_GE(menu.actions().size(), 5);
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) continue;
        EXPECT_GE(menu.actionGeometry(action).width(),
                  menu.fontMetrics().horizontalAdvance(action->text().remove(u'&')))
            << action->text().toStdString();
    }
    save_screenshot(menu, "tray-menu");
}

INSTANTIATE_TEST_SUITE_P(FontSizes, LayoutTest, ::testing::Values(1.0, 1.6),
                         [](const ::testing::TestParamInfo<double>& param) {
                             return param.param == 1.0 ? std::string("Normal")
                                                       : std::string("Large");
                         });

}  // namespace
}  // namespace thumbrover::testing
