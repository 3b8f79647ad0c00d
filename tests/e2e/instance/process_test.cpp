#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/common/files.hpp"
#include "linux/private_x_server.hpp"
#include "linux/single_instance.hpp"
#include "qt/qt_app.hpp"
#include "test_support.hpp"

#include <QCoreApplication>
#include <QDBusConnectionInterface>

// Xlib after Qt: its macros would otherwise clash with Qt's names.
#include "linux/x_probe.hpp"

extern char** environ;

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

// The real program in a process of its own, with a private home and its standard error kept.
class Started {
  public:
    // `set` adds or replaces environment entries ("NAME=value"); with `home`, it shares that
    // private home (and so the application folder) with another copy instead of a fresh one of
    // its own; `prepare` gets the application folder, created, before it starts.
    Started(const std::vector<std::string>& args, const std::vector<std::string>& unset = {},
            const std::vector<std::string>& set = {}, const std::filesystem::path& home = {},
            const std::function<void(const std::filesystem::path&)>& prepare = {})
        : home_(home.empty() ? own_home_.path() : home) {
        if (prepare) {
            std::filesystem::create_directories(app_dir());
            prepare(app_dir());
        }
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
        env_text.push_back("HOME=" + home_.string());
        env_text.push_back("XDG_CONFIG_HOME=" + (home_ / ".config").string());
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
        posix_spawn_file_actions_addopen(&actions, 1, stdout_path().c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
    // Asks it to end, as the session does at logout; its exit status once it has.
    std::optional<int> terminate() {
        signal(SIGTERM);
        return wait(5s);
    }
    // Whether it comes up within ten seconds: its engine has taken the lock and written the
    // default settings.
    bool comes_up() {
        return testing::wait_until(
            [&] { return std::filesystem::exists(app_dir() / "config.toml"); }, 10s);
    }
    [[nodiscard]] std::string errors() const {
        auto text = read_file(stderr_path());
        return text ? *text : std::string();
    }
    [[nodiscard]] std::filesystem::path app_dir() const { return home_ / ".config" / "thumbrover"; }
    [[nodiscard]] const std::filesystem::path& home() const { return home_; }
    [[nodiscard]] std::string output() const {
        auto text = read_file(stdout_path());
        return text ? *text : std::string();
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
    [[nodiscard]] std::filesystem::path stderr_path() const { return own_home_ / "stderr"; }
    [[nodiscard]] std::filesystem::path stdout_path() const { return own_home_ / "stdout"; }

    testing::TempDir own_home_;
    std::filesystem::path home_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

bool session_bus_name_has_owner() {
    FILE* answer = ::popen(
        "dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
        "org.freedesktop.DBus.NameHasOwner string:app.thumbrover.Thumbrover 2>/dev/null",
        "r");
    if (answer == nullptr) return false;
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, answer) != nullptr)
        text += buffer;
    ::pclose(answer);
    return text.find("boolean true") != std::string::npos;
}

TEST(Process, RestoreCursorEndsAtOnceWithoutStartingAnything) {
    Started program({"--restore-cursor"});
    EXPECT_EQ(program.wait(5s), 0);
    EXPECT_FALSE(std::filesystem::exists(program.app_dir() / "lock")) << "no lock taken";
}

TEST(Process, OptionsAreAnsweredBeforeAnythingIsCreated) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out_start;
        std::string err_start;
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage: thumbrover [--help | --version | --output=xtest|uinput]\n", ""},
        {{"--version"}, 0, "thumbrover ", ""},
        {{"--bogus"}, 2, "", "thumbrover: unknown option `--bogus`\nUsage: thumbrover "},
        {{"--help", "-x"}, 2, "", "thumbrover: unknown option `-x`\n"},
        {{"show"}, 2, "", "thumbrover: unexpected argument `show`\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        Started program(c.args);
        EXPECT_EQ(program.wait(5s), c.status) << program.errors();
        EXPECT_TRUE(program.output().starts_with(c.out_start)) << program.output();
        EXPECT_TRUE(program.errors().starts_with(c.err_start)) << program.errors();
        EXPECT_FALSE(std::filesystem::exists(program.home() / ".config"))
            << "nothing of the program's own is created";
    }
}

TEST(Process, ASecondCopyHandsOverToTheRunningOneAndEndsWell) {
    Started first({});
    ASSERT_TRUE(first.comes_up()) << first.errors();
    // The running copy answers on the session bus once its windows exist.
    ASSERT_TRUE(testing::wait_until(session_bus_name_has_owner, 10s)) << first.errors();
    Started second({}, {}, {}, first.home());
    const std::optional<int> second_status = second.wait(10s);
    const std::string second_errors = second.errors();
    EXPECT_EQ(second_status, 0) << second_errors;
    EXPECT_THAT(second_errors, ::testing::HasSubstr("thumbrover: Thumbrover is already running\n"));
    EXPECT_EQ(first.terminate(), 0) << first.errors();
}

TEST(Process, WithoutAGraphicalSessionItSaysSoInOneLineAndEnds) {
    Started program({}, {"DISPLAY", "WAYLAND_DISPLAY"});
    EXPECT_EQ(program.wait(10s), 1);
    EXPECT_EQ(program.errors(),
              "thumbrover: no graphical session: Thumbrover runs in an X11 or Wayland desktop "
              "session (neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
}

TEST(Process, InAWaylandSessionItPostsThroughUinputAndWaitsForAccessWithoutEnding) {
    // The windows still come up on the test's X display; only the output differs.
    Started program({}, {}, {"WAYLAND_DISPLAY=wayland-thumbrover-test", "QT_QPA_PLATFORM=xcb"});
    ASSERT_TRUE(program.comes_up()) << program.errors();
    ASSERT_TRUE(testing::wait_until(
        [&] { return program.errors().find("/dev/uinput") != std::string::npos; }, 10s))
        << program.errors();
    const std::string errors = program.errors();
    EXPECT_THAT(errors, ::testing::HasSubstr("thumbrover: posting input through uinput: this is "
                                             "a Wayland session (WAYLAND_DISPLAY is set)\n"));
    // A machine may give root /dev/uinput; without it, the line says what to run.
    if (::access("/dev/uinput", R_OK | W_OK) != 0) {
        EXPECT_THAT(errors, ::testing::HasSubstr("thumbrover: the pointer will not move: "
                                                 "/dev/uinput is "));
        EXPECT_THAT(errors, ::testing::HasSubstr("; to fix it, run: sudo "));
    }
    EXPECT_THAT(errors, ::testing::Not(::testing::HasSubstr("XTEST")));
    EXPECT_TRUE(program.running()) << errors;
    EXPECT_EQ(program.terminate(), 0) << program.errors();
}

TEST(Process, TerminationInterruptAndHangUpEndItNormally) {
    // A hang-up is a closed terminal: the program lets go of what it holds and ends all the same.
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal_number);
        Started program({});
        ASSERT_TRUE(program.comes_up()) << program.errors();
        std::this_thread::sleep_for(300ms);
        program.signal(signal_number);
        EXPECT_EQ(program.wait(5s), 0) << program.errors();
    }
}

