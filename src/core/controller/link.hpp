#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "core/engine/link.hpp"

namespace thumbrover {

// The messages the controller poll sends towards the engine. Sending never blocks, and a message
// for an engine that is gone is dropped without a word.
class ControllerEvents {
  public:
    virtual ~ControllerEvents() = default;

    // A controller was adopted (true) or the current one vanished (false).
    virtual void connected(bool is_connected) = 0;
    // Snapshot button index 0..10 changed.
    virtual void button_changed(std::uint8_t index, bool pressed) = 0;
    // Snapshot axis index 0..7 changed.
    virtual void axis_changed(std::uint8_t index, float value) = 0;
    // Sent right after connected(false): whatever the controller held must be let go.
    virtual void controller_gone() = 0;
};

// What the engine hands the main thread's controller poll when it starts: a way to reach the
// engine and the receiving end of the feedback channel (rumble requests). The poll holds the
// lock for the whole poll.
class ControllerLink {
  public:
    ControllerLink(std::unique_ptr<ControllerEvents> events, FeedbackReceiver feedback);

    [[nodiscard]] std::unique_lock<std::mutex> lock() { return std::unique_lock(mutex_); }
    [[nodiscard]] ControllerEvents& events() { return *events_; }
    // The next waiting request, without blocking.
    [[nodiscard]] std::optional<FeedbackRequest> next_request() { return feedback_.try_recv(); }
    // Calls `listener` on the engine's thread after every request it sends.
    void on_request(std::function<void()> listener) { feedback_.set_listener(std::move(listener)); }

  private:
    std::mutex mutex_;
    std::unique_ptr<ControllerEvents> events_;
    FeedbackReceiver feedback_;
};

// The process-wide set-once cell the engine thread publishes the link into. The first
// publication wins; the link then lives as long as the process.
bool publish_controller_link(std::shared_ptr<ControllerLink> link);
// Null until published.
[[nodiscard]] ControllerLink* published_controller_link();

}  // namespace thumbrover
