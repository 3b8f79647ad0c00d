#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "core/common/clock.hpp"
#include "core/controller/link.hpp"
#include "core/controller/poll.hpp"
#include "platform/gamepad.hpp"

namespace thumbrover {

// Announcements for the controller reader, collected from any thread. Several that pile up while
// the reader is busy are taken in one go, so a flood of them costs one read.
class ControllerNewsBox {
  public:
    void post(ControllerNews news);
    // Waits until something was posted or `timeout` passed (none: for as long as it takes) and
    // takes everything posted so far, as a set of `ControllerNews` bits; 0 after a time-out.
    [[nodiscard]] std::uint8_t take(std::optional<std::chrono::nanoseconds> timeout);

  private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::uint8_t pending_ = 0;
};

struct ControllerReaderDeps {
    const Clock& clock;
    std::function<void(std::chrono::nanoseconds)> sleep;
    // Null until the engine has published it.
    std::function<ControllerLink*()> link = published_controller_link;
};

// Reads the controller when its service says something is new, rather than on a fixed timer, so a
// resting controller costs nothing and a change reaches the engine as soon as it is announced.
// Runs on a thread of its own, which alone calls the poller and through it the service.
class ControllerReader {
  public:
    // A controller that streams reports is read at most this often; what comes in meanwhile is
    // taken up by the next read, as the fixed poll did.
    static constexpr std::chrono::milliseconds kMinimumGap{4};
    // The battery has no announcement of its own; it is looked at this often.
    static constexpr std::chrono::seconds kBatteryLook{10};
    // Until the engine has published its link there is nobody to tell; look for it this often.
    static constexpr std::chrono::milliseconds kLinkLook{10};
    // A service that announces nothing is read at the fixed poll's rate.
    static constexpr std::chrono::milliseconds kFixedPoll{4};

    // `announcing`: whether the service posts news to `news`; without it the reader polls.
    ControllerReader(ControllerPoller& poller, ControllerNewsBox& news, bool announcing,
                     ControllerReaderDeps deps);
    // Takes back what it handed the engine's link.
    ~ControllerReader();
    ControllerReader(const ControllerReader&) = delete;
    ControllerReader& operator=(const ControllerReader&) = delete;

    // How long the next wait may last: none when only news can bring anything new.
    [[nodiscard]] std::optional<std::chrono::nanoseconds> wait_time(
        std::chrono::nanoseconds now) const;

    // One round: waits for news or the next due look, then reads. False once `Stop` was taken.
    bool step();
    void run() {
        while (step()) {
        }
    }

  private:
    ControllerPoller& poller_;
    ControllerNewsBox& news_;
    bool announcing_;
    ControllerReaderDeps deps_;
    bool listening_ = false;
    std::optional<std::chrono::nanoseconds> last_read_;
    std::optional<std::chrono::nanoseconds> last_battery_look_;
};

}  // namespace thumbrover
