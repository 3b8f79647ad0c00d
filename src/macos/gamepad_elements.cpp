#include "macos/gamepad_elements.hpp"

#include <algorithm>
#include <cmath>

namespace thumbrover {
namespace {

float within(float value, float low, float high) {
    if (std::isnan(value)) return 0.0f;
    return std::clamp(value, low, high);
}

bool is_trigger(GamepadAxis axis) {
    return axis == GamepadAxis::LeftTrigger || axis == GamepadAxis::RightTrigger;
}

}  // namespace

ControllerSnapshot read_snapshot(const GamepadReader& reader) {
    ControllerSnapshot snapshot;
    for (std::size_t i = 0; i < kButtonSources.size(); ++i)
        snapshot.buttons[i] = reader.pressed(kButtonSources[i].element).value_or(false);
    for (std::size_t i = 0; i < kAxisSources.size(); ++i) {
        const AxisSource& source = kAxisSources[i];
        const float raw = reader.value(source.element);
        const float value =
            is_trigger(source.element) ? within(raw, 0.0f, 1.0f) : within(raw, -1.0f, 1.0f);
        snapshot.axes[i] = source.negated ? -value : value;
    }
    return snapshot;
}

}  // namespace thumbrover
