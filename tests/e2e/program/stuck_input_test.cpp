#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

#include "core/bindings/buttons.hpp"
#include "e2e/program.hpp"

// Xlib after Qt (program.hpp): its macros would otherwise clash with Qt's names.
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>

extern char** environ;

namespace thumbrover {
namespace {

using namespace std::chrono_literals;
using testing::ProgramRun;

constexpr std::size_t kButtonB = 1;
constexpr std::size_t kButtonX = 2;
constexpr std::size_t kAxisRightTrigger = 5;

// How the run that holds everything comes to an end.
enum class Ending { Unplug, XboxHold, Quit, Terminate, Interrupt, HangUp, KillThenStartAgain };

struct Case {
    const char* name;
    Ending ending;
    int signal_number = 0;
};

// What the controller holds down through the program: two mouse buttons (A left, B right), a
// shortcut with two modifiers (X: ctrl+shift+t), the app switcher's Alt (Y, with a commit time
// long enough to outlast the test) and a repeating volume key (the right trigger).
void bind_everything(const std::filesystem::path& dir) {
    testing::write_settings(dir, [](Config& config) {
        for (const auto& [key, action] : {std::pair{"a", "left-click"},
                                          {"b", "right-click"},
                                          {"x", "ctrl+shift+t"},
                                          {"y", "app-switcher"},
                                          {"right_trigger", "volume-up"}}) {
            ASSERT_TRUE(apply_button_entry(config.buttons, key, action).ok()) << key;
            ASSERT_TRUE(
                apply_button_entry(config.buttons, std::string(key) + "_hold", "none").ok());
        }
        config.alt_tab_commit_ms = 120000;
    });
}

bool holds_everything(Display* d) {
    const std::string held = testing::held_down(d);
    const unsigned mask = testing::query_pointer(d).mask;
    const unsigned wanted = Button1Mask | Button3Mask | ControlMask | ShiftMask | Mod1Mask;
    return (mask & wanted) == wanted &&
           held.find("key " + std::to_string(XKeysymToKeycode(d, XK_t))) != std::string::npos;
}

// The program's process: holds everything, says so on `report`, then ends the way the case asks
// or waits for the signal that ends it, in the home folder its parent made and removes. Never
// returns.
[[noreturn]] void run_and_hold(const Case& c, int report, const std::filesystem::path& home) {
    const int status = ProgramRun::run(
        [&](ProgramRun& program) {
            program.set_button(testing::kButtonA, true);
            program.set_button(kButtonB, true);
            program.set_button(kButtonX, true);
            program.set_button(testing::kButtonY, true);
            // The controller is read every 4 ms: a press must last that long to be seen.
            std::this_thread::sleep_for(100ms);
            program.set_button(testing::kButtonY, false);
            program.set_axis(kAxisRightTrigger, 1.0f);
            const testing::XDisplayPtr x = testing::open_x_display();
            if (!testing::wait_until([&] { return holds_everything(x.get()); }, 10s)) {
                std::fprintf(stderr, "held: %s, mask %x\n", testing::held_down(x.get()).c_str(),
                             testing::query_pointer(x.get()).mask);
                std::_Exit(20);
            }
            // Past the volume key's first repeat, so that it really repeats.
            std::this_thread::sleep_for(500ms);
            if (::write(report, "H", 1) != 1) std::_Exit(21);
            switch (c.ending) {
                case Ending::Unplug:
                    program.unplug();
                    break;
                case Ending::XboxHold:
                    program.set_button(testing::kButtonXbox, true);
                    break;
                case Ending::Quit:
                    program.choose_menu_item("Quit Thumbrover");
                    break;
                default:
                    break;
            }
            while (!quit_flag().load())
                std::this_thread::sleep_for(10ms);
        },
        bind_everything, home);
    std::_Exit(status);
}

// Failures name the case, not its bytes.
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class StuckInput : public ::testing::TestWithParam<Case> {};

TEST_P(StuckInput, NothingStaysHeldAfterTheProgramLetsGoOrEnds) {
    const Case& c = GetParam();
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const testing::TempDir child_home;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        run_and_hold(c, report[1], child_home.path());
    }
    ::close(report[1]);
    const auto end_child = [child](int signal_number) {
        ::kill(child, signal_number);
        int raw = 0;
        ::waitpid(child, &raw, 0);
        return raw;
    };
    char said = 0;
    pollfd ready{report[0], POLLIN, 0};
    const bool held = ::poll(&ready, 1, 30000) == 1 && ::read(report[0], &said, 1) == 1;
    ::close(report[0]);
    if (!held) {
        const int raw = end_child(SIGKILL);
        FAIL() << "the program did not come to hold everything (exit "
               << (WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw)) << ")";
    }

