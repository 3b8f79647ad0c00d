// Runs inside the virtual machine (scripts/vm-test, tests/vm/compositor.sh) under sway headless,
// which reads input devices through libinput as a Wayland desktop does: uinput devices move the
// pointer of a native Wayland window, click, scroll and type in it, and let go when their
// process is killed. Also measures the compositor's pointer acceleration on such a device.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "test_support.hpp"
#include "vm/probe_client.hpp"
#include "vm/uinput_output.hpp"

namespace thumbrover::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The output of a shell command, or nothing when it failed.
std::optional<std::string> command_output(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        out.append(buffer, n);
    if (::pclose(pipe.release()) != 0) return std::nullopt;
    return out;
}

// sway's identifier of the input device called `name`, once sway has added it: events posted
// before then are lost.
std::optional<std::string> sway_input(const std::string& name,
                                      std::chrono::milliseconds wait = 10s) {
    const auto until = Clock::now() + wait;
    do {
        if (auto out = command_output("swaymsg -r -t get_inputs")) {
            const auto inputs = nlohmann::json::parse(*out, nullptr, false);
            if (inputs.is_array())
                for (const auto& input : inputs)
                    if (input.value("name", "") == name) return input.value("identifier", "");
        }
        std::this_thread::sleep_for(50ms);
    } while (Clock::now() < until);
    return std::nullopt;
}

// Whether sway has let go of the device called `name` within `wait`.
bool gone_from_sway(const std::string& name, std::chrono::milliseconds wait = 10s) {
    const auto until = Clock::now() + wait;
    while (sway_input(name, 0ms) && Clock::now() < until)
        std::this_thread::sleep_for(50ms);
    return !sway_input(name, 0ms);
}

bool swaymsg(const std::string& command) {
    return command_output("swaymsg '" + command + "' >/dev/null").has_value();
}

class Compositor : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        probe_ = std::make_unique<ProbeClient>();
        const auto ready =
            probe_->wait_for([](const std::string& l) { return l == "ready"; }, 0, 30s);
        ASSERT_TRUE(ready) << "the probe window was never shown";
    }
    static void TearDownTestSuite() { probe_.reset(); }

    // The devices of one test are gone from sway before the next makes its own of the same
    // name, which sway would otherwise find listed already and take for taken up.
    void TearDown() override {
        if (HasFailure())
            for (const std::string& l : probe_->lines_since(0))
                std::printf("probe: %s\n", l.c_str());
        for (const std::string& name : {kPointerName, kKeyboardName})
            gone_from_sway(name);
    }

    static inline std::unique_ptr<ProbeClient> probe_;
};

// Half a notch down and then the rest: a smooth-scrolling client sees two steps, a wheel-counting
// one exactly one notch. (Motion, clicks and keys reach the window in the program's own test.)
TEST_F(Compositor, HalfNotchesAddUpToOneWheelNotch) {
    const auto output = make_output();
    ASSERT_TRUE(output);
    ASSERT_TRUE(sway_input(kPointerName)) << "sway never listed " << kPointerName;
    const std::size_t mark = probe_->mark();
    perform(*output, {scroll(-60, 0), scroll(-60, 0)});
    EXPECT_TRUE(probe_->wait_for_line("discrete vertical 1", mark));
    EXPECT_TRUE(probe_->wait_for_prefix("axis vertical ", mark));
}

// A process killed while it holds a key and a button: the compositor sees its devices go and lets
// go of both at the window.
TEST_F(Compositor, AKilledHolderLeavesNothingPressed) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const auto output = make_output();
        if (!output || !sway_input(kPointerName) || !sway_input(kKeyboardName)) ::_exit(1);
        if (!output->perform(move(1, 0)).ok() ||
            !output->perform(key_command(CommandKind::KeyDown, KeyKind::Shift)).ok() ||
            !output->perform(button(CommandKind::ButtonDown)).ok())
            ::_exit(1);
        const char byte = 'p';
        if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    const std::size_t mark = probe_->mark();
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    EXPECT_TRUE(probe_->wait_for_line("key 42 pressed", mark));
    EXPECT_TRUE(probe_->wait_for_line("button 272 pressed", mark));
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    EXPECT_TRUE(probe_->wait_for_line("key 42 released", mark)) << "the key stayed down";
    EXPECT_TRUE(probe_->wait_for_line("button 272 released", mark)) << "the button stayed down";
}

