#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/output/command.hpp"
#include "platform/event_output.hpp"

namespace thumbrover::fakes {

// Keeps every command it is given; the calls listed in `failing_calls` (counted from 0) fail the
// way a real output does.
class RecordingOutput final : public EventOutput {
  public:
    std::vector<OutputCommand> performed;
    std::set<std::size_t> failing_calls;
    // Runs inside every call, after the command was recorded (a test raises a signal here).
    std::function<void(const OutputCommand&)> on_perform;

    Result<void> perform(const OutputCommand& command) override {
        const std::size_t call = calls_++;
        performed.push_back(command);
        if (on_perform) on_perform(command);
        if (failing_calls.count(call) != 0) return Error{"could not create an input event"};
        return {};
    }

  private:
    std::size_t calls_ = 0;
};

class RecordingDesktopActions final : public DesktopActions {
  public:
    std::vector<std::string> calls;
    Result<void> overview_result;

    Result<void> show_overview() override {
        calls.push_back("overview");
        return overview_result;
    }
    Result<void> show_on_screen_keyboard() override {
        calls.push_back("keyboard");
        return {};
    }
};

}  // namespace thumbrover::fakes
