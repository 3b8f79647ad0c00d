#include "demo/demo_script.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <sstream>

namespace thumbrover {
namespace {

constexpr std::string_view kDefaultScript =
    R"(# Thumbrover's demonstration. Each line: milliseconds after the controller connected, then what
# the controller does (an axis and its value, -1..1 with y positive downward, triggers 0..1; or a
# button and 1 or 0), or "say", "screenshot", "unplug", "plug-in". Axes: left_x left_y right_x
# right_y left_trigger right_trigger dpad_x dpad_y. Buttons: a b x y left_bumper right_bumper view
# menu xbox left_stick right_stick.
0     say Left stick to the right, then down: the pointer moves and the ring follows it
0     left_x 1
700   left_x 0
700   left_y 0.8
1200  screenshot
1300  left_y 0
1600  say A pressed and released: a left click
1600  a 1
1700  a 0
2000  say A held while the stick moves: a drag
2000  a 1
2100  left_x -0.8
2800  left_x 0
2900  a 0
3200  say Right stick up: scrolling, about 15 wheel notches a second
3200  right_y -1
4200  right_y 0
4400  say Left stick click: precise mode, the same stick moves the pointer at a third of the speed
4400  left_stick 1
4500  left_stick 0
4600  left_x 1
5300  left_x 0
5400  left_stick 1
5500  left_stick 0
5800  say Xbox button held for a second: Thumbrover switches off and the stick does nothing
5800  xbox 1
7000  xbox 0
7200  left_x 1
7800  left_x 0
8000  say End of the demonstration
)";

constexpr std::array<std::string_view, 8> kAxisNames = {
    "left_x", "left_y", "right_x", "right_y", "left_trigger", "right_trigger", "dpad_x", "dpad_y"};
constexpr std::array<std::string_view, 11> kButtonNames = {
    "a",    "b",    "x",    "y",          "left_bumper", "right_bumper",
    "view", "menu", "xbox", "left_stick", "right_stick"};

std::optional<std::size_t> index_of(std::span<const std::string_view> names,
                                    std::string_view name) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return i;
    return std::nullopt;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string_view next_word(std::string_view& rest) {
    rest = trim(rest);
    const auto end = rest.find_first_of(" \t");
    const std::string_view word = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
    return word;
}

}  // namespace

std::string_view default_demo_script() {
    return kDefaultScript;
}

std::span<const std::string_view> demo_axis_names() {
    return kAxisNames;
}
std::span<const std::string_view> demo_button_names() {
    return kButtonNames;
}

Result<std::vector<DemoStep>> parse_demo_script(std::string_view text) {
    std::vector<DemoStep> steps;
    int number = 0;
    std::chrono::milliseconds last{0};
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++number;
        line = trim(line);
        if (line.empty() || line.front() == '#') continue;
        const auto fail = [number](const std::string& what) {
            return Error{"line " + std::to_string(number) + ": " + what};
        };

        DemoStep step;
        step.line = number;
        const std::string_view time = next_word(line);
        std::uint32_t ms = 0;
        const auto [ptr, ec] = std::from_chars(time.data(), time.data() + time.size(), ms);
        if (ec != std::errc{} || ptr != time.data() + time.size())
            return fail("`" + std::string(time) + "` is not a time in milliseconds");
        step.at = std::chrono::milliseconds(ms);
        if (step.at < last) return fail("the time goes backwards");
        last = step.at;

        const std::string_view control = next_word(line);
        if (control.empty()) return fail("nothing to do at " + std::string(time) + " ms");
        if (control == "say") {
            step.kind = DemoStep::Kind::Say;
            step.text = std::string(trim(line));
            steps.push_back(std::move(step));
            continue;
        }
        const std::string_view value = next_word(line);
        if (!trim(line).empty()) return fail("unexpected `" + std::string(trim(line)) + "`");
        if (control == "screenshot" || control == "unplug" || control == "plug-in") {
            if (!value.empty()) return fail("`" + std::string(control) + "` takes no value");
            step.kind = control == "screenshot" ? DemoStep::Kind::Screenshot
                        : control == "unplug"   ? DemoStep::Kind::Unplug
                                                : DemoStep::Kind::PlugIn;
        } else if (const auto axis = index_of(kAxisNames, control)) {
            step.kind = DemoStep::Kind::Axis;
            step.index = *axis;
            float v = 0.0f;
            const auto [p, e] = std::from_chars(value.data(), value.data() + value.size(), v);
            if (value.empty() || e != std::errc{} || p != value.data() + value.size() ||
                !std::isfinite(v) || v < -1.0f || v > 1.0f)
                return fail("`" + std::string(control) + "` needs a value from -1 to 1");
            step.value = v;
        } else if (const auto button = index_of(kButtonNames, control)) {
            step.kind = DemoStep::Kind::Button;
            step.index = *button;
            if (value != "0" && value != "1")
                return fail("`" + std::string(control) + "` needs 1 (pressed) or 0 (released)");
            step.pressed = value == "1";
        } else {
            return fail("unknown control `" + std::string(control) + "`");
        }
        steps.push_back(std::move(step));
    }
    return steps;
}

}  // namespace thumbrover
