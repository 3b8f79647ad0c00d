#include "core/controller/poll.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/common/diag.hpp"

namespace thumbrover {

ControllerPoller::ControllerPoller(GamepadApi& api, ControllerSlots& slots)
    : api_(api), slots_(slots) {}

void ControllerPoller::poll(ControllerLink* link) {
    if (link == nullptr) return;
    const auto lock = link->lock();
    if (refresh_requested_ || tick_count_ % polls_per_refresh_ == 0) {
        refresh_requested_ = false;
        refresh(link->events());
    }
    ++tick_count_;
    drain_feedback(*link);
    const bool left_to_engine = link->steering() && link->sampled();
    quiet_sticks(left_to_engine);
    send_changes(link->events(), left_to_engine);
}

void ControllerPoller::sample(ControllerEvents& sink) {
    quiet_sticks(true);
    send_stick_changes(sink);
}

void ControllerPoller::quiet_sticks(bool quiet) {
    if (quiet == sticks_quiet_) return;
    sticks_quiet_ = quiet;
    api_.quiet_sticks(quiet);
}

void ControllerPoller::refresh(ControllerEvents& events) {
    const std::vector<ControllerId> listed = api_.controllers();
    if (current_) {
        if (std::find(listed.begin(), listed.end(), *current_) != listed.end()) {
            slots_.set_battery(api_.battery_level(*current_));
            return;
        }
        api_.release(*current_);
        current_.reset();
        last_snapshot_.reset();
        slots_.set_battery(std::nullopt);
        slots_.set_name(std::nullopt);
        diag("controller disconnected");
        events.connected(false);
        events.controller_gone();
    }

    const auto adopted = std::find_if(listed.begin(), listed.end(), [this](ControllerId id) {
        return api_.has_extended_profile(id);
    });
    if (adopted == listed.end()) return;
    const ControllerId id = *adopted;
    api_.disable_home_gesture(id);
    std::string name = api_.vendor_name(id).value_or("unknown");
    diag("using controller " + name);
    slots_.set_name(std::move(name));
    current_ = id;
    // Starting from all-zero makes the first poll report every pressed button and every axis
    // off centre, so the engine learns the controller's state without a special message.
    last_snapshot_ = ControllerSnapshot{};
    // The engine reads the battery as soon as it hears of the connection; a level stored after
    // that would show as unknown, and a low one go unwarned, until its next check 30 s later.
    slots_.set_battery(api_.battery_level(id));
    events.connected(true);
}

void ControllerPoller::drain_feedback(ControllerLink& link) {
    while (const std::optional<FeedbackRequest> request = link.next_request()) {
        if (*request != FeedbackRequest::Rumble || !current_) continue;
        if (const Result<void> played = api_.rumble_once(*current_); !played) {
            diag("rumble failed: " + played.error());
        }
    }
}

void ControllerPoller::send_stick_changes(ControllerEvents& events) {
    if (!current_) return;
    const std::optional<StickAxes> read = api_.read_sticks(*current_);
    if (!read) return;
    for (std::uint8_t i = 0; i < kSnapshotStickAxes; ++i) {
        // As in `send_changes`: NaN would differ from itself at every tick.
        const float now = std::isnan((*read)[i]) ? 0.0f : (*read)[i];
        float& before = last_snapshot_->axes[i];
        if (now == before) continue;
        before = now;
        events.axis_changed(i, now);
    }
}

void ControllerPoller::send_changes(ControllerEvents& events, bool leave_sticks) {
    if (!current_) return;
    std::optional<ControllerSnapshot> read = api_.read(*current_);
    if (!read) return;
    ControllerSnapshot& now = *read;
    // A driver that hands out NaN would otherwise differ from itself on every tick and flood the
    // engine with changes 250 times a second.
    for (float& axis : now.axes) {
        if (std::isnan(axis)) axis = 0.0f;
    }
    const ControllerSnapshot& before = *last_snapshot_;
    for (std::uint8_t i = 0; i < kSnapshotButtons; ++i) {
        if (now.buttons[i] != before.buttons[i]) events.button_changed(i, now.buttons[i]);
    }
    for (std::uint8_t i = 0; i < kSnapshotAxes; ++i) {
        if (leave_sticks && i < kSnapshotStickAxes) {
            now.axes[i] = before.axes[i];
        } else if (now.axes[i] != before.axes[i]) {
            events.axis_changed(i, now.axes[i]);
        }
    }
    last_snapshot_ = now;
}

}  // namespace thumbrover
