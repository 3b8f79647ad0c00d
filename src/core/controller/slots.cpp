#include "core/controller/slots.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/common/numeric.hpp"

namespace thumbrover {

void ControllerSlots::set_name(std::optional<std::string> name) {
    std::lock_guard lock(name_mutex_);
    name_ = std::move(name);
}

std::optional<std::string> ControllerSlots::name() const {
    std::lock_guard lock(name_mutex_);
    return name_;
}

void ControllerSlots::set_battery(std::optional<float> level) {
    std::lock_guard lock(battery_mutex_);
    battery_ = level;
}

std::optional<float> ControllerSlots::battery() const {
    std::lock_guard lock(battery_mutex_);
    return battery_;
}

ControllerSlots& controller_slots() {
    static ControllerSlots slots;
    return slots;
}

std::optional<std::string> battery_text(std::optional<float> level) {
    if (!level || std::isnan(*level)) return std::nullopt;
    const float clamped = std::clamp(*level, 0.0f, 1.0f);
    if (clamped <= 0.2f) return std::string("Low");
    const int percent = saturate_cast<int>(std::round(clamped * 100.0f));
    return std::to_string(percent) + "%";
}

std::optional<float> battery_level() {
    return controller_slots().battery();
}

std::optional<std::string> battery_text() {
    return battery_text(battery_level());
}

std::optional<std::string> controller_name() {
    return controller_slots().name();
}

}  // namespace thumbrover
