#include "core/update/fetch.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "core/common/files.hpp"
#include "core/common/spawn.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::TempDir;

using testing::ScopedEnv;

std::string system_path() {
    const char* path = std::getenv("PATH");
    return path != nullptr ? path : "/usr/bin:/bin";
}

void write_script(const std::filesystem::path& path, const std::string& body, bool executable) {
    ASSERT_TRUE(write_file_atomically(path, "#!/bin/sh\n" + body));
    std::filesystem::permissions(
        path, executable ? std::filesystem::perms(0755) : std::filesystem::perms(0644));
}

// A stand-in for curl that records its arguments and then runs `body`.
struct FakeCurl {
    TempDir dir;
    std::filesystem::path args_file = dir / "args";

    void install(const std::string& body, bool executable = true) {
        write_script(dir / "curl", "printf '%s\\n' \"$@\" > '" + args_file.string() + "'\n" + body,
                     executable);
    }
    Result<Release> fetch() {
        const ScopedEnv path("PATH", dir.path().string() + ":" + system_path());
        return fetch_release(update_endpoint());
    }
};

const std::string good_json =
    R"({"version":"0.2.0","url":"https://thumbrover.app/download","notes":"Faster"})";

TEST(Fetch, RunsCurlWithExactlyTheFourArgumentsAndReadsTheRelease) {
    FakeCurl curl;
    curl.install("printf '%s' '" + good_json + "'\necho 'progress noise' >&2\n");
    const auto release = curl.fetch();
    ASSERT_TRUE(release) << release.error();
    EXPECT_EQ(*release, (Release{"0.2.0", "https://thumbrover.app/download", "Faster"}));
    EXPECT_EQ(*read_file(curl.args_file),
              "-fsSL\n-m\n20\n" + std::string(update_endpoint()) + "\n");
}

struct FetchFailure {
    std::string name;
    std::string script;
    std::string error;
};

class FetchFailures : public ::testing::TestWithParam<FetchFailure> {};

// Tests print their parameter with a failure and in the test list: its name, not its bytes.
void PrintTo(const FetchFailure& c, std::ostream* os) {
    *os << c.name;
}

