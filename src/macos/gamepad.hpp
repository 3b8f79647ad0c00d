#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gamepad.hpp"

namespace thumbrover {

// Controllers through Apple's GameController framework, read with the extended gamepad profile
// (View, Menu and Xbox are buttonOptions, buttonMenu and buttonHome), rumbled through Core
// Haptics. Identities are handed out per GCController object (compared with isEqual:) and never
// reused.
//
// Threads. The framework posts its connect and disconnect notifications on the main thread and
// documents nothing about calling it from others, so the controller list and everything that
// changes a controller (handlers, handler queue, the home button's gesture) are touched on the
// main thread only: once `watch` was called, `controllers` hands out the list the main thread took
// at the last notification, and `disable_home_gesture` passes its change to the main queue. Neither
// waits for the main thread, which joins the reader at the end. Element values, name, battery and
// haptics are read on the caller's thread, the controller reader's, the way games read them from
// a game-loop thread. `watch` and the destructor belong on the main thread (elsewhere their
// main-thread part is queued there); every other method is called from one thread at a time.
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
    // The value-changed handlers stop announcing reports that moved only a thumbstick.
    void quiet_sticks(bool quiet) override;
    // Connect and disconnect notifications announce `Devices`; every extended gamepad's
    // value-changed handler announces `Input`, on a serial queue of the adapter's own so that
    // news does not wait for a busy main thread. The handlers are taken off when a controller
    // disconnects and when the adapter ends. Called once.
    bool watch(std::function<void(ControllerNews)> news) override;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Lets controller input keep arriving while another program is in front. Called once at start,
// on the main thread, before the first poll.
void monitor_controllers_in_background();

}  // namespace thumbrover
