#pragma once

#include <cstdint>

#include "core/common/result.hpp"

namespace thumbrover {

// One reference to SDL's game-controller subsystem (which brings the joystick and event
// subsystems with it), set up for a program without SDL windows: no video, input while another
// program has the focus, and the process's signals left to their owner. SDL counts references,
// so several owners may hold one at once; the last to go shuts the subsystem down.
class SdlGameControllerSubsystem {
  public:
    // Fails with "could not start SDL's game controller support: " and SDL's reason.
    [[nodiscard]] static Result<SdlGameControllerSubsystem> start();

    SdlGameControllerSubsystem(SdlGameControllerSubsystem&& other) noexcept
        : active_(other.active_) {
        other.active_ = false;
    }
    SdlGameControllerSubsystem& operator=(SdlGameControllerSubsystem&& other) noexcept;
    SdlGameControllerSubsystem(const SdlGameControllerSubsystem&) = delete;
    SdlGameControllerSubsystem& operator=(const SdlGameControllerSubsystem&) = delete;
    ~SdlGameControllerSubsystem();

  private:
    SdlGameControllerSubsystem() = default;
    bool active_ = false;
};

}  // namespace thumbrover
