#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <utility>

#include "platform/gamepad.hpp"

namespace thumbrover {

// Carries a controller service's announcements to its reader. The framework's handlers and
// observers run on queues of their own and may still run after the service is gone, so they hold
// the relay (by shared pointer), never the service, and the service stops the relay when it ends.
class NewsRelay {
  public:
    explicit NewsRelay(std::function<void(ControllerNews)> news) : news_(std::move(news)) {}

    // Any thread. Does nothing once stopped.
    void announce(ControllerNews news);
    // A controller's report (`Input`); one that moved nothing but a stick is dropped while the
    // sticks are quiet. Any thread.
    void announce_report(bool sticks_only) {
        if (sticks_only && quiet_sticks_.load(std::memory_order_relaxed)) return;
        announce(ControllerNews::Input);
    }
    // See `GamepadApi::quiet_sticks`. Any thread. Coming off, it announces once: a stick may have
    // moved since the reader last looked, with nothing announced.
    void set_quiet_sticks(bool quiet) {
        if (quiet_sticks_.exchange(quiet) && !quiet) announce(ControllerNews::Input);
    }

    // Any thread but one inside `news`. When it returns, `news` has been destroyed (and with it
    // whatever it holds) and is never called again; an announcement under way on another thread
    // has finished.
    void stop();

  private:
    std::mutex mutex_;
    std::function<void(ControllerNews)> news_;
    std::atomic<bool> quiet_sticks_{false};
};

}  // namespace thumbrover