// The program itself, started as a user starts it in a Wayland session (no --output): it says it
// posts through uinput, its devices appear to the compositor, and a SIGTERM ends it cleanly with
// its devices gone.
TEST_F(Compositor, TheProgramStartedInAWaylandSessionPostsThroughUinput) {
    const std::string log = "/tmp/thumbrover-vm-program.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string program = std::string(THUMBROVER_BINARY_DIR) + "/thumbrover";
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    EXPECT_TRUE(sway_input(kPointerName, 20s))
        << "the program's pointer never appeared; it said:\n" << slurp(log);
    EXPECT_TRUE(sway_input(kKeyboardName, 0ms)) << "the program's keyboard never appeared";
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    const std::string said = slurp(log);
    EXPECT_NE(said.find("thumbrover: posting input through uinput"), std::string::npos) << said;
    EXPECT_TRUE(gone_from_sway(kPointerName)) << "the program's pointer outlived it";
}

// Pixels the window sees for a series of equal reports at the program's pace (one every 8 ms),
// under sway's default profile and with `accel_profile flat` on the device. Prints the figures;
// checks that the flat profile passes counts through one for one, which is what the README's
// per-device setting relies on.
TEST_F(Compositor, AccelerationOnAVirtualPointer) {
    const auto output = make_output();
    ASSERT_TRUE(output);
    const auto identifier = sway_input(kPointerName);
    ASSERT_TRUE(identifier);
    // The name the README tells sway users to write into their configuration.
    EXPECT_EQ(*identifier, "29794:1:Thumbrover_virtual_pointer");
    constexpr int kReports = 20;
    const int steps[] = {1, 2, 4, 8, 16};
    int width_ = 0;  // as the compositor last set it
    for (const std::string& l : probe_->lines_since(0))
        std::sscanf(l.c_str(), "size %d", &width_);
    ASSERT_GT(width_, 3 * kReports * steps[std::size(steps) - 1]) << "the window is too narrow";

    // The x the window sees after the series, starting from its left edge.
    const auto travel = [&](int counts) -> double {
        if (!output->perform(move(-4 * width_, 0)).ok()) return -1;
        std::this_thread::sleep_for(100ms);
        auto start = probe_->position();
        if (!start || start->first > 0.5) return -1;
        const std::size_t mark = probe_->mark();
        auto next = Clock::now();
        for (int i = 0; i < kReports; ++i) {
            if (!output->perform(move(counts, 0)).ok()) return -1;
            next += 8ms;
            std::this_thread::sleep_until(next);
        }
        // The series has arrived when the window has seen as many motions as reports, or it
        // settled.
        probe_->wait_for(
            [&, seen = 0](const std::string& l) mutable {
                return l.rfind("motion ", 0) == 0 && ++seen == kReports;
            },
            mark, 2s);
        std::this_thread::sleep_for(100ms);
        return probe_->position()->first;
    };

    // Adaptive last: sway's own default for a mouse, which the program's tier then meets.
    for (const char* profile : {"flat", "adaptive"}) {
        ASSERT_TRUE(swaymsg("input \"" + *identifier + "\" accel_profile " + profile));
        for (int counts : steps) {
            const double pixels = travel(counts);
            ASSERT_GE(pixels, 0) << "the pointer could not be parked at the left edge";
            std::printf(
                "acceleration profile=%s reports=%d counts-per-report=%d counts=%d "
                "pixels=%.1f ratio=%.2f\n",
                profile, kReports, counts, kReports * counts, pixels, pixels / (kReports * counts));
            if (std::string(profile) == "flat") {
                EXPECT_NEAR(pixels, kReports * counts, 0.5) << counts << " counts per report";
            }
        }
    }
}

}  // namespace
}  // namespace thumbrover::testing
