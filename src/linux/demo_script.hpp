#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/result.hpp"
#include "linux/virtual_controller.hpp"

namespace thumbrover {

// One line of a demonstration script: at a time after the controller was connected, the virtual
// controller moves an axis or a button, or the demonstration says something, takes a screenshot,
// or unplugs and plugs in the controller again.
struct DemoStep {
    enum class Kind { Axis, Button, Say, Screenshot, Unplug, PlugIn };

    std::chrono::milliseconds at{0};
    Kind kind = Kind::Say;
    VirtualController::Axis axis = VirtualController::Axis::LeftX;
    VirtualController::Button button = VirtualController::Button::A;
    float value = 0.0f;    // Axis
    bool pressed = false;  // Button
    std::string text;      // Say
    int line = 0;
};

// Reads a script: one step a line, "TIME CONTROL VALUE" (milliseconds, an axis name and -1..1 or
// a button name and 1 or 0), "TIME say TEXT", "TIME screenshot", "TIME unplug", "TIME plug-in".
// Blank lines and lines starting with "#" are ignored; times never go backwards. Fails with
// "line N: " and what is wrong.
[[nodiscard]] Result<std::vector<DemoStep>> parse_demo_script(std::string_view text);

// The tour the demonstration plays when given no script: pointer motion and the ring, a click, a
// drag, scrolling, precise mode and switching off with the Xbox button.
[[nodiscard]] std::string_view default_demo_script();

}  // namespace thumbrover
