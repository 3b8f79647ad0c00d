#include "core/ui/setup_window.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "core/settings/app_folder.hpp"
#include "core/ui/settings_window.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using thumbrover::testing::TempDir;

TEST(SetupWindow, AccessibilityRowFollowsTheTrustAtStart) {
    struct Case {
        std::optional<bool> recorded;  // before the refresh
        bool now;
        AccessState state;
        const char* symbol;
        const char* detail;
        bool open_settings;
        bool restart_row;
    };
    const Case cases[] = {
        {std::nullopt, true, AccessState::Granted, "checkmark.circle.fill",
         "Allowed. Thumbrover can move the pointer, click and press keys.", false, false},
        {true, true, AccessState::Granted, "checkmark.circle.fill",
         "Allowed. Thumbrover can move the pointer, click and press keys.", false, false},
        {false, true, AccessState::RestartNeeded, "arrow.clockwise.circle.fill",
         "Allowed. Restart Thumbrover to finish.", false, true},
        {std::nullopt, false, AccessState::Missing, "exclamationmark.triangle.fill",
         "Needed to move the pointer, click and press keys. Click Open Settings and switch on "
         "Thumbrover.",
         true, false},
        {true, false, AccessState::Missing, "exclamationmark.triangle.fill",
         "Needed to move the pointer, click and press keys. Click Open Settings and switch on "
         "Thumbrover.",
         true, false},
    };
    for (const Case& c : cases) {
        TrustAtStart cell;
        if (c.recorded) cell.record(*c.recorded);
        const SetupAccessRow row = setup_access_row(c.now, cell);
        EXPECT_EQ(row.state, c.state);
        EXPECT_EQ(row.symbol.name, c.symbol);
        EXPECT_EQ(row.detail, c.detail);
        EXPECT_EQ(row.open_settings_visible, c.open_settings);
        EXPECT_EQ(row.restart_row_visible, c.restart_row);
        EXPECT_EQ(cell.get(), c.recorded ? *c.recorded : c.now);
    }
}

TEST(SetupWindow, OnAnXDisplayTheRowSaysWhatIsMeantAndWhatToDoWithoutASettingsButton) {
    const struct {
        bool now;
        const char* detail;
    } cases[] = {
        {true,
         "Allowed. The X display accepts input from Thumbrover, so it can move the pointer, "
         "click and press keys."},
        {false,
         "Needed to move the pointer, click and press keys, but this X display does not accept "
         "input from other programs. Log in to an X11 session (or use Xwayland) whose X server "
         "has the XTEST extension, then start Thumbrover again."},
    };
    for (const auto& c : cases) {
        TrustAtStart cell;
        const SetupAccessRow row = setup_access_row(c.now, cell, kXDisplayWording);
        EXPECT_EQ(row.detail, c.detail);
        // There is no pane to open: the button would do nothing.
        EXPECT_FALSE(row.open_settings_visible);
        EXPECT_EQ(row.detail.find("Accessibility"), std::string_view::npos);
    }
    EXPECT_EQ(kXDisplayWording.setup_title, "Input to the X display");
}

TEST(SetupWindow, GrantingAccessWhileRunningAsksForARestart) {
    TrustAtStart cell;
    EXPECT_EQ(setup_access_row(false, cell).state, AccessState::Missing);
    const SetupAccessRow row = setup_access_row(true, cell);
    EXPECT_EQ(row.state, AccessState::RestartNeeded);
    EXPECT_EQ(row.symbol.tint, Tint::Orange);
    EXPECT_TRUE(row.restart_row_visible);
    // A permission the program takes up at once goes straight to granted, in both windows.
    PermissionWording at_once = kXDisplayWording;
    at_once.takes_effect_at_once = true;
    const SetupAccessRow live = setup_access_row(true, cell, at_once);
    EXPECT_EQ(live.state, AccessState::Granted);
    EXPECT_FALSE(live.restart_row_visible);
    EXPECT_EQ(settings_access_row(true, false, at_once).state, AccessState::Granted);
}

TEST(SetupWindow, ControllerRowTexts) {
    struct Case {
        std::optional<std::string> name;
        std::optional<std::string> battery;
        const char* detail;
        const char* symbol;
        bool bluetooth;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt,
         "Not connected. Turn the controller on, or pair it in Bluetooth settings.",
         "circle.dashed", true},
        {"Xbox Wireless Controller", "85%", "Xbox Wireless Controller is connected. Battery: 85%.",
         "checkmark.circle.fill", false},
        {"Pad", "Low", "Pad is connected. Battery: Low.", "checkmark.circle.fill", false},
        {"Pad", std::nullopt, "Pad is connected.", "checkmark.circle.fill", false},
    };
    for (const Case& c : cases) {
        const SetupControllerRow row = setup_controller_row(c.name, c.battery);
        EXPECT_EQ(row.detail, c.detail);
        EXPECT_EQ(row.symbol.name, c.symbol);
        EXPECT_EQ(row.bluetooth_visible, c.bluetooth);
    }
    TrustAtStart cell;
    // Registered but switched off in the system's list shows as neither, with the way out.
    const std::pair<LoginItemState, LoginCheckbox> logins[] = {
        {LoginItemState::Off, {CheckMark::Unchecked, {}}},
        {LoginItemState::On, {CheckMark::Checked, {}}},
        {LoginItemState::AwaitingApproval, {CheckMark::Mixed, kLoginAwaitingApproval}},
    };
    for (const auto& [state, shown] : logins)
        EXPECT_EQ(setup_rows(true, cell, std::nullopt, std::nullopt, state).login, shown);
}

TEST(SetupWindow, StartupCheckOpensTheWindowUnlessGrantedAndFinished) {
    struct Case {
        bool trusted;
        bool finished;
        bool opens;
        const char* line;
    };
    const Case cases[] = {
        {true, false, true, "thumbrover: Accessibility access granted\n"},
        {true, true, false, "thumbrover: Accessibility access granted\n"},
        {false, true, true,
         "thumbrover: Accessibility access missing, the pointer will not move\n"},
        {false, false, true,
         "thumbrover: Accessibility access missing, the pointer will not move\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (c.finished) std::ofstream(dir / "setup-done");
        TrustAtStart cell;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(setup_startup_check(c.trusted, cell, dir.path()), c.opens);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.line);
        EXPECT_EQ(cell.get(), c.trusted);
    }
    const struct {
        bool trusted;
        const char* line;
    } x_display[] = {
        {true, "thumbrover: the X display accepts input from Thumbrover\n"},
        {false,
         "thumbrover: the X display does not accept input from Thumbrover (it has no XTEST "
         "extension), the pointer will not move\n"},
    };
    for (const auto& c : x_display) {
        TempDir dir;
        TrustAtStart cell;
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(setup_startup_check(c.trusted, cell, dir.path(), kXDisplayWording));
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.line);
    }
    // A folder that cannot be looked at counts as never finished.
    TrustAtStart cell;
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(setup_startup_check(true, cell, "/nonexistent/thumbrover"));
    ::testing::internal::GetCapturedStderr();
}

TEST(SetupWindow, DoneRemembersFinishedSetup) {
    TempDir dir;
    ::testing::internal::CaptureStderr();
    finish_setup(dir.path());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(setup_done(dir.path()));

    std::ofstream(dir / "file");
    ::testing::internal::CaptureStderr();
    finish_setup(dir / "file");
    const std::string error = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(error, "thumbrover: could not remember finished setup: Not a directory\n");
    EXPECT_FALSE(setup_done(dir / "file"));
}

}  // namespace
}  // namespace thumbrover
