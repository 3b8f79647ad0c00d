#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/common/files.hpp"
#include "linux/private_x_server.hpp"
#include "linux/single_instance.hpp"
#include "test_support.hpp"

#include <QCoreApplication>
#include <QDBusConnectionInterface>

// Xlib after Qt: its macros would otherwise clash with Qt's names.
#include "linux/x_probe.hpp"

extern char** environ;

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

int& next_stderr_number() {
    static int number = 0;
    return number;
}

// The real program in a process of its own, with a private home and its standard error kept.
class Started {
  public:
    // `set` adds or replaces environment entries ("NAME=value"); `home` shares a home with
    // another copy instead of a private one.
    Started(const std::vector<std::string>& args, const std::vector<std::string>& unset = {},
            const std::vector<std::string>& set = {},
            std::optional<std::filesystem::path> shared_home = std::nullopt)
        : shared_home_(std::move(shared_home)) {
        std::vector<std::string> env_text;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('='));
            if (name == "HOME" || name == "XDG_CONFIG_HOME") continue;
            bool drop = false;
            for (const std::string& u : unset)
                drop = drop || u == name;
            for (const std::string& entry_set : set)
                drop = drop || entry_set.substr(0, entry_set.find('=')) == name;
            if (!drop) env_text.push_back(entry);
        }
        env_text.insert(env_text.end(), set.begin(), set.end());
        env_text.push_back("HOME=" + home().string());
        env_text.push_back("XDG_CONFIG_HOME=" + (home() / ".config").string());
        std::vector<char*> env;
        for (std::string& e : env_text)
            env.push_back(e.data());
        env.push_back(nullptr);

        const std::string program = THUMBROVER_BINARY_DIR "/thumbrover";
        std::vector<std::string> argv_text{program};
        argv_text.insert(argv_text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : argv_text)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, stderr_path().c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), env.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Started() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // The exit status once it has ended within the deadline.
    std::optional<int> wait(std::chrono::milliseconds deadline) {
        if (status_) return status_;
        int raw = 0;
        if (testing::wait_until([&] { return ::waitpid(pid_, &raw, WNOHANG) == pid_; }, deadline))
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return status_;
    }

    void signal(int number) { ::kill(pid_, number); }
    [[nodiscard]] std::string errors() const {
        auto text = read_file(stderr_path());
        return text ? *text : std::string();
    }
    [[nodiscard]] std::filesystem::path app_dir() const {
        return home() / ".config" / "thumbrover";
    }
    [[nodiscard]] pid_t pid() const { return pid_; }
    // Whether it still runs (it has not ended, or ended without being waited for).
    [[nodiscard]] bool running() {
        if (status_) return false;
        int raw = 0;
        if (::waitpid(pid_, &raw, WNOHANG) != pid_) return true;
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return false;
    }

  private:
    [[nodiscard]] const std::filesystem::path& home() const {
        return shared_home_ ? *shared_home_ : own_home_.path();
    }
    [[nodiscard]] std::filesystem::path stderr_path() const {
        return home() / ("stderr-" + std::to_string(stderr_number_));
    }

    testing::TempDir own_home_;
    std::optional<std::filesystem::path> shared_home_;
    int stderr_number_ = next_stderr_number()++;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

TEST(Process, RestoreCursorEndsAtOnceWithoutStartingAnything) {
    Started program({"--restore-cursor"});
    EXPECT_EQ(program.wait(5s), 0);
    EXPECT_FALSE(std::filesystem::exists(program.app_dir() / "lock")) << "no lock taken";
}

TEST(Process, WithoutAnXDisplayItSaysSoAndEnds) {
    Started program({}, {"DISPLAY"});
    EXPECT_EQ(program.wait(10s), 1);
    EXPECT_THAT(program.errors(), ::testing::HasSubstr("thumbrover: no X display"));
}

