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
    struct Case {
        bool on_before;
        bool awaiting;
        bool clicked;
        std::optional<std::string> refusal;
        std::optional<std::string> open_failure;
        LoginItemState shown_after;
        Lines calls;
        std::string error;
    };
    const Case cases[] = {
        {false, false, true, std::nullopt, std::nullopt, On, {"state?", "register", "state?"}, ""},
        {true, false, false, std::nullopt, std::nullopt, Off, {"unregister", "state?"}, ""},
        {false,
         false,
         true,
         "Operation not permitted",
         std::nullopt,
         Off,
         {"state?", "register", "state?"},
         "thumbrover: could not change the login item: Operation not permitted\n"},
        {true,
         false,
         false,
         "Read-only file system",
         std::nullopt,
         On,
         {"unregister", "state?"},
         "thumbrover: could not change the login item: Read-only file system\n"},
        // Switched off in the system's list: ticking opens that list, unticking unregisters.
        {true,
         true,
         true,
         std::nullopt,
         std::nullopt,
         AwaitingApproval,
         {"state?", "open login items"},
         ""},
        {true,
         true,
         true,
         std::nullopt,
         "no settings",
         AwaitingApproval,
         {"state?", "open login items"},
         "thumbrover: could not open the login items: no settings\n"},
        {true, true, false, std::nullopt, std::nullopt, Off, {"unregister", "state?"}, ""},
    };
    for (const Case& c : cases) {
        FakeLoginItem item;
        item.on = c.on_before;
        item.awaiting = c.awaiting;
        item.refusal = c.refusal;
        item.open_failure = c.open_failure;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(toggle_login_item(item, c.clicked), c.shown_after);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.error);
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
