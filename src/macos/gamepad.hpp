#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gamepad.hpp"

namespace thumbrover {

// Controllers through Apple's GameController framework, read with the extended gamepad profile
// (View, Menu and Xbox are buttonOptions, buttonMenu and buttonHome), rumbled through Core
// Haptics. Identities are handed out per GCController object (compared with isEqual:) and never
// reused. Main thread only.
class GameControllerGamepad final : public GamepadApi {
  public:
    GameControllerGamepad();
    ~GameControllerGamepad() override;
    GameControllerGamepad(const GameControllerGamepad&) = delete;
    GameControllerGamepad& operator=(const GameControllerGamepad&) = delete;

    [[nodiscard]] std::vector<ControllerId> controllers() override;
    [[nodiscard]] bool has_extended_profile(ControllerId id) override;
    [[nodiscard]] std::optional<ControllerSnapshot> read(ControllerId id) override;
    [[nodiscard]] std::optional<std::string> vendor_name(ControllerId id) override;
    [[nodiscard]] std::optional<float> battery_level(ControllerId id) override;
    void disable_home_gesture(ControllerId id) override;
    // One continuous Core Haptics event of 0.15 s at full intensity. The haptic engine is made on
    // the first rumble from the controller's haptics and started again on every rumble; the
    // player of the last rumble is kept while it plays.
    Result<void> rumble_once(ControllerId id) override;
    void release(ControllerId id) override;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Lets controller input keep arriving while another program is in front. Called once at start,
// on the main thread, before the first poll.
void monitor_controllers_in_background();

}  // namespace thumbrover
