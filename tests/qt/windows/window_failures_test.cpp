#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>

#include "core/ui/file_banner.hpp"
#include "qt/settings_window.hpp"
#include "qt/setup_window.hpp"
#include "window_test_support.hpp"

namespace thumbrover::testing {
namespace {

// The failure message a window shows, once the event loop has delivered it.
std::string failure_text() {
    for (int i = 0; i < 50; ++i) {
        QCoreApplication::processEvents();
        for (QWidget* widget : QApplication::allWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                std::string text = box->text().toStdString();
                box->close();
                QCoreApplication::processEvents();
                return text;
            }
    }
    return {};
}

class WindowFailuresTest : public WindowsTest {
  protected:
    WindowServices failing_services() {
        WindowServices wired = linux_services();
        wired.bluetooth_missing_status = 69;
        wired.bluetooth_help = "Install blueman.";
        wired.open_file_help = "Set an editor for .toml files.";
        return wired;
    }
};

TEST_F(WindowFailuresTest, WhatAButtonStartedAndFailedIsShownWithWhatToDo) {
    QtWindows windows{failing_services()};
    windows.open_settings();
    windows.open_setup();
    struct Case {
        std::function<void()> click;
        std::optional<int> exit_status;
        std::optional<std::string> start_failure;
        std::string shown;  // empty: nothing is shown
    };
    const std::string file = file_.string();
    const Case cases[] = {
        {[&] { windows.open_config_file(); },
         3,
         {},
         "Nothing opened " + file + ". Set an editor for .toml files."},
        {[&] { windows.open_config_file(); }, 0, {}, ""},
        {[&] { windows.open_config_file(); },
         {},
         "No such file or directory",
         "The program that opens files could not be started (No such file or directory). Open " +
             file + " in a text editor. Set an editor for .toml files."},
        {[&] { windows.open_bluetooth(); },
         69,
         {},
         "No program for the Bluetooth settings was found. Install blueman."},
        // A panel that ran and ended with a status of its own was found.
        {[&] { windows.open_bluetooth(); }, 1, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        desktop_.exit_status = c.exit_status;
        desktop_.failure = c.start_failure;
        c.click();
        EXPECT_EQ(failure_text(), c.shown);
    }
}

TEST_F(WindowFailuresTest, ValuesOutsideASlidersRangeAreShownAsTheyAreAndMarked) {
    write_text(file_, "stick_deadzone = 12\npointer_speed = -800.0\n");
    windows_.open_settings();
    SettingsWindow& window = *windows_.settings_window();
    EXPECT_EQ(window.value_label(2)->text(), QString::fromUtf8("1200 % \u2013 out of range"));
    EXPECT_EQ(window.value_label(0)->text(), QString::fromUtf8("-800 px/s \u2013 out of range"));
    EXPECT_TRUE(window.slider(2)->toolTip().contains(QStringLiteral("0 % to 40 %")));
    EXPECT_EQ(window.value_label(5)->text(), QStringLiteral("15.0 notches/s"));
    EXPECT_TRUE(window.slider(5)->toolTip().isEmpty());
    // Moving the slider puts a value inside back.
    window.slider(2)->setValue(150);
    EXPECT_EQ(window.value_label(2)->text(), QStringLiteral("15 %"));
}

TEST_F(WindowFailuresTest, TheUpdateCheckboxFollowsTheFileAndSwitchesTheCheck) {
    write_text(file_, "check_for_updates = false\n");
    windows_.open_settings();
    QCheckBox& box = *windows_.settings_window()->update_checkbox();
    EXPECT_FALSE(box.isChecked());
    box.click();
    EXPECT_EQ(file_text().find("check_for_updates"), std::string::npos);
    EXPECT_TRUE(sent_to_engine().back().check_for_updates);
}

TEST_F(WindowFailuresTest, WithoutATraySettingsSaysOnceHowToComeBack) {
    windows_.open_settings_without_tray();
    QLabel* note = windows_.no_tray_note();
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text().toStdString(), std::string(kNoTrayNote));
    windows_.settings_window()->close();
    windows_.open_settings();
    EXPECT_FALSE(note->isVisible());
}

}  // namespace
}  // namespace thumbrover::testing
