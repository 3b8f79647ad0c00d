// Quitting, and losing the display, at any moment of the program's life: at each step of its
// start and end (the stepped program holds the thread there while the test acts), and at random
// moments of its first second. More rounds for a long run: THUMBROVER_QUIT_ROUNDS (each quits at
// every step, each step with another signal) and THUMBROVER_QUIT_RANDOM_RUNS.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/common/files.hpp"
#include "core/settings/config_file.hpp"
#include "core/update/stored_state.hpp"
#include "linux/private_x_server.hpp"
#include "test_support.hpp"

// Xlib last: its macros would otherwise clash with the names above.
#include "linux/x_probe.hpp"

extern char** environ;

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

constexpr std::array kQuitSignals{SIGTERM, SIGINT, SIGHUP};
// The last step of the start: the program runs.
const std::string kRunning = "event loop running";
// The steps of the start, some on other threads than others, so their order may vary.
const std::vector<std::string> kStartSteps = {
    "toolkit starting",          "toolkit started",
    "engine thread started",     "engine started",
    "engine took the lock",      "engine read its settings",
    "engine made its output",    "engine started the mouse watcher",
    "engine published its link", kRunning,
    "update check started"};
// The steps of the end after a quit.
const std::vector<std::string> kEndSteps = {"engine loop ended", "engine let go", "engine ended",
                                            "engine thread joined", "event loop ended"};

