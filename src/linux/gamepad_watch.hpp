#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/common/files.hpp"
#include "core/common/result.hpp"
#include "platform/gamepad.hpp"

namespace thumbrover {

// Tells when the controllers may have something new, without reading them: the kernel makes the
// device node of a controller readable when it reports (every reader of the node gets its own
// copy of each report, so draining ours takes nothing from SDL), and the device folder changes
// when a controller comes, goes or becomes readable to us. One thread blocks in poll() on those
// descriptors and costs nothing while they are quiet.
class GamepadWatch {
  public:
    using Announce = std::function<void(ControllerNews)>;

    // Fails when the thread's descriptors cannot be made. A missing device folder only means that
    // hot-plugged controllers are not announced by the folder.
    [[nodiscard]] static Result<std::unique_ptr<GamepadWatch>> start(
        Announce announce, std::filesystem::path devices = "/dev/input");

    GamepadWatch(const GamepadWatch&) = delete;
    GamepadWatch& operator=(const GamepadWatch&) = delete;
    // Stops the thread and closes every descriptor.
    ~GamepadWatch();

    // Watches the device node of a controller ("/dev/input/event5", "/dev/hidraw2"); a node that
    // cannot be opened is left out, and a controller without one (SDL's virtual joysticks)
    // announces itself through `announce`. `stick_axes`: the joystick axes (as SDL numbers them)
    // that carry its sticks.
    void watch_device(ControllerId id, const std::string& node, std::vector<int> stick_axes = {});
    void forget_device(ControllerId id);

    // While true, reports that move only a stick wake nobody: an evdev node is told to leave the
    // sticks' axes out of what it hands this watch (the kernel then drops a report with nothing
    // else in it before it wakes the thread). A node that cannot be told (hidraw) wakes the
    // thread on every report as before.
    void quiet_sticks(bool quiet);

    // `sticks_only`: the report moved nothing but a stick, and goes unannounced while quiet.
    void announce(ControllerNews news, bool sticks_only = false) const {
        if (sticks_only && quiet_.load(std::memory_order_relaxed)) return;
        announce_(news);
    }

  private:
    GamepadWatch(Announce announce, UniqueFd wake, UniqueFd folder);
    void run();
    void poke() const;

    struct Wanted {
        std::string node;
        std::vector<int> stick_axes;
    };

    Announce announce_;
    UniqueFd wake_;
    UniqueFd folder_;
    std::mutex mutex_;
    // What the thread should watch; the thread alone opens and closes the nodes.
    std::map<ControllerId, Wanted> wanted_;
    std::atomic<bool> quiet_{false};
    bool stopping_ = false;
    std::thread thread_;
};

// The evdev codes of the joystick axes numbered `axes` on a node whose absolute axes are the set
// bits of `abs_bits` (EVIOCGBIT for EV_ABS): SDL numbers a node's absolute axes in the order of
// their codes, leaving out the hats. Numbers beyond the node's axes are left out.
[[nodiscard]] std::vector<std::uint16_t> abs_codes_of_axes(std::span<const std::uint8_t> abs_bits,
                                                           std::span<const int> axes);

// Tells every watch in the process: what a controller without a device node (SDL's virtual
// joystick) does in place of the kernel making its node readable. `sticks_only` as for
// `GamepadWatch::announce`.
void announce_virtual_controller(ControllerNews news, bool sticks_only = false);

// What stands in for the kernel's event masks on a virtual controller's node, which is a pipe and
// has none: told the joystick axes (as SDL numbers them) whose reports to leave out, as the
// kernel is for an evdev node; none left out after an empty list.
using NodeQuiet = std::function<void(const std::vector<int>& quiet_axes)>;

// A virtual controller that reports through a node of its own, as a real one does through its
// device node: a pipe its driver writes evdev records into. SDL knows no node for a virtual
// joystick, so it is named here, before the controller is announced.
void set_virtual_controller_node(ControllerId id, std::string node, NodeQuiet quiet = {});
void clear_virtual_controller_node(ControllerId id);
// The node named for `id`, if any.
[[nodiscard]] std::optional<std::string> virtual_controller_node(ControllerId id);

}  // namespace thumbrover