    const testing::XDisplayPtr x = testing::open_x_display();
    Display* d = x.get();
    switch (c.ending) {
        case Ending::Unplug:
        case Ending::XboxHold: {
            // The program runs on, holding nothing.
            EXPECT_TRUE(testing::wait_until([&] { return testing::held_down(d).empty(); }, 5s))
                << "still held: " << testing::held_down(d);
            end_child(SIGTERM);
            break;
        }
        case Ending::Quit: {
            int raw = 0;
            ASSERT_TRUE(
                testing::wait_until([&] { return ::waitpid(child, &raw, WNOHANG) == child; }, 10s));
            EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
            EXPECT_EQ(testing::held_down(d), "");
            break;
        }
        case Ending::Terminate:
        case Ending::Interrupt:
        case Ending::HangUp: {
            const int raw = end_child(c.signal_number);
            EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0)
                << "ended by signal " << (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
            EXPECT_EQ(testing::held_down(d), "");
            break;
        }
        case Ending::KillThenStartAgain: {
            end_child(SIGKILL);
            // Nothing can let go for a killed process: the X server keeps it held...
            ASSERT_TRUE(holds_everything(d)) << testing::held_down(d);
            // ...until the program starts again.
            testing::TempDir home;
            const std::string program = THUMBROVER_BINARY_DIR "/thumbrover";
            std::vector<std::string> env_text;
            for (char** e = environ; *e != nullptr; ++e) {
                const std::string entry = *e;
                if (!entry.starts_with("HOME=") && !entry.starts_with("XDG_CONFIG_HOME="))
                    env_text.push_back(entry);
            }
            env_text.push_back("HOME=" + home.path().string());
            env_text.push_back("XDG_CONFIG_HOME=" + (home.path() / ".config").string());
            std::vector<char*> env;
            for (std::string& e : env_text)
                env.push_back(e.data());
            env.push_back(nullptr);
            char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
            pid_t next = 0;
            ASSERT_EQ(::posix_spawn(&next, program.c_str(), nullptr, nullptr, argv, env.data()), 0);
            EXPECT_TRUE(testing::wait_until([&] { return testing::held_down(d).empty(); }, 15s))
                << "still held after the new start: " << testing::held_down(d);
            ::kill(next, SIGTERM);
            ::waitpid(next, nullptr, 0);
            break;
        }
    }
    // Whatever failed above, the next test must not find the server holding anything.
    if (!testing::held_down(d).empty()) {
        for (unsigned b = 1; b <= 3; ++b)
            XTestFakeButtonEvent(d, b, False, CurrentTime);
        for (unsigned k = 8; k < 256; ++k)
            XTestFakeKeyEvent(d, k, False, CurrentTime);
        XSync(d, False);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Endings, StuckInput,
    ::testing::Values(Case{"Unplug", Ending::Unplug}, Case{"XboxHold", Ending::XboxHold},
                      Case{"Quit", Ending::Quit}, Case{"Sigterm", Ending::Terminate, SIGTERM},
                      Case{"Sigint", Ending::Interrupt, SIGINT},
                      Case{"Sighup", Ending::HangUp, SIGHUP},
                      Case{"SigkillThenStartAgain", Ending::KillThenStartAgain}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace thumbrover