int env_count(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The stepped program in a process of its own, with a private home, standard error kept, and a
// curl on its PATH that waits as a slow network does.
class SteppedRun {
  public:
    struct Options {
        // None: the test's own display.
        std::optional<std::string> display;
        bool steer = false;
        // Without hooks it runs as the program does, holding no step.
        bool hooks = true;
        // Another run's home, to start a second copy there; none: a private one.
        std::optional<std::filesystem::path> home;
    };

    explicit SteppedRun(const Options& options)
        : home_path_(options.home.value_or(home_.path())), hooks_(options.hooks) {
        // A program that ended while its step was held leaves the go pipe without a reader.
        ::signal(SIGPIPE, SIG_IGN);
        launch(options);
    }

    ~SteppedRun() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    SteppedRun(const SteppedRun&) = delete;
    SteppedRun& operator=(const SteppedRun&) = delete;

    void launch(const Options& options) {
        ASSERT_TRUE(write_file_atomically(
            bin_ / "curl",
            "#!/bin/sh\necho $$ > '" + (bin_ / "curl.pid").string() + "'\nexec sleep 30\n"));
        std::filesystem::permissions(bin_ / "curl", std::filesystem::perms(0755));
        std::vector<std::string> env_text;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('='));
            if (name == "HOME" || name == "XDG_CONFIG_HOME" || name == "PATH") continue;
            if (name == "DISPLAY" && options.display) continue;
            env_text.push_back(entry);
        }
        const char* path = std::getenv("PATH");
        env_text.push_back("PATH=" + bin_.path().string() + ":" + (path ? path : "/usr/bin:/bin"));
        env_text.push_back("HOME=" + home_path_.string());
        env_text.push_back("XDG_CONFIG_HOME=" + (home_path_ / ".config").string());
        if (options.display) env_text.push_back("DISPLAY=" + *options.display);
        std::vector<char*> env;
        for (std::string& e : env_text)
            env.push_back(e.data());
        env.push_back(nullptr);

        // Another build of the program may stand in for runs without hooks (to compare builds).
        const char* other = std::getenv("THUMBROVER_QUIT_PROGRAM");
        std::string program = !options.hooks && !options.steer && other != nullptr && *other != '\0'
                                  ? std::string(other)
                                  : std::string(THUMBROVER_BINARY_DIR "/thumbrover_stepped");
        std::string steer = "--steer";
        std::vector<char*> argv{program.data()};
        if (options.steer) argv.push_back(steer.data());
        argv.push_back(nullptr);

        int step_pipe[2] = {-1, -1};
        int go[2] = {-1, -1};
        ASSERT_EQ(::pipe2(step_pipe, O_CLOEXEC), 0);
        ASSERT_EQ(::pipe2(go, O_CLOEXEC), 0);
        steps_.reset(step_pipe[0]);
        go_.reset(go[1]);
        UniqueFd steps_write(step_pipe[1]);
        UniqueFd go_read(go[0]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, (bin_ / "stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (hooks_) {
            posix_spawn_file_actions_adddup2(&actions, steps_write.get(), 3);
            posix_spawn_file_actions_adddup2(&actions, go_read.get(), 4);
        }
        const int spawned =
            ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), env.data());
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_EQ(spawned, 0);
    }

    // The next step the program holds, none once it has ended or when none comes within `limit`
    // (then `stuck` says so).
    std::optional<std::string> next_step(std::chrono::milliseconds limit) {
        stuck = false;
        for (;;) {
            if (const auto end = buffer_.find('\n'); end != std::string::npos) {
                std::string step = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                steps.push_back(step);
                return step;
            }
            pollfd ready{steps_.get(), POLLIN, 0};
            const int n = ::poll(&ready, 1, static_cast<int>(limit.count()));
            if (n == 0) {
                stuck = true;
                return std::nullopt;
            }
            char chunk[256];
            const ssize_t got = ::read(steps_.get(), chunk, sizeof chunk);
            if (got <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(got));
        }
    }
    // Lets the held step go on.
    void go() {
        const char byte = 1;
        static_cast<void>(::write(go_.get(), &byte, 1));
    }
    void signal(int number) const { ::kill(pid_, number); }

    // Lets every further step go on until the program ends; its exit status, none when it has
    // not ended within `limit`.
    std::optional<int> finish(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        if (hooks_) {
            while (std::chrono::steady_clock::now() < deadline) {
                if (!next_step(100ms)) {
                    if (stuck) continue;
                    break;
                }
                go();
            }
        }
        int raw = 0;
        if (!testing::wait_until([&] { return ::waitpid(pid_, &raw, WNOHANG) == pid_; },
                                 std::chrono::duration_cast<std::chrono::milliseconds>(
                                     deadline - std::chrono::steady_clock::now())))
            return std::nullopt;
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return status_;
    }

    [[nodiscard]] std::string errors() const {
        auto text = read_file(bin_ / "stderr");
        return text ? *text : std::string();
    }
    [[nodiscard]] std::filesystem::path app_dir() const {
        return home_path_ / ".config" / "thumbrover";
    }
    [[nodiscard]] const std::filesystem::path& home() const { return home_path_; }
    [[nodiscard]] std::optional<pid_t> curl_pid() const {
        auto text = read_file(bin_ / "curl.pid");
        if (!text || text->empty()) return std::nullopt;
        return static_cast<pid_t>(std::atoi(text->c_str()));
    }

    std::vector<std::string> steps;
    bool stuck = false;

  private:
    testing::TempDir home_;
    testing::TempDir bin_;
    std::filesystem::path home_path_;
    bool hooks_;
    UniqueFd steps_;
    UniqueFd go_;
    std::string buffer_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

SteppedRun::Options with_hooks(std::optional<std::string> display = std::nullopt) {
    SteppedRun::Options options;
    options.display = std::move(display);
    return options;
}

SteppedRun::Options without_hooks(std::optional<std::string> display = std::nullopt) {
    SteppedRun::Options options = with_hooks(std::move(display));
    options.hooks = false;
    return options;
}

// What every end must leave: no report but the program's own one-line diagnostics (a sanitizer's
// report, a crash, the toolkit's chatter are none), no curl still waiting for the network,
// nothing held down in the X server, and every file of the program whole.
void expect_clean_end(const SteppedRun& run, Display* display) {
    for (const std::string& line : lines_of(run.errors()))
        EXPECT_TRUE(line.starts_with("thumbrover: ")) << "a line not of ours: " << line;
    if (const auto curl = run.curl_pid()) {
        EXPECT_TRUE(testing::wait_until([&] { return ::kill(*curl, 0) != 0; }, 2s))
            << "curl " << *curl << " still runs";
    }
    if (display != nullptr) {
        EXPECT_EQ(testing::held_down(display), "");
    }
    const auto config = run.app_dir() / "config.toml";
    if (std::filesystem::exists(config)) {
        const auto text = read_file(config);
        ASSERT_TRUE(text.ok());
        EXPECT_TRUE(parse_config(*text).ok()) << "config.toml is not whole:\n" << *text;
    }
    const auto enabled = read_file(run.app_dir() / "enabled");
    if (enabled) {
        EXPECT_TRUE(*enabled == "true" || *enabled == "false") << *enabled;
    }
    EXPECT_FALSE(std::filesystem::exists(run.app_dir() / "update.toml"))
        << "the check never got an answer";
}

