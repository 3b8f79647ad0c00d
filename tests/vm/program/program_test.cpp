// Runs inside the virtual machine under sway headless (tests/vm/compositor.sh): the whole program,
// driven by a virtual controller, moves the pointer of a native Wayland window, clicks, scrolls
// and types a shortcut in it through its uinput devices.

#include <gtest/gtest.h>

#include <cstdlib>
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
    ProbeClient probe;
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
        },
        [](const std::filesystem::path& dir) {
            write_settings(dir, [](Config& config) {
                ASSERT_TRUE(apply_button_entry(config.buttons, "y", "ctrl+w").ok());
                ASSERT_TRUE(apply_button_entry(config.buttons, "y_hold", "none").ok());
            });
        });
    EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace thumbrover::testing
