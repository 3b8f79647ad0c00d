#include "macos/desktop.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/services/services.hpp"

namespace thumbrover {
namespace {

using ::testing::ElementsAre;

struct Started {
    std::string program;
    std::vector<std::string> args;
};

struct Recorder {
    std::vector<Started> started;
    std::optional<std::string> failure;

    Spawner spawner() {
        return [this](const std::string& program, const std::vector<std::string>& args,
                      const SpawnOptions&) -> Result<void> {
            started.push_back({program, args});
            if (failure) return Error{*failure};
            return {};
        };
    }
};

MacDesktop::PathLookup path(std::optional<std::filesystem::path> value) {
    return [value] { return value; };
}

TEST(MacDesktop, RestartReopensTheBundleOrElseTheExecutableThroughOpen) {
    const struct {
        std::optional<std::filesystem::path> bundle;
        std::optional<std::filesystem::path> executable;
        std::string reopened;
    } cases[] = {
        {"/Applications/Thumbrover.app", "/Applications/Thumbrover.app/Contents/MacOS/Thumbrover",
         "/Applications/Thumbrover.app"},
        {"/Users/me/My \"Apps\"/Thumbrover.app/", std::nullopt,
         "/Users/me/My \"Apps\"/Thumbrover.app"},
        // Run from the build folder: the main bundle is the executable's folder.
        {"/Users/me/build", "/Users/me/build/thumbrover", "/Users/me/build/thumbrover"},
        {std::nullopt, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        Recorder recorder;
        MacDesktop desktop(recorder.spawner(), path(c.bundle), path(c.executable));
        const std::string target = restart_target(desktop);
        EXPECT_EQ(target, c.reopened);
        ASSERT_TRUE(desktop.start_shell(desktop.restart_command(), target).ok());
        ASSERT_EQ(recorder.started.size(), 1u);
        EXPECT_EQ(recorder.started[0].program, "/bin/sh");
        // The path travels as its own argument and is quoted by the shell line itself.
        EXPECT_THAT(recorder.started[0].args,
                    ElementsAre("-c", "sleep 1; open \"$0\"", c.reopened));
    }
}

TEST(MacDesktop, PanesAndFilesOpenWithOpenAndFailuresAreReported) {
    Recorder recorder;
    MacDesktop desktop(recorder.spawner(), path(std::nullopt), path(std::nullopt));
    EXPECT_TRUE(open_with_system(desktop, std::string(kAccessibilityPaneLink)));
    EXPECT_TRUE(open_with_system(desktop, std::string(kBluetoothPaneLink)));
    ASSERT_EQ(recorder.started.size(), 2u);
    EXPECT_EQ(recorder.started[0].program, "open");
    EXPECT_THAT(recorder.started[0].args,
                ElementsAre("x-apple.systempreferences:com.apple.preference.security?"
                            "Privacy_Accessibility"));
    EXPECT_THAT(recorder.started[1].args,
                ElementsAre("x-apple.systempreferences:com.apple.BluetoothSettings"));

    recorder.failure = "No such file or directory";
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(open_with_system(desktop, "/Users/me/config.toml"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "thumbrover: could not open /Users/me/config.toml: No such file or directory\n");
}

}  // namespace
}  // namespace thumbrover
