// Runs inside the virtual machine under sway headless (tests/vm/compositor.sh): the whole program,
// driven by a virtual controller, moves the pointer of a native Wayland window, clicks, scrolls
// and types a shortcut in it through its uinput devices; and the pointer lands at the speed the
// settings ask for under sway's default acceleration, whichever way the program handles it.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "core/bindings/buttons.hpp"
#include "core/engine/engine.hpp"
#include "e2e/program.hpp"
#include "linux/output_choice.hpp"
#include "linux/pointer_acceleration.hpp"
#include "test_support.hpp"
#include "vm/probe_client.hpp"
#include "vm/uinput_output.hpp"

namespace thumbrover::testing {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

// The X button in the virtual pad's report, as SDL numbers the buttons.
constexpr std::size_t kButtonX = 2;

bool starts_with(const std::string& line, const std::string& prefix) {
    return line.rfind(prefix, 0) == 0;
}

// The first number after `prefix` on each line that starts with it.
std::vector<double> numbers_after(const std::vector<std::string>& lines,
                                  const std::string& prefix) {
    std::vector<double> numbers;
    for (const std::string& l : lines)
        if (starts_with(l, prefix))
            numbers.push_back(std::strtod(l.c_str() + prefix.size(), nullptr));
    return numbers;
}

// The acceleration profile sway's libinput applies to the program's pointer ("adaptive").
std::string sway_profile() {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen("swaymsg -r -t get_inputs", "r"), ::pclose);
    std::string out;
    char buffer[4096];
    std::size_t n = 0;
    while (pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        out.append(buffer, n);
    const auto inputs = nlohmann::json::parse(out, nullptr, false);
    if (!inputs.is_array()) return {};
    for (const auto& input : inputs)
        if (input.value("name", "") == "Thumbrover virtual pointer" && input.contains("libinput") &&
            input["libinput"].is_object())
            return input["libinput"].value("accel_profile", "");
    return {};
}

// The whole program, started with THUMBROVER_ACCELERATION as given, holds the left stick at
// several deflections under sway's default acceleration. "Asked" is the settings' speed at that
// deflection (the engine's own `stick_vector` times `pointer_speed`); "landed" is the probe's
// pointer speed from the window's motion events and their times, once the stroke is under way
// (the engine's ticks carry the step they stand for, so positions over event times give the
// asked speed exactly). Runs in a child process: one program run per process. Returns the child's
// status, 0 when every check held.
int measure_landed_speed(const char* mode, double max_ratio_error,
                         const std::string& expected_profile) {
    const TempDir home;  // the child ends with _Exit, which would leave its own behind
    const pid_t child = ::fork();
    if (child != 0) {
        int status = -1;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    // Failures the parent had recorded before are not this run's.
    const auto failures = [] {
        return ::testing::UnitTest::GetInstance()
            ->current_test_info()
            ->result()
            ->total_part_count();
    };
    const int failed_before = failures();
    ::setenv("THUMBROVER_ACCELERATION", mode, 1);
    set_chosen_output(OutputKind::Uinput);
    constexpr float kPointerSpeed = 1600.0f;
    const int status = ProgramRun::run(
        [&](ProgramRun& program) {
            ProbeClient probe;
            ASSERT_TRUE(probe.wait_for([](const std::string& l) { return l == "ready"; }, 0, 60s));
            const std::string listed =
                "swaymsg -r -t get_inputs | grep -q '\"" + kKeyboardName + "\"'";
            // A compositor just started under emulation can take long to answer at first.
            ASSERT_TRUE(wait_until([&] { return std::system(listed.c_str()) == 0; }, 60s));
            // The IPC route's setting reaches sway as the device is taken up.
            EXPECT_TRUE(wait_until([&] { return sway_profile() == expected_profile; }, 5s))
                << "sway's profile for the pointer: " << sway_profile();
            int width = 0;
            for (const std::string& l : probe.lines_since(0))
                std::sscanf(l.c_str(), "size %d", &width);
            ASSERT_GT(width, 600);
            for (const float deflection : {0.4f, 0.7f, 1.0f}) {
                // Parked at the left edge, then steered right.
                program.set_axis(kAxisLeftX, -1.0f);
                std::this_thread::sleep_for(std::chrono::milliseconds(300 + width));
                program.set_axis(kAxisLeftX, 0);
                std::this_thread::sleep_for(200ms);
                const double asked =
                    stick_vector(deflection, 0, Config{}.stick_deadzone, Config{}.stick_curve).x *
                    kPointerSpeed;
                const auto held = std::chrono::milliseconds(
                    static_cast<int>(std::clamp(0.6 * width / asked * 1000.0, 600.0, 2000.0)));
                const std::size_t mark = probe.mark();
                program.set_axis(kAxisLeftX, deflection);
                std::this_thread::sleep_for(held);
                program.set_axis(kAxisLeftX, 0);
                std::this_thread::sleep_for(200ms);
                std::vector<std::pair<double, double>> track;  // (x, ms)
                for (const std::string& l : probe.lines_since(mark)) {
                    double x = 0, y = 0, t = 0;
                    // Up to the window's right edge, where an accelerated pointer stops early.
                    if (std::sscanf(l.c_str(), "motion %lf %lf %lf", &x, &y, &t) == 3) {
                        if (x >= width - 2) break;
                        track.emplace_back(x, t);
                    }
                }
                ASSERT_GE(track.size(), 10u) << "the stick at " << deflection << " moved little";
                // The first 120 ms are the stroke's start, where libinput's slowest factor and
                // the engine's first tick meet.
                auto from = track.begin();
                while (from != track.end() && from->second < track.front().second + 120)
                    ++from;
                ASSERT_NE(from, track.end());
                // The pointer's speed is the slope of its position over the engine's time, fitted
                // to every event, each being one tick's move: one event the machine held up (the
                // engine or sway stalled under emulation) moves the fit little, where it would
                // move a difference of the two ends by its whole delay. The engine's time is the
                // events' times with each step cut to 50 ms, as the engine cuts a longer one.
                std::vector<std::pair<double, double>> steps;  // (x, engine ms)
                for (auto it = from; it != track.end(); ++it) {
                    const double gap = it == from ? 0 : it->second - (it - 1)->second;
                    steps.emplace_back(
                        it->first, (steps.empty() ? 0 : steps.back().second) + std::min(gap, 50.0));
                }
                const auto n = static_cast<double>(steps.size());
                ASSERT_GE(n, 10) << "too few events at " << deflection;
                double st = 0, sx = 0, stt = 0, stx = 0;
                for (auto it = steps.begin(); it != steps.end(); ++it) {
                    st += it->second;
                    sx += it->first;
                    stt += it->second * it->second;
                    stx += it->second * it->first;
                }
                const double landed = (n * stx - st * sx) / (n * stt - st * st) * 1000;
                const double span = steps.back().second;
                ASSERT_GT(span, 150) << "too short a stroke at " << deflection;
                std::printf(
                    "acceleration mode=%s deflection=%.1f asked=%.0f landed=%.0f "
                    "ratio=%.3f (over %.0f ms, %.0f events)\n",
                    mode, deflection, asked, landed, landed / asked, span, n);
                if (max_ratio_error > 0) {
                    EXPECT_NEAR(landed / asked, 1.0, max_ratio_error) << "at " << deflection;
                } else if (deflection == 1.0f) {
                    EXPECT_GT(landed / asked, 1.3) << "the desktop's acceleration went unseen";
                }
            }
        },
        [](const std::filesystem::path& dir) {
            write_settings(dir, [](Config& config) { config.pointer_speed = kPointerSpeed; });
        },
        home.path());
    std::fflush(stdout);
    std::_Exit(status == 0 && failures() == failed_before ? 0 : 1);
}

// Before the program's own run below, in this process: each of these runs in a child. sway's
// profile is the default until the IPC route sets our device flat, so that one comes last.
TEST(ProgramOnWayland, ThePointerLandsWhatTheSettingsAsk) {
    // A program started earlier under this sway (the compositor tier's) took the IPC route,
    // which sway keeps for our pointer's identifier: sway's own default is put back first.
    const std::string reset =
        "swaymsg 'input \"" + sway_pointer_identifier() + "\" accel_profile adaptive' >/dev/null";
    ASSERT_TRUE(wait_until([&] { return std::system(reset.c_str()) == 0; }, 60s));
    // As the desktop accelerates it: printed for the figures, and fast steering overshoots,
    // which shows the measure sees acceleration at all.
    EXPECT_EQ(measure_landed_speed("leave", 0, "adaptive"), 0);
    EXPECT_EQ(measure_landed_speed("compensate", 0.05, "adaptive"), 0);
    EXPECT_EQ(measure_landed_speed("", 0.05, "flat"), 0);
}

TEST(ProgramOnWayland, TheControllerMovesClicksScrollsAndTypesInANativeWindow) {
    // Closed before the windows of two applications are shown, at the end.
    auto full_screen = std::make_unique<ProbeClient>();
    ProbeClient& probe = *full_screen;
    ASSERT_TRUE(probe.wait_for([](const std::string& l) { return l == "ready"; }, 0, 30s));
    // The session's choice, as the shell makes it at start: sway's session has WAYLAND_DISPLAY.
    const auto variable = [](const char* name) -> std::optional<std::string_view> {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string_view>(value) : std::nullopt;
    };
    const Result<OutputChoice> choice =
        choose_output(std::nullopt, {.display = variable("DISPLAY"),
                                     .wayland_display = variable("WAYLAND_DISPLAY"),
                                     .session_type = variable("XDG_SESSION_TYPE"),
                                     .qt_platform = variable("QT_QPA_PLATFORM")});
    ASSERT_TRUE(choice) << choice.error();
    ASSERT_EQ(choice->kind, OutputKind::Uinput) << choice->reason;
    set_chosen_output(choice->kind);

    const int status = ProgramRun::run(
        [&](ProgramRun& program) {
            // Events posted before sway has taken the devices up are lost.
            const std::string listed =
                "swaymsg -r -t get_inputs | grep -q '\"" + kKeyboardName + "\"'";
            ASSERT_TRUE(wait_until([&] { return std::system(listed.c_str()) == 0; }, 10s))
                << "sway never listed the program's devices";

            // A control held for a while and let go, as a thumb would; each gives the probe's
            // mark from before it.
            const auto push = [&](std::size_t axis, float value, std::chrono::milliseconds held) {
                const std::size_t mark = probe.mark();
                program.set_axis(axis, value);
                std::this_thread::sleep_for(held);
                program.set_axis(axis, 0);
                return mark;
            };
            const auto tap = [&](std::size_t button) {
                const std::size_t mark = probe.mark();
                program.set_button(button, true);
                std::this_thread::sleep_for(80ms);
                program.set_button(button, false);
                return mark;
            };

            std::size_t mark = push(kAxisLeftX, 0.8f, 300ms);
            EXPECT_TRUE(probe.wait_for_prefix("motion ", mark)) << "the left stick moved nothing";
            std::this_thread::sleep_for(100ms);
            const auto xs = numbers_after(probe.lines_since(mark), "motion ");
            ASSERT_FALSE(xs.empty());
            EXPECT_GT(xs.back(), xs.front()) << "the stick pushed right moved the pointer left";

            mark = tap(kButtonA);
            EXPECT_TRUE(probe.wait_for_line("button 272 pressed", mark));
            EXPECT_TRUE(probe.wait_for_line("button 272 released", mark));

            mark = push(kAxisRightY, 0.9f, 400ms);
            EXPECT_TRUE(probe.wait_for_prefix("axis vertical ", mark))
                << "the right stick scrolled nothing";
            // Pushed down, it scrolls down: Wayland's axis values are positive downward.
            for (double value : numbers_after(probe.lines_since(mark), "axis vertical "))
                EXPECT_GT(value, 0) << "a scroll up from the stick pushed down";

            mark = tap(kButtonY);
            ASSERT_TRUE(probe.wait_for_line("key 29 released", mark)) << "no shortcut arrived";
            std::vector<std::string> keys;
            for (const std::string& l : probe.lines_since(mark))
                if (starts_with(l, "key ")) keys.push_back(l);
            EXPECT_EQ(keys, (std::vector<std::string>{"key 29 pressed", "key 17 pressed",
                                                      "key 17 released", "key 29 released"}));

            // An application's bindings apply while its window is in front, as sway's window
            // list tells: X types "z" (key 44) from the main bindings and "x" (key 45) from
            // probe.two's profile, into the focused window, within 100 ms of a focus change.
            full_screen.reset();
            ProbeClient one("probe.one");
            ProbeClient two("probe.two");
            for (ProbeClient* window : {&one, &two})
                ASSERT_TRUE(window->wait_for_line("ready"));
            const auto press_in = [&](ProbeClient& window, const std::string& app_id) {
                const std::string focus = "swaymsg -q '[app_id=\"" + app_id + "\"] focus'";
                EXPECT_EQ(std::system(focus.c_str()), 0) << app_id;
                std::this_thread::sleep_for(100ms);
                const std::size_t from = window.mark();
                program.set_button(kButtonX, true);
                std::this_thread::sleep_for(80ms);
                program.set_button(kButtonX, false);
                return window.wait_for_prefix("key ", from).value_or("nothing");
            };
            EXPECT_EQ(press_in(one, "probe.one"), "key 44 pressed");
            EXPECT_EQ(press_in(two, "probe.two"), "key 45 pressed");
            EXPECT_EQ(press_in(one, "probe.one"), "key 44 pressed");
            EXPECT_EQ(press_in(two, "probe.two"), "key 45 pressed");
        },
        [](const std::filesystem::path& dir) {
            write_settings(dir, [](Config& config) {
                ASSERT_TRUE(apply_button_entry(config.buttons, "y", "ctrl+w").ok());
                ASSERT_TRUE(apply_button_entry(config.buttons, "y_hold", "none").ok());
                ASSERT_TRUE(apply_button_entry(config.buttons, "x", "z").ok());
                ASSERT_TRUE(apply_button_entry(config.buttons, "x_hold", "none").ok());
                AppProfile profile;
                profile.id = "Probe.Two";  // as a user might write it: letters in any case
                profile.name = "Probe two";
                profile.press[button_index(Button::X)] = parse_action("x");
                config.apps.push_back(profile);
            });
        });
    EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace thumbrover::testing
