#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cmath>
#include <cstddef>
#include <functional>
#include <optional>

#include "core/bindings/buttons.hpp"
#include "core/common/files.hpp"
#include "e2e/program.hpp"

// Xlib after Qt (program.hpp): its macros would otherwise clash with Qt's names.
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

extern char** environ;

namespace thumbrover {
namespace {

using namespace std::chrono_literals;
using testing::button_event;
using testing::key_press;
using testing::ProbeEvent;
using testing::ProgramRun;
using testing::XProbe;
using Clock = std::chrono::steady_clock;

constexpr unsigned long kProbeColour = 0x204060;

double seconds_between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Runs the program over a full-screen probe window with the pointer warped to (x, y) and nothing
// recorded yet; the program must end cleanly once the scenario is done.
void run_over_probe(int x, int y, const std::function<void(ProgramRun&, XProbe&)>& scenario,
                    const std::function<void(const std::filesystem::path&)>& prepare = {}) {
    const int status = ProgramRun::run(
        [&](ProgramRun& program) {
            XProbe probe(0, 0, 1920, 1080, kProbeColour);
            probe.warp_pointer(x, y);
            probe.clear();
            scenario(program, probe);
        },
        prepare);
    EXPECT_EQ(status, 0);
}

bool button1_held(const XProbe& probe) {
    return (probe.pointer().mask & Button1Mask) != 0;
}

// A press long enough for a poll to see, as a real controller's always is.
void tap(ProgramRun& program, std::size_t button) {
    program.set_button(button, true);
    std::this_thread::sleep_for(60ms);
    program.set_button(button, false);
}

// The ring: a mapped 36-point square (the default circle scale of 1.5) that is not the probe.
std::optional<XRectangle> ring_window(const XProbe& probe) {
    for (const Window w : probe.mapped_top_levels()) {
        if (w == probe.window()) continue;
        const auto g = probe.geometry(w);
        if (g && g->width == 36 && g->height == 36) return g;
    }
    return std::nullopt;
}

TEST(Program, LeftStickMovesThePointerAtAboutThePointerSpeed) {
    run_over_probe(200, 540, [](ProgramRun& program, XProbe& probe) {
        program.set_axis(testing::kAxisLeftX, 1.0f);
        // Measure once the motion is under way, so start-up lag does not count.
        ASSERT_TRUE(testing::wait_until([&] { return probe.pointer().x > 260; }, 3s));
        const auto x0 = probe.pointer().x;
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(600ms);
        const auto x1 = probe.pointer().x;
        const double speed = (x1 - x0) / seconds_between(t0, Clock::now());
        program.set_axis(testing::kAxisLeftX, 0.0f);
        EXPECT_NEAR(speed, 800.0, 800.0 * 0.3) << "pixels per second at full deflection";
        EXPECT_NEAR(probe.pointer().y, 540, 2) << "straight to the right";
    });
}

TEST(Program, TheRingFollowsThePointerWhileSteeringAndLeavesAfterTheIdleTime) {
    run_over_probe(400, 400, [](ProgramRun& program, XProbe& probe) {
        EXPECT_FALSE(ring_window(probe).has_value());
        program.set_axis(testing::kAxisLeftX, 0.8f);
        program.set_axis(testing::kAxisLeftY, 0.8f);
        ASSERT_TRUE(testing::wait_until([&] { return ring_window(probe).has_value(); }, 3s))
            << "no ring while steering";
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(100ms);
            const auto ring = ring_window(probe);
            ASSERT_TRUE(ring.has_value());
            const auto p = probe.pointer();
            // Centred on the pointer, give or take the pointer's travel in one tick or two.
            EXPECT_NEAR(ring->x + 18, p.x, 30);
            EXPECT_NEAR(ring->y + 18, p.y, 30);
        }
        program.set_axis(testing::kAxisLeftX, 0.0f);
        program.set_axis(testing::kAxisLeftY, 0.0f);
        const auto stopped = Clock::now();
        std::this_thread::sleep_for(500ms);
        EXPECT_TRUE(ring_window(probe).has_value()) << "gone well before steering_idle_ms";
        ASSERT_TRUE(testing::wait_until([&] { return !ring_window(probe).has_value(); }, 4s));
        EXPECT_NEAR(seconds_between(stopped, Clock::now()), 1.0, 0.6) << "steering_idle_ms is 1000";
    });
}

TEST(Program, AHeldWhileSteeringDragsInTheWindowBeneath) {
    run_over_probe(900, 500, [](ProgramRun& program, XProbe& probe) {
        program.set_button(testing::kButtonA, true);
        const auto press = probe.wait_for(button_event(ButtonPress, 1), 3s);
        ASSERT_TRUE(press.has_value()) << "A did not press button 1";
        program.set_axis(testing::kAxisLeftX, -0.8f);
        std::this_thread::sleep_for(400ms);
        program.set_axis(testing::kAxisLeftX, 0.0f);
        program.set_button(testing::kButtonA, false);
        const auto release = probe.wait_for(button_event(ButtonRelease, 1), 3s);
        ASSERT_TRUE(release.has_value());
        int drag_motions = 0;
        for (const ProbeEvent& e : probe.events())
            if (e.type == MotionNotify && (e.state & Button1Mask) != 0 && e.time >= press->time &&
                e.time <= release->time)
                ++drag_motions;
        EXPECT_GT(drag_motions, 5) << "motion with button 1 held between press and release";
        EXPECT_LT(release->x_root, press->x_root - 100) << "the release lands where it was dragged";
    });
}

TEST(Program, RightStickUpScrollsUpAtAboutFifteenNotchesASecond) {
    run_over_probe(900, 500, [](ProgramRun& program, XProbe& probe) {
        program.set_axis(testing::kAxisRightY, -1.0f);
        ASSERT_TRUE(probe.wait_for(button_event(ButtonPress, 4), 3s));
        std::this_thread::sleep_for(1500ms);
        program.set_axis(testing::kAxisRightY, 0.0f);
        std::this_thread::sleep_for(100ms);
        // The rate between the first and the last click, by the server's clock.
        std::vector<Time> up;
        int other = 0;
        for (const ProbeEvent& e : probe.events()) {
            if (e.type != ButtonPress) continue;
            if (e.button == 4)
                up.push_back(e.time);
            else
                ++other;
        }
        ASSERT_GE(up.size(), 10u);
        const double span = static_cast<double>(up.back() - up.front()) / 1000.0;
        EXPECT_NEAR(static_cast<double>(up.size() - 1) / span, 15.0, 5.0)
            << up.size() << " notches in " << span << " s";
        EXPECT_EQ(other, 0) << "only wheel-up clicks";
    });
}

TEST(Program, MediaKeysAndShortcutsArriveWithTheirModifiers) {
    run_over_probe(
        900, 500,
        [](ProgramRun& program, XProbe& probe) {
            probe.raise();
            probe.clear();
            tap(program, testing::kButtonMenu);
            const auto play = probe.wait_for(key_press(XF86XK_AudioPlay), 3s);
            ASSERT_TRUE(play.has_value()) << "Menu is play-pause";
            EXPECT_EQ(play->state & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask), 0u);

            tap(program, testing::kButtonY);
            const auto t = probe.wait_for(key_press(XK_t), 3s);
            ASSERT_TRUE(t.has_value()) << "Y is ctrl+shift+t here";
            EXPECT_EQ(t->state & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask),
                      static_cast<unsigned>(ShiftMask | ControlMask));
            // Nothing stays held afterwards.
            std::this_thread::sleep_for(200ms);
            int presses = 0;
            int releases = 0;
            for (const ProbeEvent& e : probe.events()) {
                presses += e.type == KeyPress;
                releases += e.type == KeyRelease;
            }
            EXPECT_EQ(presses, releases);
        },
        [](const std::filesystem::path& dir) {
            testing::write_settings(dir, [](Config& config) {
                ASSERT_TRUE(apply_button_entry(config.buttons, "y", "ctrl+shift+t").ok());
            });
        });
}