TEST(Process, StartsWithAnUpdateRecordNestedTooDeepAndTakesItForNone) {
    Started program({}, {}, {}, {}, [](const std::filesystem::path& dir) {
        std::string key;
        for (int i = 0; i < 100000; ++i)
            key += "a.";
        ASSERT_TRUE(write_file_atomically(dir / "update.toml", key + "a = 1\n"));
    });
    ASSERT_TRUE(program.comes_up()) << program.errors();
    // The record is read on the first ticks of the user interface, right after the engine starts.
    std::this_thread::sleep_for(1500ms);
    ASSERT_FALSE(program.wait(0ms).has_value()) << program.errors();
    EXPECT_EQ(program.terminate(), 0) << program.errors();
}

TEST(Process, StartsAndEndsWithFifosInPlaceOfItsFiles) {
    Started program({}, {}, {}, {}, [](const std::filesystem::path& dir) {
        for (const char* name : {"config.toml", "update.toml", "enabled"})
            ASSERT_EQ(::mkfifo((dir / name).c_str(), 0600), 0) << name;
    });
    const auto said = [&](const std::string& name) {
        return program.errors().find((program.app_dir() / name).string() +
                                     ": not a regular file") != std::string::npos;
    };
    ASSERT_TRUE(testing::wait_until(
        [&] { return said("config.toml") && said("enabled") && said("update.toml"); }, 10s))
        << program.errors();
    ASSERT_FALSE(program.wait(0ms).has_value()) << program.errors();
    EXPECT_EQ(program.terminate(), 0) << program.errors();
}

TEST(Process, EndsInOrderOnSigtermAtEachStepOfAStartWithUnreadableFiles) {
    // A quit at each step of such a start, from the first file found unreadable, through the
    // settings notification that no service takes (told on standard error instead), to the
    // update check: every thread is in another state at each, and it must end as a quit does.
    for (const std::string step :
         {"config.toml: not a regular file", "Thumbrover could not read its settings",
          "update.toml: not a regular file"}) {
        SCOPED_TRACE(step);
        Started program({}, {}, {}, {}, [](const std::filesystem::path& dir) {
            for (const char* name : {"config.toml", "update.toml", "enabled"})
                ASSERT_EQ(::mkfifo((dir / name).c_str(), 0600), 0) << name;
        });
        ASSERT_TRUE(testing::wait_until(
            [&] { return program.errors().find(step) != std::string::npos; }, 10s))
            << program.errors();
        EXPECT_EQ(program.terminate(), 0) << program.errors();
        EXPECT_THAT(program.errors(), ::testing::Not(::testing::HasSubstr("malloc")));
        EXPECT_THAT(program.errors(), ::testing::Not(::testing::HasSubstr("corrupt")));
    }
}

TEST(Process, TheEndOfASessionEndsItOnceWithoutACrash) {
    // The X server stops and the session sends SIGTERM at the same moment, which brings every
    // thread that holds an X connection to the lost display at once. Repeated, since which
    // thread notices first varies.
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        testing::PrivateXServer server;
        Started program({}, {}, {"DISPLAY=" + server.name()});
        ASSERT_TRUE(program.comes_up()) << program.errors();
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
    testing::core_app();
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected()) << "tests run on a private session bus";
    const QString service = QString::fromLatin1(kInstanceService);
    // Autostart and a click at the same moment, a few times over: whichever copy takes the
    // lock runs and answers on the bus, the other shows its window and ends.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        testing::TempDir home;
        std::vector<std::unique_ptr<Started>> copies;
        for (int copy = 0; copy < 2; ++copy)
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
        // Handing over is a success: the user sees the running copy's window.
        EXPECT_EQ(ended.wait(1s), 0);
        EXPECT_THAT(ended.errors(),
                    ::testing::HasSubstr("thumbrover: Thumbrover is already running"));
        ASSERT_TRUE(testing::wait_until(
            [&] {
                return bus.interface()->servicePid(service).value() ==
                       static_cast<uint>(running.pid());
            },
            5s))
            << "the running copy does not hold " << service.toStdString();
        EXPECT_EQ(running.terminate(), 0) << running.errors();
    }
}

}  // namespace
}  // namespace thumbrover
