#pragma once

#include <atomic>
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

    // While a stick moves, the engine ticks every interval whatever the controller reports, and
    // it reads the controller itself just before each tick. A controller that streams reports
    // (every 1 to 8 ms while a thumb holds a stick, each one a change since thumbs tremble) then
    // costs the engine's pace, not its own: the reader leaves stick changes to those reads
    // instead of waking the engine with them, and the service stops announcing reports that
    // move only a stick.

    // The reader: what the engine's read runs, on the engine's thread, with the lock held.
    void set_sampler(std::function<void(ControllerEvents&)> sampler);
    // The engine: reads the controller, telling `sink` what changed since the last read by
    // anyone, when `quiet` holds (nothing the reader sent is still waiting for the engine, so
    // what it hears comes in order) and no read is under way on the reader's thread (whose news
    // then comes as messages). False when nothing was read.
    bool sample(ControllerEvents& sink, const std::function<bool()>& quiet);

    // Whether the engine's reads reach a poller; with the lock held. Without one (a service read
    // by the main thread's timer), stick changes must come as messages whatever the pace.
    [[nodiscard]] bool sampled() const { return static_cast<bool>(sampler_); }

    // The engine: whether its ticks run for a moving stick. A change calls the pace listener.
    void set_steering(bool steering);
    [[nodiscard]] bool steering() const { return steering_.load(std::memory_order_acquire); }
    // The reader: called on the engine's thread whenever `steering` changes; must not block.
    void on_pace(std::function<void()> listener);

  private:
    std::mutex mutex_;
    std::unique_ptr<ControllerEvents> events_;
    FeedbackReceiver feedback_;
    // Guarded by `mutex_`, the lock of every read.
    std::function<void(ControllerEvents&)> sampler_;
    // Apart, since the engine calls it without taking the lock of a read.
    std::mutex hooks_mutex_;
    std::function<void()> pace_listener_;
    std::atomic<bool> steering_{false};
};

// The process-wide set-once cell the engine thread publishes the link into. The first
// publication wins; the link then lives as long as the process.
bool publish_controller_link(std::shared_ptr<ControllerLink> link);
// Null until published.
[[nodiscard]] ControllerLink* published_controller_link();

}  // namespace thumbrover
