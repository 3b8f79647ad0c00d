#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/controller/link.hpp"

namespace thumbrover::fakes {

// Writes what the engine would hear into the test's log, in order ("Connected true",
// "Button 0 down", "Axis 1 -1.000000", "ControllerGone"). Given a mutex, it writes only while
// holding it, for a log another thread reads.
class RecordingEvents final : public ControllerEvents {
  public:
    explicit RecordingEvents(std::vector<std::string>& log, std::mutex* guard = nullptr)
        : log_(log), guard_(guard) {}
    void connected(bool is_connected) override {
        add(is_connected ? "Connected true" : "Connected false");
    }
    void button_changed(std::uint8_t index, bool pressed) override {
        add("Button " + std::to_string(index) + (pressed ? " down" : " up"));
    }
    void axis_changed(std::uint8_t index, float value) override {
        add("Axis " + std::to_string(index) + " " + std::to_string(value));
    }
    void controller_gone() override { add("ControllerGone"); }

  private:
    void add(std::string line) {
        std::unique_lock<std::mutex> lock;
        if (guard_ != nullptr) lock = std::unique_lock(*guard_);
        log_.push_back(std::move(line));
    }

    std::vector<std::string>& log_;
    std::mutex* guard_;
};

}  // namespace thumbrover::fakes
