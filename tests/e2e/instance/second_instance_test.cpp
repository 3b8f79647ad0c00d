#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "e2e/program.hpp"
#include "fakes/notification_service.hpp"

extern char** environ;

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

// Runs the real program binary with this process's environment (the same private home) and
// waits for it; none when it does not end in time.
std::optional<int> run_second_copy() {
    const std::string program = THUMBROVER_BINARY_DIR "/thumbrover";
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
        return std::nullopt;
    int status = 0;
    const bool ended =
        testing::wait_until([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 15s);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return std::nullopt;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(SecondInstance, IsToldThatThumbroverIsAlreadyRunningAndLeavesTheFirstAlone) {
    const int status = testing::ProgramRun::run([](testing::ProgramRun& program) {
        fakes::NotificationServiceThread thread;
        ASSERT_TRUE(thread.registered()) << "tests run on a private session bus";

        const auto second = run_second_copy();
        ASSERT_TRUE(second.has_value()) << "the second copy did not end";
        EXPECT_EQ(*second, 1);

        std::vector<fakes::ReceivedNotification> got;
        testing::wait_until(
            [&] {
                got = thread.service().received();
                return !got.empty();
            },
            5s);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].app, "Thumbrover");
        EXPECT_EQ(got[0].summary, "Thumbrover could not start");
        EXPECT_EQ(got[0].body, "Thumbrover is already running");

        // The first copy still runs and still moves the pointer.
        EXPECT_TRUE(program.connected());
        EXPECT_EQ(program.tray_status(), "On");
        testing::XProbe probe(0, 0, 1920, 1080, 0x204060);
        probe.warp_pointer(300, 300);
        program.set_axis(testing::kAxisLeftX, 1.0f);
        EXPECT_TRUE(testing::wait_until([&] { return probe.pointer().x > 350; }, 3s));
        program.set_axis(testing::kAxisLeftX, 0.0f);
    });
    EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace thumbrover

#include "fakes/moc_notification_service.cpp"
