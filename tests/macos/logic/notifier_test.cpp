#include "macos/notifier.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace thumbrover {
namespace {

using ::testing::ElementsAre;

TEST(AppleScriptString, EscapesBackslashesBeforeQuotes) {
    const std::pair<std::string, std::string> cases[] = {
        {"", R"("")"},
        {"plain text", R"("plain text")"},
        {R"(say "hi")", R"("say \"hi\"")"},
        {R"(C:\temp)", R"("C:\\temp")"},
        // The backslash rule runs first, so the backslash escaping a quote is not doubled again.
        {R"(\")", R"("\\\"")"},
        {R"(\\)", R"("\\\\")"},
        {"line one\nline two", "\"line one\nline two\""},
        {"Überprüfung ✓", "\"Überprüfung ✓\""},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(applescript_string(text), expected) << text;
}

TEST(NotificationScript, BodyIsTheTextHeadingTheSubtitle) {
    EXPECT_EQ(
        notification_script("Controller battery is low", "Charge it or change the batteries soon."),
        R"(display notification "Charge it or change the batteries soon." with title "Thumbrover" subtitle "Controller battery is low")");
    EXPECT_EQ(
        notification_script(R"(A "quoted" heading)", R"(path C:\x "y")"),
        R"(display notification "path C:\\x \"y\"" with title "Thumbrover" subtitle "A \"quoted\" heading")");
}

struct SpawnCall {
    std::string program;
    std::vector<std::string> args;
    bool discard_stderr;
};

TEST(OsascriptNotifier, StartsOsascriptWithTheScriptAndQuietStandardError) {
    std::vector<SpawnCall> calls;
    OsascriptNotifier notifier([&](const std::string& program, const std::vector<std::string>& args,
                                   const SpawnOptions& options) -> Result<void> {
        calls.push_back({program, args, options.discard_stderr});
        return {};
    });
    ::testing::internal::CaptureStderr();
    notifier.notify("Thumbrover could not start", R"(bad "thing")");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].program, "osascript");
    EXPECT_THAT(
        calls[0].args,
        ElementsAre(
            "-e",
            R"(display notification "bad \"thing\"" with title "Thumbrover" subtitle "Thumbrover could not start")"));
    EXPECT_TRUE(calls[0].discard_stderr);
}

TEST(OsascriptNotifier, FallsBackToOneLineOnStandardError) {
    OsascriptNotifier notifier([](const std::string&, const std::vector<std::string>&,
                                  const SpawnOptions&) -> Result<void> {
        return Error{"Resource temporarily unavailable"};
    });
    ::testing::internal::CaptureStderr();
    notifier.notify("Controller battery is low", "Charge it or change the batteries soon.");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "thumbrover: Controller battery is low: Charge it or change the batteries soon. "
              "(Resource temporarily unavailable)\n");
}

TEST(OsascriptNotifier, WithoutOsascriptTheRealSpawnFallsBack) {
    // Linux machines have no osascript, which is exactly the case where the line must appear.
    OsascriptNotifier notifier(
        [](const std::string&, const std::vector<std::string>& args, const SpawnOptions& options) {
            return spawn_detached("thumbrover-no-osascript-here", args, options);
        });
    ::testing::internal::CaptureStderr();
    notifier.notify("Heading", "Body");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "thumbrover: Heading: Body (No such file or directory)\n");
}

}  // namespace
}  // namespace thumbrover