TEST(Process, TerminationAndInterruptEndItNormally) {
    for (const int signal_number : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal_number);
        Started program({});
        // Running once its engine has taken the lock and written the default settings.
        ASSERT_TRUE(testing::wait_until(
            [&] { return std::filesystem::exists(program.app_dir() / "config.toml"); }, 10s))
            << program.errors();
        std::this_thread::sleep_for(300ms);
        program.signal(signal_number);
        EXPECT_EQ(program.wait(5s), 0) << program.errors();
    }
}

TEST(Process, AHangUpEndsItNormallyToo) {
    // A closed terminal: the program lets go of what it holds and ends like on SIGTERM.
    Started program({});
    ASSERT_TRUE(testing::wait_until(
        [&] { return std::filesystem::exists(program.app_dir() / "config.toml"); }, 10s))
        << program.errors();
    std::this_thread::sleep_for(300ms);
    program.signal(SIGHUP);
    EXPECT_EQ(program.wait(5s), 0) << program.errors();
}

TEST(Process, TheEndOfASessionEndsItOnceWithoutACrash) {
    // The X server stops and the session sends SIGTERM at the same moment, which brings every
    // thread that holds an X connection to the lost display at once. Repeated, since which
    // thread notices first varies.
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        testing::PrivateXServer server;
        Started program({}, {}, {"DISPLAY=" + server.name()});
        ASSERT_TRUE(testing::wait_until(
            [&] { return std::filesystem::exists(program.app_dir() / "config.toml"); }, 10s))
            << program.errors();
        std::this_thread::sleep_for(300ms);
        ::kill(server.pid(), SIGTERM);
        program.signal(SIGTERM);
        server.stop();
        const std::optional<int> status = program.wait(10s);
        ASSERT_TRUE(status.has_value()) << "still running: " << program.errors();
        // Ending on its own after a quit (0) or because its display went away (1), never by a
        // signal or an abort.
        EXPECT_TRUE(*status == 0 || *status == 1) << *status << "\n" << program.errors();
        EXPECT_THAT(program.errors(), ::testing::Not(::testing::HasSubstr("corrupt")));
        EXPECT_THAT(program.errors(), ::testing::Not(::testing::HasSubstr("double free")));
    }
}

TEST(Process, TwoCopiesStartedTogetherLeaveOneRunningThatAnswersForBoth) {
    static int argc = 1;
    static char name[] = "process-test";
    static char* argv[] = {name, nullptr};
    // Never destroyed, like the program's own: Qt's globals may be gone before it at exit.
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected()) << "tests run on a private session bus";
    const QString service = QString::fromLatin1(kInstanceService);
    // Autostart and a click at the same moment, a few times over: whichever copy takes the
    // lock runs and answers on the bus, the other shows its window and ends.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        testing::TempDir home;
        std::vector<std::unique_ptr<Started>> copies;
        copies.push_back(std::make_unique<Started>(std::vector<std::string>{},
                                                   std::vector<std::string>{},
                                                   std::vector<std::string>{}, home.path()));
        copies.push_back(std::make_unique<Started>(std::vector<std::string>{},
                                                   std::vector<std::string>{},
                                                   std::vector<std::string>{}, home.path()));
        ASSERT_TRUE(testing::wait_until(
            [&] { return !copies[0]->running() || !copies[1]->running(); }, 15s))
            << "neither copy ended";
        std::this_thread::sleep_for(500ms);
        const bool first_runs = copies[0]->running();
        Started& running = *copies[first_runs ? 0 : 1];
        Started& ended = *copies[first_runs ? 1 : 0];
        ASSERT_TRUE(running.running()) << "both ended:\n"
                                       << copies[0]->errors() << copies[1]->errors();
        EXPECT_EQ(ended.wait(1s), 1);
        EXPECT_THAT(ended.errors(),
                    ::testing::HasSubstr("thumbrover: Thumbrover is already running"));
        ASSERT_TRUE(testing::wait_until(
            [&] {
                return bus.interface()->servicePid(service).value() ==
                       static_cast<uint>(running.pid());
            },
            5s))
            << "the running copy does not hold " << service.toStdString();
        running.signal(SIGTERM);
        EXPECT_EQ(running.wait(5s), 0) << running.errors();
    }
}

}  // namespace
}  // namespace thumbrover
