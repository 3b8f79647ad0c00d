#pragma once

#include <cstdint>
#include <optional>

#include "core/app/tick.hpp"
#include "core/controller/link.hpp"
#include "core/controller/slots.hpp"
#include "platform/gamepad.hpp"

namespace thumbrover {

// Looking for controllers costs far more than reading one, so the list is checked only on every
// 125th poll: every 500 ms at the 4 ms timer.
inline constexpr std::uint32_t kControllerRefreshPolls = 125;

// Keeps one controller as the current one, reads it when its reader (or the main-thread tick)
// polls and tells the engine what changed. One thread at a time, under the controller link's
// lock: the poller's, and the engine's for `sample`.
class ControllerPoller final : public ControllerPollStep {
  public:
    explicit ControllerPoller(GamepadApi& api, ControllerSlots& slots = controller_slots());

    // One poll. Does nothing until the engine has published its link (null).
    void poll(ControllerLink* link);
    // Polls with the process's published link; the timer tick calls this.
    void poll_controller() override { poll(published_controller_link()); }

    [[nodiscard]] std::optional<ControllerId> current() const { return current_; }
    [[nodiscard]] bool has_controller() const override { return current_.has_value(); }
    void set_polls_per_refresh(std::uint32_t polls) override {
        polls_per_refresh_ = polls == 0 ? 1 : polls;
    }
    // The next linked poll looks for controllers (and reads the battery) whatever the count.
    void request_refresh() { refresh_requested_ = true; }

    // The engine's read before a tick while it steers (the link's sampler, with the link's lock
    // held): the sticks' changes since the last read, told to `sink`. Buttons, triggers and the
    // D-pad are the reader's, which the service wakes for each of their changes.
    void sample(ControllerEvents& sink);

  private:
    void refresh(ControllerEvents& events);
    void drain_feedback(ControllerLink& link);
    // While the engine steers, stick changes are left for its own reads before its ticks: they
    // stay unreported here, so the next read of either kind reports them.
    void send_changes(ControllerEvents& events, bool leave_sticks);
    void send_stick_changes(ControllerEvents& events);
    // Tells the service whether reports that move only a stick may go unannounced.
    void quiet_sticks(bool quiet);

    GamepadApi& api_;
    ControllerSlots& slots_;
    std::uint32_t tick_count_ = 0;
    std::uint32_t polls_per_refresh_ = kControllerRefreshPolls;
    bool refresh_requested_ = false;
    bool sticks_quiet_ = false;
    std::optional<ControllerId> current_;
    // Set exactly when there is a current controller.
    std::optional<ControllerSnapshot> last_snapshot_;
};

}  // namespace thumbrover
