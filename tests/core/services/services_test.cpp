#include "core/services/services.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fakes/engine_requests.hpp"
#include "fakes/system_services.hpp"

namespace thumbrover {
namespace {

using Lines = std::vector<std::string>;

using fakes::FakeDesktop;
using fakes::FakeLoginItem;
using fakes::RecordingEngine;

TEST(ToggleLoginItem, TheBoxShowsWhatTheSystemKeepsAndAnItemAwaitingApprovalIsNeverRegistered) {
    using enum LoginItemState;
    constexpr LoginItemState Awaiting = AwaitingApproval;
    const char* const change = "thumbrover: could not change the login item: ";
    const char* const open = "thumbrover: could not open the login items: ";
    // The failure is the system refusing the change or, for an item awaiting approval, the list
    // not opening; the error is what the user is told before it.
    const struct {
        LoginItemState before;
        bool clicked;
        const char* failure;
        LoginItemState shown_after;
        Lines calls;
        const char* error;
    } cases[] = {
        {Off, true, nullptr, On, {"state?", "register", "state?"}, nullptr},
        {On, false, nullptr, Off, {"unregister", "state?"}, nullptr},
        {Off, true, "Operation not permitted", Off, {"state?", "register", "state?"}, change},
        {On, false, "Read-only file system", On, {"unregister", "state?"}, change},
        // Switched off in the system's list: ticking opens that list, unticking unregisters.
        {Awaiting, true, nullptr, Awaiting, {"state?", "open login items"}, nullptr},
        {Awaiting, true, "no settings", Awaiting, {"state?", "open login items"}, open},
        {Awaiting, false, nullptr, Off, {"unregister", "state?"}, nullptr},
    };
    for (const auto& c : cases) {
        FakeLoginItem item;
        item.on = c.before != Off;
        item.awaiting = c.before == Awaiting;
        if (c.failure) (item.awaiting ? item.open_failure : item.refusal) = c.failure;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(toggle_login_item(item, c.clicked), c.shown_after);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  c.failure ? std::string(c.error) + c.failure + "\n" : "");
        EXPECT_EQ(item.calls, c.calls);
    }
}

TEST(OpenWithSystem, PassesTheTargetWholeAndReportsAnOpenerThatWillNotStart) {
    FakeDesktop desktop;
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(open_with_system(desktop, "/home/me/my settings/config.toml"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(desktop.started, Lines{"open [/home/me/my settings/config.toml]"});

    desktop.failure = "No such file or directory";
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(open_with_system(desktop, "https://example.org/releases"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "thumbrover: could not open https://example.org/releases: No such file or "
              "directory\n");
}

TEST(RestartTarget, ABundleIsReopenedAsTheBundleAndAnythingElseByItsExecutable) {
    struct Case {
        std::optional<std::filesystem::path> bundle;
        std::optional<std::filesystem::path> executable;
        std::string target;
    };
    const Case cases[] = {
        {"/Applications/Thumbrover.app", "/Applications/Thumbrover.app/Contents/MacOS/thumbrover",
         "/Applications/Thumbrover.app"},
        {"/Applications/Thumbrover.app/", "/x", "/Applications/Thumbrover.app"},
        {"/Users/me/My \"Apps\"/Thumb rover.app", "/x", "/Users/me/My \"Apps\"/Thumb rover.app"},
        {"/usr/local/bin", "/usr/local/bin/thumbrover", "/usr/local/bin/thumbrover"},
        {"/opt/app.application", "/opt/thumbrover", "/opt/thumbrover"},
        {"/opt/.app", "/opt/thumbrover", "/opt/thumbrover"},
        {std::nullopt, "/home/me/build/thumbrover", "/home/me/build/thumbrover"},
        {"/usr/bin", std::nullopt, ""},
        {std::nullopt, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        FakeDesktop desktop;
        desktop.bundle = c.bundle;
        desktop.executable = c.executable;
        EXPECT_EQ(restart_target(desktop), c.target) << c.target;
    }
}

TEST(RestartProgram, StartsThePlatformShellLineWithThePathAsDollarZeroThenQuits) {
    FakeDesktop desktop;
    desktop.executable = "/home/me/it's here/thumbrover";
    RecordingEngine engine;
    EXPECT_TRUE(restart_program(desktop, engine));
    EXPECT_EQ(desktop.started,
              Lines{"sh -c [sleep 1; exec \"$0\"] [/home/me/it's here/thumbrover]"});
    EXPECT_EQ(engine.sent, Lines{"Quit"});
}

TEST(RestartProgram, WithNothingToReopenTheProgramKeepsRunning) {
    FakeDesktop desktop;
    RecordingEngine engine;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(restart_program(desktop, engine));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "thumbrover: could not restart: the program's own path is unknown\n");
    EXPECT_TRUE(desktop.started.empty());
    EXPECT_TRUE(engine.sent.empty());
}

TEST(RestartProgram, AShellThatCannotStartKeepsTheProgramRunning) {
    FakeDesktop desktop;
    desktop.executable = "/usr/bin/thumbrover";
    desktop.failure = "Resource temporarily unavailable";
    RecordingEngine engine;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(restart_program(desktop, engine));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "thumbrover: could not restart: Resource temporarily unavailable\n");
    EXPECT_TRUE(engine.sent.empty());
}

}  // namespace
}  // namespace thumbrover
