#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

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
    // announces itself through `announce`.
    void watch_device(ControllerId id, const std::string& node);
    void forget_device(ControllerId id);

    void announce(ControllerNews news) const { announce_(news); }

  private:
    GamepadWatch(Announce announce, UniqueFd wake, UniqueFd folder);
    void run();
    void poke() const;

    Announce announce_;
    UniqueFd wake_;
    UniqueFd folder_;
    std::mutex mutex_;
    // What the thread should watch; the thread alone opens and closes the nodes.
    std::map<ControllerId, std::string> wanted_;
    bool stopping_ = false;
    std::thread thread_;
};

// Tells every watch in the process: what a controller without a device node (SDL's virtual
// joystick) does in place of the kernel making its node readable.
void announce_virtual_controller(ControllerNews news);

}  // namespace thumbrover
