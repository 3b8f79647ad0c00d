#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/common/files.hpp"
#include "linux/x11_display.hpp"
#include "platform/mouse_watcher.hpp"

namespace thumbrover {

// Whether an input device is one of the server's XTEST devices, through which every event the
// program posts arrives ("Virtual core XTEST pointer", and "<master> XTEST pointer" for every
// further master pointer).
[[nodiscard]] bool is_xtest_device_name(std::string_view name);

// Whether a raw motion event moves the pointer: axis 0 or 1 changes. `mask` is the event's
// valuator bit mask and `raw_values` holds one value for each bit set, in axis order. Wheels and
// touchpads scroll through further axes, and a scroll is not the user taking the mouse.
[[nodiscard]] bool raw_motion_moves_pointer(std::span<const unsigned char> mask,
                                            std::span<const double> raw_values);

struct InputDeviceInfo {
    // The server's roles: the master devices are the cursors and focuses that slaves, the
    // physical devices, drive; a floating slave drives none.
    enum class Use { Master, Slave, Floating };

    int id = 0;
    std::string name;
    Use use = Use::Slave;
};

// The devices whose raw motion the watcher asks the server for: every slave that drives a master
// except the XTEST ones. The program's own motion then never reaches the watcher at all, so
// steering does not wake it a hundred times a second to throw each event away.
[[nodiscard]] std::vector<int> devices_to_watch(const std::vector<InputDeviceInfo>& devices);

// The origin of motion by source device, learnt from the server's device list. A device the list
// does not name counts as real: missing the user's own mouse would leave the ring up under it.
class MotionSources {
  public:
    using DeviceLister = std::function<std::vector<InputDeviceInfo>()>;

    void learn(const std::vector<InputDeviceInfo>& devices);
    // The origin of a motion from the device. A device not seen before makes it ask the server's
    // list again once (it may have just been plugged in); still unnamed, it counts as real.
    [[nodiscard]] MotionOrigin classify(int device_id, const DeviceLister& list_devices);

  private:
    std::unordered_map<int, bool> xtest_;
};

// Raw pointer motion from XInput 2 on the root window of its own X connection, which sees every
// device's motion whichever window has the pointer or a grab. Used by the watcher thread only.
class X11MouseWatcher final : public MouseMotionSource {
  public:
    X11MouseWatcher();

    // NotAllowedYet while no X display can be opened; Failed when the server lacks XInput 2.
    [[nodiscard]] WatchStart start() override;
    // There is no permission to wait for on X11, only a display that cannot be reached yet.
    [[nodiscard]] std::string_view waiting_for() const override { return "the X display"; }
    // Once the display has gone away, waits for the stop that the program's end brings instead
    // of ending the stream, which would be a second report of the same loss.
    [[nodiscard]] std::optional<MotionOrigin> next_motion() override;
    // Wakes the watcher thread's wait through a descriptor of its own, which that wait polls
    // along with the connection; without one, the wait looks at the flag a few times a second.
    void stop() override;

    enum class Wait { Motion, TimedOut, Ended };
    struct Waited {
        Wait outcome = Wait::Ended;
        MotionOrigin origin = MotionOrigin::Real;
    };
    // next_motion with a time limit, for callers that must not block for ever (tests).
    [[nodiscard]] Waited wait_motion(std::optional<std::chrono::milliseconds> timeout);

  private:
    [[nodiscard]] std::vector<InputDeviceInfo> list_devices() const;
    void wait_for_stop();
    // Asks for the raw motion of the devices that are there now; called again whenever the
    // server's device list changes.
    void select_devices(const std::vector<InputDeviceInfo>& devices);

    UniqueFd stop_;
    std::atomic<bool> stopped_{false};
    // The server has gone: only a stop ends the wait now.
    bool display_gone_ = false;
    std::optional<X11Display> display_;
    int xi_opcode_ = 0;
    MotionSources sources_;
};

}  // namespace thumbrover
