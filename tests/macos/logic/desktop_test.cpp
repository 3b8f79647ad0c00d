#include "macos/desktop.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/services/services.hpp"
#include "test_support.hpp"

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
        MacDesktop desktop(recorder.spawner(), path(c.bundle), path(c.executable), RestartWait{});
        const std::string target = restart_target(desktop);
        EXPECT_EQ(target, c.reopened);
        ASSERT_TRUE(desktop.start_shell(desktop.restart_command(), target).ok());
        ASSERT_EQ(recorder.started.size(), 1u);
        EXPECT_EQ(recorder.started[0].program, "/bin/sh");
        // The path travels as its own argument and is quoted by the shell line itself.
        EXPECT_THAT(recorder.started[0].args, ElementsAre("-c", "open \"$0\"", c.reopened));
    }
}

pid_t start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {}) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0].c_str(), nullptr, nullptr, args.data(), envp.data()) != 0)
        return -1;
    return pid;
}

int wait_for(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// The restart line as this machine's /bin/sh runs it, against a real process standing for the
// old copy and an `open` of the test's own that records whether that process was still there.
TEST(MacDesktop, RestartOpensTheBundleOnceTheOldCopyHasEndedOrTheWaitIsOver) {
    using namespace std::chrono_literals;
    const struct {
        // What the old copy runs (exec'd, so that its pid is the process that ends); null: it
        // has ended already.
        const char* old_copy;
        std::chrono::milliseconds bound;
        const char* opened;
    } cases[] = {
        {nullptr, 60s, "gone"},
        {"exec sleep 0.4", 60s, "gone"},
        // Stuck: the bundle is opened anyway once the bound has passed.
        {"exec sleep 60", 300ms, "still running"},
    };
    for (const auto& c : cases) {
        thumbrover::testing::TempDir dir;
        pid_t old_copy = start({"/bin/sh", "-c", c.old_copy ? c.old_copy : "true"});
        ASSERT_GT(old_copy, 0);
        // Reaped as soon as it ends, as launchd reaps the program.
        std::thread reaper([old_copy] { wait_for(old_copy); });
        if (c.old_copy == nullptr) reaper.join();
        thumbrover::testing::put(dir / "open",
                                 "#!/bin/sh\nif kill -0 " + std::to_string(old_copy) +
                                     " 2>/dev/null; then s='still running'; else s=gone; fi\n"
                                     "echo \"$s $1\" > " +
                                     (dir / "opened").string() + "\n");
        std::filesystem::permissions(dir / "open", std::filesystem::perms::owner_all);

        const std::string line =
            reopen_after_exit_command(RestartWait{.pid = old_copy, .poll = 50ms, .bound = c.bound});
        const pid_t shell = start({"/bin/sh", "-c", line, "/Applications/Thumbrover.app"},
                                  {"PATH=" + dir.path().string() + ":/usr/bin:/bin"});
        ASSERT_GT(shell, 0);
        const int status = wait_for(shell);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << line;
        EXPECT_EQ(thumbrover::testing::slurp(dir / "opened"),
                  std::string(c.opened) + " /Applications/Thumbrover.app\n")
            << (c.old_copy ? c.old_copy : "ended");
        if (reaper.joinable()) {
            kill(old_copy, SIGKILL);
            reaper.join();
        }
    }
}

TEST(MacDesktop, PanesAndFilesOpenWithOpenAndFailuresAreReported) {
    Recorder recorder;
    MacDesktop desktop(recorder.spawner(), path(std::nullopt), path(std::nullopt), RestartWait{});
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
