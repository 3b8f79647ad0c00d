#pragma once

#include <cstdint>
#include <memory>

namespace thumbrover {

// NSActivityUserInitiatedAllowingIdleSystemSleep | NSActivityLatencyCritical, spelled out so the
// choice is tested without Foundation (the adapter checks the value against the SDK's names):
// the system neither naps the program nor coalesces its timers while someone steers, and still
// lets the Mac sleep when nobody touches anything.
inline constexpr std::uint64_t kSteeringActivityOptions = 0x00FF'0000'0000ULL | 0x00EF'FFFFULL;

// One activity the system has been told about; ends when destroyed.
class ProcessActivity {
  public:
    virtual ~ProcessActivity() = default;
};

// Starts an activity with `kSteeringActivityOptions`; none when the system gives none.
using BeginActivity = std::unique_ptr<ProcessActivity> (*)();

// The macOS one: NSProcessInfo beginActivityWithOptions:reason:, ended with endActivity:.
[[nodiscard]] std::unique_ptr<ProcessActivity> begin_steering_activity();

// Holds the steering activity exactly while the program is on and a controller is connected:
// then a stick may move the pointer at any moment, and a napping program would move it in jerks.
// Off, or without a controller, nothing is held, so the system may nap the program and sleep.
// Main thread only.
class SteeringActivity {
  public:
    explicit SteeringActivity(BeginActivity begin) : begin_(begin) {}

    // The program's state changed (or may have): `active` is on and connected.
    void update(bool active);
    [[nodiscard]] bool held() const { return held_ != nullptr; }

  private:
    BeginActivity begin_;
    std::unique_ptr<ProcessActivity> held_;
    bool wanted_ = false;
};

}  // namespace thumbrover
