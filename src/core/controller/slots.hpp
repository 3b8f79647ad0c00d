#pragma once

#include <mutex>
#include <optional>
#include <string>

namespace thumbrover {

// The current controller's name and battery level, written by the main thread's poll and read
// from any thread (the engine's battery watch, the setup window). Each value has its own lock,
// held only to copy it in or out.
class ControllerSlots {
  public:
    void set_name(std::optional<std::string> name);
    [[nodiscard]] std::optional<std::string> name() const;

    void set_battery(std::optional<float> level);
    [[nodiscard]] std::optional<float> battery() const;

  private:
    mutable std::mutex name_mutex_;
    std::optional<std::string> name_;
    mutable std::mutex battery_mutex_;
    std::optional<float> battery_;
};

// The process's slots, shared by the poll and every reader.
[[nodiscard]] ControllerSlots& controller_slots();

// "Low" at or below 0.2, otherwise the rounded percentage ("85%"); none without a level. A level
// outside 0..1 is clamped and a level that is not a number counts as none, so a driver's garbage
// never reaches the menu as "-3%" or "nan%".
[[nodiscard]] std::optional<std::string> battery_text(std::optional<float> level);

// The process-wide getters.
[[nodiscard]] std::optional<float> battery_level();
[[nodiscard]] std::optional<std::string> battery_text();
[[nodiscard]] std::optional<std::string> controller_name();

}  // namespace thumbrover
