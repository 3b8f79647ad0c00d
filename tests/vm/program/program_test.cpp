// Runs inside the virtual machine under sway headless (tests/vm/compositor.sh): the whole program,
// driven by a virtual controller, moves the pointer of a native Wayland window, clicks, scrolls
// and types a shortcut in it through its uinput devices.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/bindings/buttons.hpp"
#include "e2e/program.hpp"
#include "linux/output_choice.hpp"
#include "vm/probe_client.hpp"
#include "vm/uinput_output.hpp"

namespace thumbrover::testing {
namespace {

using namespace std::chrono_literals;

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
    const OutputChoice choice =
        choose_output(std::nullopt, variable("WAYLAND_DISPLAY"), variable("XDG_SESSION_TYPE"));
    ASSERT_EQ(choice.kind, OutputKind::Uinput) << choice.reason;
    set_chosen_output(choice.kind);

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