struct QuitPlan {
    // Where the signal comes; an end step comes only after a first SIGTERM once it runs.
    std::string at;
    int signal;
};

void quit_at(const QuitPlan& plan, Display* display) {
    SCOPED_TRACE("signal " + std::to_string(plan.signal) + " at \"" + plan.at + "\"");
    SteppedRun run(with_hooks());
    const bool at_end = std::find(kEndSteps.begin(), kEndSteps.end(), plan.at) != kEndSteps.end();
    bool quit = false;
    bool reached = false;
    bool running = false;
    while (!reached) {
        // Once it runs, every step of the start has come or is about to.
        const auto step = run.next_step(running && !quit ? 3s : 10s);
        if (!step) {
            if (!run.stuck) break;
            ASSERT_TRUE(running && !quit)
                << "stuck after " << ::testing::PrintToString(run.steps) << "\n"
                << run.errors();
            // The step never came in this run: end it all the same.
            run.signal(SIGTERM);
            quit = true;
            continue;
        }
        if (*step == plan.at) {
            run.signal(plan.signal);
            reached = true;
        } else if (*step == kRunning) {
            running = true;
            if (at_end) {
                run.signal(SIGTERM);
                quit = true;
            }
        }
        run.go();
    }
    EXPECT_TRUE(reached) << "never reached; steps: " << ::testing::PrintToString(run.steps);
    EXPECT_EQ(run.finish(10s), 0) << run.errors();
    expect_clean_end(run, display);
}

class Quit : public ::testing::Test {
  protected:
    void SetUp() override { display_ = testing::open_x_display(); }
    Display* display() const { return display_.get(); }

  private:
    testing::XDisplayPtr display_;
};

TEST_F(Quit, AtEachStepOfTheStartAndTheEndWithEachSignalInTurn) {
    std::vector<std::string> steps = kStartSteps;
    steps.insert(steps.end(), kEndSteps.begin(), kEndSteps.end());
    const int rounds = env_count("THUMBROVER_QUIT_ROUNDS", 1);
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            quit_at({steps[i], kQuitSignals[(i + static_cast<std::size_t>(round)) % 3]}, display());
            if (HasFatalFailure()) return;
        }
    }
}

TEST_F(Quit, AtRandomMomentsOfTheFirstSecond) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> moment_ms(0, 999);
    const int runs = env_count("THUMBROVER_QUIT_RANDOM_RUNS", 6);
    for (int i = 0; i < runs; ++i) {
        const int signal_number = kQuitSignals[static_cast<std::size_t>(i) % 3];
        const int at = moment_ms(random);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", run " + std::to_string(i) + ": signal " +
                     std::to_string(signal_number) + " after " + std::to_string(at) + " ms");
        SteppedRun run(without_hooks());
        std::this_thread::sleep_for(std::chrono::milliseconds(at));
        run.signal(signal_number);
        const std::optional<int> status = run.finish(10s);
        // Before its first instructions have set the handlers, a signal ends the program by its
        // default action, before it has said anything.
        const bool before_handlers = status == 128 + signal_number && run.errors().empty();
        EXPECT_TRUE(status == 0 || before_handlers) << ::testing::PrintToString(status) << "\n"
                                                    << run.errors();
        expect_clean_end(run, display());
    }
}

// How the program must end once its display has gone: with status 1 and one line saying so,
// the one that fits the moment: "lost the connection to the X display" once it had one, "cannot
// open the X display" before. A quit that was under way may end first, with status 0.
void expect_display_loss_end(SteppedRun& run, bool quit_under_way) {
    const std::optional<int> status = run.finish(15s);
    ASSERT_TRUE(status.has_value()) << "still running:\n" << run.errors();
    const std::string errors = run.errors();
    int display_lines = 0;
    for (const std::string& line : lines_of(errors)) {
        if (line == "thumbrover: lost the connection to the X display" ||
            line.starts_with("thumbrover: cannot open the X display"))
            ++display_lines;
    }
    if (quit_under_way && status == 0) {
        EXPECT_LE(display_lines, 1) << errors;
    } else {
        EXPECT_EQ(status, 1) << errors;
        EXPECT_EQ(display_lines, 1) << errors;
    }
    expect_clean_end(run, nullptr);
}

