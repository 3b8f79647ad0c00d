#include "core/common/spawn.hpp"
#include "core/common/stop_signal.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/common/files.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

// Starts a program and waits (bounded) for the reaping thread to report its exit status.
struct Finished {
    Result<void> started;
    std::optional<int> exit_status;
};

Finished run(const std::string& program, const std::vector<std::string>& args,
             bool discard_stderr = false) {
    auto promise = std::make_shared<std::promise<int>>();
    auto future = promise->get_future();
    SpawnOptions options;
    options.discard_stderr = discard_stderr;
    options.on_exit = [promise](int status) { promise->set_value(status); };
    Finished finished{spawn_detached(program, args, options), std::nullopt};
    if (finished.started.ok() && future.wait_for(20s) == std::future_status::ready)
        finished.exit_status = future.get();
    return finished;
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(SpawnDetached, ReportsExitStatusesOfRealPrograms) {
    struct Case {
        std::string program;
        std::vector<std::string> args;
        int expected;
    } cases[] = {
        {"/bin/true", {}, 0},
        {"true", {}, 0},  // found through PATH
        {"/bin/false", {}, 1},
        {"/bin/sh", {"-c", "exit 3"}, 3},
        {"/bin/sh", {"-c", "kill -KILL $$"}, 128 + SIGKILL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + (c.args.empty() ? "" : " " + c.args.back()));
        const Finished f = run(c.program, c.args);
        ASSERT_TRUE(f.started.ok()) << f.started.error();
        ASSERT_TRUE(f.exit_status.has_value());
        EXPECT_EQ(*f.exit_status, c.expected);
    }
}

TEST(SpawnDetached, MissingProgramFailsWithTheSystemText) {
    for (const std::string program :
         {"/nonexistent/thumbrover-helper", "thumbrover-no-such-program", ""}) {
        SCOPED_TRACE(program);
        const Result<void> r = spawn_detached(program, {});
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error(), "No such file or directory");
    }
}

TEST(SpawnDetached, PassesArgumentsVerbatimWithoutAShell) {
    TempDir dir;
    const auto out = dir / "args";
    const Finished f = run("/bin/sh", {"-c", "printf '%s|' \"$@\" > \"$0\"", out.string(), "a b",
                                       "$HOME", "'q'", "*", ""});
    ASSERT_TRUE(f.started.ok()) << f.started.error();
    ASSERT_EQ(f.exit_status, 0);
    EXPECT_EQ(slurp(out), "a b|$HOME|'q'|*||");
}

TEST(SpawnDetached, ChildGetsNoInheritableDescriptorOfOurs) {
    TempDir dir;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);  // deliberately without close-on-exec
    UniqueFd read_end(fds[0]);
    UniqueFd write_end(fds[1]);
    const auto out = dir / "fd";
    const std::string script = "if [ -e /dev/fd/" + std::to_string(read_end.get()) +
                               " ]; then echo leaked > \"$0\"; else echo closed > \"$0\"; fi";
    const Finished f = run("/bin/sh", {"-c", script, out.string()});
    ASSERT_TRUE(f.started.ok()) << f.started.error();
    ASSERT_EQ(f.exit_status, 0);
    EXPECT_EQ(slurp(out), "closed\n");
    EXPECT_GE(::fcntl(read_end.get(), F_GETFD), 0) << "the parent's descriptor must stay open";
}

TEST(SpawnDetached, StandardErrorIsInheritedOrDiscarded) {
    TempDir dir;
    const auto out = dir / "stderr";
    const std::string script = "stat -L -c %d:%i /dev/fd/2 > \"$0\"";
    struct stat own {};
    ASSERT_EQ(::fstat(STDERR_FILENO, &own), 0);
    struct stat null {};
    ASSERT_EQ(::stat("/dev/null", &null), 0);
    for (const bool discard : {false, true}) {
        SCOPED_TRACE(discard);
        const Finished f = run("/bin/sh", {"-c", script, out.string()}, discard);
        ASSERT_TRUE(f.started.ok()) << f.started.error();
        ASSERT_EQ(f.exit_status, 0);
        const struct stat& expected = discard ? null : own;
        EXPECT_EQ(slurp(out),
                  std::to_string(expected.st_dev) + ":" + std::to_string(expected.st_ino) + "\n");
    }
}

TEST(SpawnDetached, ChildDoesNotInheritTheCallersBlockedSignals) {
    sigset_t block;
    sigset_t previous;
    sigemptyset(&block);
    sigaddset(&block, SIGTERM);
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &block, &previous), 0);
    const Finished f = run("/bin/sh", {"-c", "kill -TERM $$; exit 0"});
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ASSERT_TRUE(f.started.ok()) << f.started.error();
    EXPECT_EQ(f.exit_status, 128 + SIGTERM);
}