// The left trigger as the shift: held, it gives the right bumper Ctrl+Tab, and its own
// volume-down (or the bumper's next-track) never reaches the window.
TEST(Program, AChordOfTheShiftTriggerAndTheBumperSendsTheShiftedShortcut) {
    constexpr std::size_t kAxisLeftTrigger = 4;
    constexpr std::size_t kButtonRightBumper = 5;
    run_over_probe(
        900, 500,
        [](ProgramRun& program, XProbe& probe) {
            probe.raise();
            probe.clear();
            program.set_axis(kAxisLeftTrigger, 1.0f);
            std::this_thread::sleep_for(100ms);
            tap(program, kButtonRightBumper);
            const auto tab = probe.wait_for(key_press(XK_Tab), 3s);
            ASSERT_TRUE(tab.has_value()) << "RB with LT held is ctrl+tab";
            EXPECT_EQ(tab->state & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask),
                      static_cast<unsigned>(ControlMask));
            // Long enough for a volume key held from the trigger's press to have repeated.
            std::this_thread::sleep_for(500ms);
            program.set_axis(kAxisLeftTrigger, 0.0f);
            std::this_thread::sleep_for(200ms);
            int releases = 0;
            for (const ProbeEvent& e : probe.events()) {
                if (e.type == KeyPress) {
                    EXPECT_TRUE(e.keysym == XK_Tab || e.keysym == XK_Control_L ||
                                e.keysym == XK_Control_R)
                        << "an unexpected key: " << e.keysym;
                }
                releases += e.type == KeyRelease;
            }
            EXPECT_EQ(releases, 2) << "ctrl and tab come up again";
        },
        [](const std::filesystem::path& dir) {
            ASSERT_TRUE(write_file_atomically(dir / "config.toml",
                                              "[buttons]\n"
                                              "left_trigger = \"shift-layer\"\n"
                                              "[shifted]\n"
                                              "right_bumper = \"ctrl+tab\"\n")
                            .ok());
        });
}

