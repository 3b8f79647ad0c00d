#pragma once

#include <chrono>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/result.hpp"

namespace thumbrover {

// One line of a demonstration script: at a time after the controller was connected, the virtual
// controller moves an axis or a button, or the demonstration says something, takes a screenshot,
// or unplugs and plugs in the controller again.
struct DemoStep {
    enum class Kind { Axis, Button, Say, Screenshot, Unplug, PlugIn };

    std::chrono::milliseconds at{0};
    Kind kind = Kind::Say;
    std::size_t index = 0;  // Axis, Button: the controller's axis or button number
    float value = 0.0f;     // Axis
    bool pressed = false;   // Button
    std::string text;       // Say
    int line = 0;
};

// Reads a script: one step a line, "TIME CONTROL VALUE" (milliseconds, then an axis name and
// -1..1 or a button name and 1 or 0; `demo_axis_names` and `demo_button_names` list them), "TIME
// say TEXT", "TIME screenshot", "TIME unplug", "TIME plug-in". Blank lines and lines starting with
// "#" are ignored; times never go backwards. Fails with "line N: " and what is wrong.
[[nodiscard]] Result<std::vector<DemoStep>> parse_demo_script(std::string_view text);

// The tour the demonstration plays when given no script: pointer motion and the ring, a click, a
// drag, scrolling, precise mode and switching off with the Xbox button.
[[nodiscard]] std::string_view default_demo_script();

// The names of the controller's axes and buttons, by their numbers: axes "left_x", "left_y",
// "right_x", "right_y", "left_trigger", "right_trigger", "dpad_x", "dpad_y"; buttons "a", "b",
// "x", "y", "left_bumper", "right_bumper", "view", "menu", "xbox", "left_stick", "right_stick".
[[nodiscard]] std::span<const std::string_view> demo_axis_names();
[[nodiscard]] std::span<const std::string_view> demo_button_names();

}  // namespace thumbrover