// The standard signals (1 to 31) that a /proc/PID/status text shows ignored or blocked. The C
// library keeps signals 32 and 33 for itself, and no program can change them.
std::string signal_masks(const std::string& status) {
    std::string masks;
    std::istringstream lines(status);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("SigIgn:") && !line.starts_with("SigBlk:")) continue;
        const unsigned long long bits = std::stoull(line.substr(7), nullptr, 16);
        masks += line.substr(0, 7) + std::to_string(bits & 0x7fffffffULL) + "\n";
    }
    return masks;
}

// Both ways of starting a child give it the same start: whatever this process ignores or
// blocks, the child ignores and blocks nothing.
TEST(ChildProcesses, StartWithNoSignalIgnoredOrBlockedHoweverTheyAreStarted) {
    if (!std::filesystem::exists("/proc/self/status")) GTEST_SKIP() << "needs /proc";
    TempDir dir;
    const auto out = dir / "status";
    const std::string clean = "SigBlk:0\nSigIgn:0\n";

    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction old_xfsz {};
    struct sigaction old_ttou {};
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &old_xfsz), 0);
    ASSERT_EQ(::sigaction(SIGTTOU, &ignore, &old_ttou), 0);
    sigset_t block;
    sigset_t previous;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR2);
    sigaddset(&block, SIGWINCH);
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &block, &previous), 0);

    const auto captured = run_and_capture("cat", {"/proc/self/status"});
    const Finished detached = run("cp", {"/proc/self/status", out.string()});

    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ::sigaction(SIGXFSZ, &old_xfsz, nullptr);
    ::sigaction(SIGTTOU, &old_ttou, nullptr);

    ASSERT_TRUE(captured.ok()) << captured.error();
    EXPECT_EQ(signal_masks(captured->out), clean) << "run_and_capture";
    ASSERT_TRUE(detached.started.ok()) << detached.started.error();
    ASSERT_EQ(detached.exit_status, 0);
    EXPECT_EQ(signal_masks(slurp(out)), clean) << "spawn_detached";
}

// The threads of this process, as the system counts them.
std::size_t thread_count() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

TEST(SpawnDetached, OneThreadReapsEveryChildAsItEndsWhileAnotherRunsOn) {
    // One child that outlives the test (as the user's programs outlive the program), started
    // first, and a dozen that end at different times: each is told as it ends, not after the one
    // before it, by one thread whatever their number.
    static_cast<void>(run("/bin/true", {}));
    const std::size_t threads_before = thread_count();
    TempDir dir;
    ASSERT_TRUE(spawn_detached("/bin/sh", {"-c", "sleep 30"}).ok());
    auto order = std::make_shared<std::vector<int>>();
    auto mutex = std::make_shared<std::mutex>();
    auto all_done = std::make_shared<std::promise<void>>();
    constexpr int kChildren = 12;
    for (int i = kChildren - 1; i >= 0; --i) {
        SpawnOptions options;
        options.on_exit = [=](int status) {
            const std::lock_guard lock(*mutex);
            order->push_back(status);
            if (order->size() == kChildren) all_done->set_value();
        };
        // Child i exits with status i after i tenths of a second.
        ASSERT_TRUE(
            spawn_detached("/bin/sh",
                           {"-c", "sleep 0." + std::to_string(i) + "; exit " + std::to_string(i)},
                           options)
                .ok());
    }
    EXPECT_LE(thread_count(), threads_before + 1) << "a thread per child";
    ASSERT_EQ(all_done->get_future().wait_for(20s), std::future_status::ready);
    const std::lock_guard lock(*mutex);
    std::sort(order->begin(), order->end());
    std::vector<int> expected;
    for (int i = 0; i < kChildren; ++i)
        expected.push_back(i);
    EXPECT_EQ(*order, expected);
}

TEST(RunAndCapture, AStopEndsTheChildAtOnceAndReapsIt) {
    TempDir dir;
    const auto pid_file = dir / "pid";
    StopSource stop;
    std::thread stopper([&] {
        // Once the child is surely running.
        while (!std::filesystem::exists(pid_file))
            std::this_thread::sleep_for(5ms);
        stop.request_stop();
    });
    CaptureLimits limits;
    limits.timeout = 60s;
    limits.stop = stop.get_token();
    const auto began = std::chrono::steady_clock::now();
    const auto captured = run_and_capture(
        "/bin/sh", {"-c", "echo $$ > " + pid_file.string() + "; exec sleep 30"}, limits);
    stopper.join();
    ASSERT_TRUE(captured.ok()) << captured.error();
    EXPECT_TRUE(captured->stopped);
    EXPECT_FALSE(captured->succeeded());
    EXPECT_LT(std::chrono::steady_clock::now() - began, 10s);
    const pid_t child = std::stoi(slurp(pid_file));
    EXPECT_EQ(::kill(child, 0), -1) << "the child still runs or was not reaped";
}

}  // namespace
}  // namespace thumbrover