TEST(Program, UnpluggingWhileAIsHeldReleasesTheButton) {
    run_over_probe(900, 500, [](ProgramRun& program, XProbe& probe) {
        program.set_button(testing::kButtonA, true);
        ASSERT_TRUE(testing::wait_until([&] { return button1_held(probe); }, 3s));
        program.unplug();
        EXPECT_TRUE(testing::wait_until([&] { return !button1_held(probe); }, 3s))
            << "button 1 stuck after the controller went away";
        EXPECT_TRUE(probe.wait_for(button_event(ButtonRelease, 1), 1s));
        EXPECT_TRUE(testing::wait_until([&] { return !program.connected(); }, 2s));
        EXPECT_TRUE(testing::wait_until(
            [&] { return program.tray_status() == "Controller not connected"; }, 2s));
    });
}

TEST(Program, HoldingTheXboxButtonForASecondSwitchesOff) {
    std::filesystem::path enabled_file;
    const int status = ProgramRun::run([&](ProgramRun& program) {
        enabled_file = program.app_dir() / "enabled";
        EXPECT_TRUE(testing::wait_until([&] { return program.tray_status() == "On"; }, 2s));
        program.set_button(testing::kButtonXbox, true);
        std::this_thread::sleep_for(1300ms);
        program.set_button(testing::kButtonXbox, false);
        EXPECT_TRUE(testing::wait_until([&] { return program.tray_status() == "Off"; }, 2s))
            << program.tray_status();
        auto text = read_file(enabled_file);
        ASSERT_TRUE(text.ok()) << text.error();
        EXPECT_EQ(*text, "false");

        // Switched off, the stick does nothing.
        XProbe probe(0, 0, 1920, 1080, kProbeColour);
        probe.warp_pointer(500, 500);
        program.set_axis(testing::kAxisLeftX, 1.0f);
        std::this_thread::sleep_for(400ms);
        program.set_axis(testing::kAxisLeftX, 0.0f);
        EXPECT_EQ(probe.pointer().x, 500);
    });
    EXPECT_EQ(status, 0);
}

TEST(Program, QuitInTheTrayMenuEndsItAndLetsGoOfAHeldButton) {
    run_over_probe(900, 500, [](ProgramRun& program, XProbe& probe) {
        program.set_button(testing::kButtonA, true);
        ASSERT_TRUE(testing::wait_until([&] { return button1_held(probe); }, 3s));
        ASSERT_TRUE(program.choose_menu_item("Quit Thumbrover"));
        EXPECT_TRUE(testing::wait_until([&] { return !button1_held(probe); }, 3s))
            << "button 1 stuck after quitting";
    });
}

}  // namespace
}  // namespace thumbrover
