#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/controller/link.hpp"

namespace thumbrover::fakes {

// Writes what the engine would hear into the test's log, in order ("Connected true",
// "Button 0 down", "Axis 1 -1.000000", "ControllerGone").
class RecordingEvents final : public ControllerEvents {
  public:
    explicit RecordingEvents(std::vector<std::string>& log) : log_(log) {}
    void connected(bool is_connected) override {
        log_.push_back(is_connected ? "Connected true" : "Connected false");
    }
    void button_changed(std::uint8_t index, bool pressed) override {
        log_.push_back("Button " + std::to_string(index) + (pressed ? " down" : " up"));
    }
    void axis_changed(std::uint8_t index, float value) override {
        log_.push_back("Axis " + std::to_string(index) + " " + std::to_string(value));
    }
    void controller_gone() override { log_.push_back("ControllerGone"); }

  private:
    std::vector<std::string>& log_;
};

}  // namespace thumbrover::fakes
