#include <gtest/gtest.h>

#include <unistd.h>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <utility>

#include "core/settings/app_folder.hpp"
#include "qt/setup_window.hpp"
#include "qt/window_widgets.hpp"
#include "window_test_support.hpp"

namespace thumbrover::testing {
namespace {

class SetupWindowTest : public WindowsTest {
  protected:
    SetupWindow& open() {
        windows_.open_setup();
        return *windows_.setup_window();
    }
};

TEST_F(SetupWindowTest, DoneWritesTheMarkerAndClosesTheWindow) {
    SetupWindow& window = open();
    ASSERT_TRUE(window.isVisible());
    ASSERT_FALSE(setup_done(dir_.path()));
    window.done_button()->click();
    EXPECT_TRUE(setup_done(dir_.path()));
    EXPECT_FALSE(window.isVisible());
}

TEST_F(SetupWindowTest, ReturnActivatesDone) {
    SetupWindow& window = open();
    EXPECT_TRUE(window.done_button()->isDefault());
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&window, &down);
    EXPECT_TRUE(setup_done(dir_.path()));
    EXPECT_FALSE(window.isVisible());
}

TEST_F(SetupWindowTest, DoneWithAnUnwritableFolderStillClosesAndOpensAgainNextTime) {
    SetupWindow& window = open();
    std::filesystem::permissions(
        dir_.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::access(dir_.path().c_str(), W_OK) == 0) GTEST_SKIP() << "running as root";
    window.done_button()->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(setup_done(dir_.path()));
}

TEST_F(SetupWindowTest, TheControllerRowFollowsTheController) {
    SetupWindow& window = open();
    EXPECT_EQ(window.controller_symbol()->symbol(), kSymbolPending);
    EXPECT_EQ(
        window.controller_detail()->text(),
        QStringLiteral("Not connected. Turn the controller on, or pair it in Bluetooth settings."));
    EXPECT_TRUE(window.bluetooth_button()->isVisibleTo(&window));

    controller_name_ = "Xbox Wireless Controller";
    battery_ = "85%";
    window.refresh_live_rows();
    EXPECT_EQ(window.controller_symbol()->symbol(), kSymbolGranted);
    EXPECT_EQ(window.controller_detail()->text(),
              QStringLiteral("Xbox Wireless Controller is connected. Battery: 85%."));
    EXPECT_FALSE(window.bluetooth_button()->isVisibleTo(&window));

    battery_.reset();
    window.refresh_live_rows();
    EXPECT_EQ(window.controller_detail()->text(),
              QStringLiteral("Xbox Wireless Controller is connected."));

    controller_name_.reset();
    window.refresh_live_rows();
    window.bluetooth_button()->click();
    ASSERT_EQ(desktop_.shells.size(), 1u);
    EXPECT_NE(desktop_.shells[0].find("bluetooth"), std::string::npos);
}

TEST_F(SetupWindowTest, ThePermissionGrantedWhileRunningAsksForARestart) {
    permission_.granted_now = false;
    SetupWindow& window = open();
    EXPECT_EQ(trust_.get(), std::optional<bool>(false));
    EXPECT_EQ(window.access_symbol()->symbol(), kSymbolWarning);
    // An X display has no settings pane to open; the row says what to do instead.
    EXPECT_FALSE(window.access_button()->isVisibleTo(&window));
    EXPECT_TRUE(window.access_detail()->text().contains(QStringLiteral("XTEST")));
    EXPECT_FALSE(window.access_detail()->text().contains(QStringLiteral("Open Settings")));
    EXPECT_FALSE(window.restart_row()->isVisibleTo(&window));

    permission_.granted_now = true;
    window.refresh_live_rows();
    EXPECT_EQ(window.access_symbol()->symbol(), kSymbolRestart);
    EXPECT_EQ(window.access_detail()->text(),
              QStringLiteral("Allowed. Restart Thumbrover to finish."));
    EXPECT_FALSE(window.access_button()->isVisibleTo(&window));
    ASSERT_TRUE(window.restart_row()->isVisibleTo(&window));

    for (auto* button : window.findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("Restart Now")) button->click();
    ASSERT_EQ(desktop_.shells.size(), 1u);
    EXPECT_EQ(desktop_.shells[0], "sleep 1; exec \"$0\"");
    EXPECT_EQ(engine_.count("Quit"), 1);
}

struct StartupCase {
    const char* what;
    bool granted;
    bool marker;
    bool opens;
};

TEST_F(SetupWindowTest, TheStartupCheckOpensTheWindowOnlyWhenSomethingIsMissing) {
    const std::vector<StartupCase> cases = {
        {"first start", true, false, true},
        {"set up", true, true, false},
        {"permission missing", false, true, true},
        {"nothing done", false, false, true},
    };
    for (const StartupCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir folder;
        if (c.marker) {
            ASSERT_TRUE(write_setup_done(folder.path()));
        }
        permission_.granted_now = c.granted;
        TrustAtStart trust;
        QtWindows windows(services(folder.path(), trust, permission_, desktop_));
        LiveWindow* built = nullptr;
        windows.on_setup_built = [&built](LiveWindow& window) { built = &window; };
        windows.run_startup_check();
        EXPECT_EQ(trust.get(), std::optional<bool>(c.granted));
        EXPECT_EQ(windows.setup_window() != nullptr, c.opens);
        EXPECT_EQ(built != nullptr, c.opens);
        if (c.opens) {
            EXPECT_TRUE(windows.setup_window()->isVisible());
            EXPECT_EQ(built, static_cast<LiveWindow*>(windows.setup_window()));
            EXPECT_TRUE(built->is_visible());
        }
    }
}

TEST_F(SetupWindowTest, OpeningTheInputSettingsAsksFirstThenOpensThePlatformsPane) {
    const struct {
        const char* what;
        std::string pane;
        std::vector<std::string> opened;
    } cases[] = {
        {"no pane on this platform", "", {}},
        {"a settings pane",
         "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility",
         {"x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fakes::FakeDesktop desktop;
        fakes::FakePermission permission;
        // The system lists the program in the pane only after it asked, so the pane opens after.
        std::size_t opened_before_request = 99;
        permission.on_request = [&] { opened_before_request = desktop.opened.size(); };
        TempDir folder;
        TrustAtStart trust;
        WindowServices with_pane = services(folder.path(), trust, permission, desktop);
        with_pane.input_settings_pane = c.pane;
        QtWindows windows(std::move(with_pane));
        windows.open_input_settings();
        EXPECT_EQ(permission.requests, 1);
        EXPECT_EQ(opened_before_request, 0u);
        EXPECT_EQ(desktop.opened, c.opened);
    }
}

}  // namespace
}  // namespace thumbrover::testing