TEST(DisplayLoss, DISABLED_AtEachStepOfTheStartAndTheEnd) {
    std::vector<std::string> steps = kStartSteps;
    steps.insert(steps.end(), kEndSteps.begin(), kEndSteps.end());
    for (const std::string& at : steps) {
        SCOPED_TRACE("the X server stops at \"" + at + "\"");
        const bool at_end = std::find(kEndSteps.begin(), kEndSteps.end(), at) != kEndSteps.end();
        testing::PrivateXServer server;
        SteppedRun run(with_hooks(server.name()));
        bool reached = false;
        while (!reached) {
            const auto step = run.next_step(10s);
            ASSERT_TRUE(step.has_value()) << "ended or stuck before \"" << at
                                          << "\": " << ::testing::PrintToString(run.steps) << "\n"
                                          << run.errors();
            if (*step == at) {
                server.stop();
                reached = true;
            } else if (*step == kRunning && at_end) {
                run.signal(SIGTERM);
            }
            run.go();
        }
        expect_display_loss_end(run, at_end);
        if (HasFatalFailure()) return;
    }
}

// A moment in the first 300 ms of a state, for the server to stop at.
std::chrono::milliseconds some_moment(std::mt19937& random) {
    return std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 299)(random));
}

// Off, as the two above: the server stopped at some moments of the start (inside Qt's platform
// set-up) or of the end still crashes the program in a few runs in a hundred.
// THUMBROVER_DISPLAY_LOSS_RUNS and --gtest_also_run_disabled_tests run it for many runs.
TEST(DisplayLoss, DISABLED_AtRandomMomentsOfTheFirstSecondAndAHalf) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    const int runs = env_count("THUMBROVER_DISPLAY_LOSS_RUNS", 3);
    for (int i = 0; i < runs; ++i) {
        const int at = std::uniform_int_distribution<int>(0, 1499)(random);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", run " + std::to_string(i) +
                     ": the X server stops after " + std::to_string(at) + " ms");
        testing::PrivateXServer server;
        SteppedRun run(without_hooks(server.name()));
        std::this_thread::sleep_for(std::chrono::milliseconds(at));
        server.stop();
        expect_display_loss_end(run, false);
    }
}

TEST(DisplayLoss, DISABLED_WhileSteeringAndWhileAWindowIsOpen) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    {
        SCOPED_TRACE("steering");
        testing::PrivateXServer server;
        SteppedRun::Options steering = without_hooks(server.name());
        steering.steer = true;
        SteppedRun run(steering);
        testing::XDisplayPtr probe(XOpenDisplay(server.name().c_str()));
        ASSERT_TRUE(probe);
        const testing::PointerPosition start = testing::query_pointer(probe.get());
        ASSERT_TRUE(testing::wait_until(
            [&] { return testing::query_pointer(probe.get()).x > start.x + 20; }, 15s))
            << "the pointer does not move\n"
            << run.errors();
        probe.reset();
        std::this_thread::sleep_for(some_moment(random));
        server.stop();
        expect_display_loss_end(run, false);
    }
    {
        SCOPED_TRACE("Settings window open");
        testing::PrivateXServer server;
        SteppedRun run(without_hooks(server.name()));
        ASSERT_TRUE(testing::wait_until(
            [&] { return std::filesystem::exists(run.app_dir() / "config.toml"); }, 15s))
            << run.errors();
        // A second start is how a user opens the running copy's Settings window.
        SteppedRun::Options again = without_hooks(server.name());
        again.home = run.home();
        SteppedRun second(again);
        ASSERT_EQ(second.finish(15s), 0) << second.errors();
        std::this_thread::sleep_for(500ms + some_moment(random));
        server.stop();
        expect_display_loss_end(run, false);
    }
}

}  // namespace
}  // namespace thumbrover