TEST_P(FetchFailures, GiveTheExactErrorText) {
    FakeCurl curl;
    curl.install(GetParam().script);
    const auto release = curl.fetch();
    ASSERT_FALSE(release);
    EXPECT_EQ(release.error(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FetchFailures,
    ::testing::Values(
        FetchFailure{"HttpError",
                     "echo 'curl: (22) The requested URL returned error: 404' >&2\nexit 22\n",
                     "curl: (22) The requested URL returned error: 404"},
        FetchFailure{"NoNetwork",
                     "echo 'curl: (6) Could not resolve host: thumbrover.app' >&2\nexit 6\n",
                     "curl: (6) Could not resolve host: thumbrover.app"},
        FetchFailure{
            "TimedOut",
            "printf '\\t curl: (28) Operation timed out after 20001 milliseconds\\r\\n\\n' "
            ">&2\nexit 28\n",
            "curl: (28) Operation timed out after 20001 milliseconds"},
        FetchFailure{"PartialBodyThenFailure",
                     "printf '{\"version\":' \nprintf 'curl: (18) transfer closed\\n' >&2\n"
                     "exit 18\n",
                     "curl: (18) transfer closed"},
        FetchFailure{"ErrorTextNotUtf8", "printf 'bad \\377 byte\\n' >&2\nexit 35\n",
                     "bad \xEF\xBF\xBD byte"},
        FetchFailure{"SilentFailure", "exit 3\n", "curl exited with status 3"},
        FetchFailure{"Killed", "kill -9 $$\n", "curl was stopped by signal 9"},
        FetchFailure{"NotJson", "echo '<html>Service Unavailable</html>'\n",
                     "syntax error while parsing value - invalid literal; last read: '<' at "
                     "line 1 column 1"},
        FetchFailure{"EmptyBody", "exit 0\n",
                     "syntax error while parsing value - unexpected end of input; expected '[', "
                     "'{', or a literal at line 1 column 1"},
        FetchFailure{"MissingMember", "echo '{\"version\":\"0.2.0\",\"notes\":\"\"}'\n",
                     "missing member \"url\""},
        FetchFailure{"BadVersion",
                     "echo '{\"version\":\"0.2.0.1\",\"url\":\"https://a/b\",\"notes\":\"\"}'\n",
                     "bad version 0.2.0.1"},
        FetchFailure{"PlainHttpLink",
                     "echo '{\"version\":\"0.2.0\",\"url\":\"http://a/b\",\"notes\":\"\"}'\n",
                     "bad download link http://a/b"},
        FetchFailure{
            "BodyTooLarge", "head -c 70000 /dev/zero | tr '\\0' ' '\n",
            "the answer from " + std::string(update_endpoint()) + " is larger than 65536 bytes"},
        FetchFailure{
            "EndlessBody", "yes\n",
            "the answer from " + std::string(update_endpoint()) + " is larger than 65536 bytes"}),
    [](const auto& param_info) { return param_info.param.name; });

TEST(Fetch, ABodyOfExactlyTheLimitIsRead) {
    FakeCurl curl;
    const std::size_t padding = max_release_bytes - good_json.size();
    curl.install("printf '%s' '" + good_json + "'\nhead -c " + std::to_string(padding) +
                 " /dev/zero | tr '\\0' '\\n'\n");
    const auto release = curl.fetch();
    ASSERT_TRUE(release) << release.error();
    EXPECT_EQ(release->version, "0.2.0");
}

TEST(Fetch, InvalidUtf8InTheBodyIsReplacedNotRefused) {
    FakeCurl curl;
    curl.install("printf '{\"version\":\"0.2\",\"url\":\"https://a/b\",\"notes\":\"caf\\351\"}'\n");
    const auto release = curl.fetch();
    ASSERT_TRUE(release) << release.error();
    EXPECT_EQ(release->notes, "caf\xEF\xBF\xBD");
}

TEST(Fetch, CurlMissingOrNotRunnableGivesTheSystemError) {
    FakeCurl curl;
    {
        // Only the empty folder: the real curl must not be found either.
        const ScopedEnv path("PATH", curl.dir.path().string());
        const auto release = fetch_release(update_endpoint());
        ASSERT_FALSE(release);
        EXPECT_EQ(release.error(), "No such file or directory");
    }
    curl.install("exit 0\n", /*executable=*/false);
    {
        const ScopedEnv path("PATH", curl.dir.path().string());
        const auto release = fetch_release(update_endpoint());
        ASSERT_FALSE(release);
        EXPECT_EQ(release.error(), "Permission denied");
    }
}

TEST(RunAndCapture, PassesArgumentsLiterallyWithoutAShell) {
    const auto run = run_and_capture("printf", {"%s|", "a b", "'q'", "$HOME", "*", ""});
    ASSERT_TRUE(run) << run.error();
    EXPECT_EQ(run->out, "a b|'q'|$HOME|*||");
    EXPECT_EQ(run->exit_status, 0);
    EXPECT_TRUE(run->succeeded());
}

TEST(RunAndCapture, ReadsBothStreamsWithoutDeadlock) {
    // A child that fills standard error before writing anything to standard output blocks for
    // ever unless both pipes are read as data arrives.
    CaptureLimits limits;
    limits.max_stdout = 2 * 1024 * 1024;
    limits.max_stderr = 1000;
    const auto run = run_and_capture(
        "sh", {"-c", "head -c 1048576 /dev/zero >&2; head -c 1048576 /dev/zero; exit 4"}, limits);
    ASSERT_TRUE(run) << run.error();
    EXPECT_EQ(run->out.size(), 1048576u);
    EXPECT_EQ(run->err.size(), 1000u);
    EXPECT_EQ(run->exit_status, 4);
    EXPECT_FALSE(run->succeeded());
}

TEST(RunAndCapture, StopsAChildThatOutlivesItsTimeLimit) {
    CaptureLimits limits;
    limits.timeout = std::chrono::milliseconds(100);
    const auto run = run_and_capture("sleep", {"30"}, limits);
    ASSERT_TRUE(run) << run.error();
    EXPECT_TRUE(run->timed_out);
    EXPECT_EQ(run->signal, SIGKILL);
    EXPECT_FALSE(run->succeeded());
}

TEST(RunAndCapture, StopsAChildThatClosesItsStreamsButKeepsRunning) {
    CaptureLimits limits;
    limits.timeout = std::chrono::milliseconds(100);
    const auto run = run_and_capture("sh", {"-c", "exec >&- 2>&-; sleep 30"}, limits);
    ASSERT_TRUE(run) << run.error();
    EXPECT_TRUE(run->timed_out);
    EXPECT_FALSE(run->succeeded());
}

TEST(RunAndCapture, StandardInputIsNullDevice) {
    if (!std::filesystem::exists("/proc/self/fd")) GTEST_SKIP() << "needs /proc";
    const auto run = run_and_capture("sh", {"-c", "cat; readlink /proc/$$/fd/0"});
    ASSERT_TRUE(run) << run.error();
    EXPECT_EQ(run->out, "/dev/null\n");
}

std::set<int> numbers_in(const std::string& listing) {
    std::set<int> numbers;
    std::istringstream in(listing);
    int n = 0;
    while (in >> n)
        numbers.insert(n);
    return numbers;
}

TEST(RunAndCapture, TheChildGetsOnlyTheStandardDescriptors) {
    if (!std::filesystem::exists("/proc/self/fd")) GTEST_SKIP() << "needs /proc";
    // As a library that forgets close-on-exec would leave it.
    const UniqueFd careless(::open("/dev/null", O_RDONLY));
    ASSERT_TRUE(careless.valid());
    const auto run = run_and_capture("sh", {"-c", "ls /proc/$$/fd"});
    ASSERT_TRUE(run) << run.error();
    EXPECT_EQ(numbers_in(run->out), (std::set<int>{0, 1, 2})) << run->out << run->err;
}

TEST(RunAndCapture, ReapsEveryChild) {
    for (const char* script : {"exit 0", "exit 1", "kill -9 $$", "yes"}) {
        CaptureLimits limits;
        limits.max_stdout = 10;
        const auto run = run_and_capture("sh", {"-c", script}, limits);
        ASSERT_TRUE(run) << run.error();
    }
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(RunAndCapture, AMissingProgramIsAnError) {
    const auto run = run_and_capture("thumbrover-no-such-program", {});
    ASSERT_FALSE(run);
    EXPECT_EQ(run.error(), "No such file or directory");
}

}  // namespace
}  // namespace thumbrover
