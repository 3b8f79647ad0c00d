#include "macos/desktop_actions.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace thumbrover {
namespace {

using ::testing::ElementsAre;

class RecordingNotifier final : public Notifier {
  public:
    std::vector<std::pair<std::string, std::string>> shown;
    void notify(std::string_view heading, std::string_view body) override {
        shown.emplace_back(heading, body);
    }
};

TEST(MacDesktopActions, MissionControlStartsOpenWithoutWaiting) {
    RecordingNotifier notifier;
    std::vector<std::string> started;
    bool discarded_stderr = true;
    MacDesktopActions actions(notifier,
                              [&](const std::string& program, const std::vector<std::string>& args,
                                  const SpawnOptions& options) -> Result<void> {
                                  started.push_back(program);
                                  started.insert(started.end(), args.begin(), args.end());
                                  discarded_stderr = options.discard_stderr;
                                  return {};
                              });
    EXPECT_TRUE(actions.show_overview().ok());
    EXPECT_THAT(started, ElementsAre("open", "/System/Applications/Mission Control.app"));
    EXPECT_FALSE(discarded_stderr);
    EXPECT_TRUE(notifier.shown.empty());
}

TEST(MacDesktopActions, FailuresAndTheKeyboardRefusal) {
    RecordingNotifier notifier;
    MacDesktopActions failing(
        notifier,
        [](const std::string&, const std::vector<std::string>&,
           const SpawnOptions&) -> Result<void> { return Error{"Permission denied"}; });
    const Result<void> r = failing.show_overview();
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), "could not open Mission Control: Permission denied");

    EXPECT_TRUE(failing.show_on_screen_keyboard().ok());
    EXPECT_THAT(notifier.shown,
                ElementsAre(std::pair<std::string, std::string>{
                    "The on-screen keyboard is not available",
                    "macOS does not allow it. Choose another action for this button in Customize "
                    "Buttons."}));
}

TEST(MacDesktopActions, MissingOpenProgramIsReportedWithTheSystemText) {
    // A real start that fails, so the text is the system's own.
    RecordingNotifier notifier;
    MacDesktopActions actions(notifier, [](const std::string&, const std::vector<std::string>& args,
                                           const SpawnOptions& options) {
        return spawn_detached("/nonexistent/open", args, options);
    });
    const Result<void> r = actions.show_overview();
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), "could not open Mission Control: No such file or directory");
}

}  // namespace
}  // namespace thumbrover
