#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/common/result.hpp"

namespace thumbrover {

inline constexpr std::size_t kSnapshotButtons = 11;
inline constexpr std::size_t kSnapshotAxes = 8;
// Axes 0..3 are the two sticks.
inline constexpr std::size_t kSnapshotStickAxes = 4;

// One complete reading of a controller with the extended (Xbox) layout.
//
// Buttons: 0 A, 1 B, 2 X, 3 Y, 4 left bumper, 5 right bumper, 6 View, 7 Menu, 8 Xbox (home),
// 9 left stick click, 10 right stick click. A button the controller lacks reads false.
// Axes: 0 left x, 1 left y, 2 right x, 3 right y, 4 left trigger, 5 right trigger, 6 D-pad x,
// 7 D-pad y. Sticks and D-pad run -1..1 with y positive DOWNWARD (the adapter negates the y of
// platforms that report up as positive); triggers run 0..1.
struct ControllerSnapshot {
    std::array<bool, kSnapshotButtons> buttons{};
    std::array<float, kSnapshotAxes> axes{};

    friend bool operator==(const ControllerSnapshot&, const ControllerSnapshot&) = default;
};

// The sticks of a snapshot: left x, left y, right x, right y.
using StickAxes = std::array<float, kSnapshotStickAxes>;

// What a controller service can tell its reader, as bits of one byte.
enum class ControllerNews : std::uint8_t {
    // A controller's input may have changed.
    Input = 1,
    // A controller may have come or gone.
    Devices = 2,
    // The engine asked for a rumble.
    Feedback = 4,
    // The reader is to end.
    Stop = 8,
    // The engine started or stopped steering (`ControllerLink::steering`).
    Pace = 16,
};

// Identifies one connected controller. The adapter keeps an identity stable for as long as that
// controller stays connected and never hands the same identity to a different controller, so
// comparing identities across polls tells whether the current controller is still there.
using ControllerId = std::uint64_t;

// The platform's game-controller service. Called from one thread at a time, except where a method
// says otherwise: the controller reader's, and the engine's for its reads before a tick while it
// steers, both under the controller link's lock. No method blocks.
class GamepadApi {
  public:
    virtual ~GamepadApi() = default;

    // The connected controllers, in the platform's own order.
    [[nodiscard]] virtual std::vector<ControllerId> controllers() = 0;

    // Whether the controller can be read with the extended layout (two sticks, two triggers, a
    // D-pad, four face buttons and two bumpers). False for a controller that is gone.
    [[nodiscard]] virtual bool has_extended_profile(ControllerId id) = 0;

    // Its current state, or none when it has no extended profile (any more).
    [[nodiscard]] virtual std::optional<ControllerSnapshot> read(ControllerId id) = 0;

    // Only its sticks (`ControllerSnapshot::axes` 0..3), for the engine's read before each tick
    // while it steers. A service whose full read costs more than its sticks' says so here.
    [[nodiscard]] virtual std::optional<StickAxes> read_sticks(ControllerId id) {
        const std::optional<ControllerSnapshot> full = read(id);
        if (!full) return std::nullopt;
        StickAxes sticks;
        std::copy_n(full->axes.begin(), sticks.size(), sticks.begin());
        return sticks;
    }

    // The name its maker gives it, when the platform knows one.
    [[nodiscard]] virtual std::optional<std::string> vendor_name(ControllerId id) = 0;

    // Charge from 0 (empty) to 1 (full), or none when the controller reports no battery.
    [[nodiscard]] virtual std::optional<float> battery_level(ControllerId id) = 0;

    // Stops the system from acting on the Xbox (home) button itself, so it is ours alone.
    // Does nothing for a controller without that button or on a platform without such a use.
    virtual void disable_home_gesture(ControllerId id) = 0;

    // One short full-strength vibration (0.15 s) that ends by itself; returns at once. Fails with
    // a one-line reason, for instance "controller has no haptics".
    virtual Result<void> rumble_once(ControllerId id) = 0;

    // The poll has stopped using this controller (it vanished): drop whatever was opened for it,
    // haptics included. The identity is never passed again.
    virtual void release(ControllerId id) = 0;

    // While `quiet` holds, a report that changes nothing but a stick need not be announced (the
    // engine reads the controller at each of its ticks then); buttons, triggers and the D-pad are
    // announced as ever. A service that cannot tell the difference announces every report.
    virtual void quiet_sticks(bool quiet) { (void)quiet; }

    // From now on, calls `news` with `Input` whenever a controller's state may have changed and
    // with `Devices` whenever a controller may have come or gone, from any thread, until the
    // service is destroyed: GameController's value-changed handlers and connect notifications,
    // or descriptors that become readable. A call too many is harmless; a missed one leaves a
    // change unread until the next. Returns false when the service cannot announce anything,
    // and its reader then reads on a fixed timer.
    virtual bool watch(std::function<void(ControllerNews)> news) {
        (void)news;
        return false;
    }
};

}  // namespace thumbrover
