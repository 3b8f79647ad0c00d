#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/engine/channel.hpp"

namespace thumbrover {

struct EngineMessage;
using EngineSender = Sender<EngineMessage>;
using EngineReceiver = Receiver<EngineMessage>;

// Requests from the engine thread to the main thread's controller poll.
enum class FeedbackRequest : std::uint8_t {
    Rumble = 2,
};
using FeedbackSender = Sender<FeedbackRequest>;
using FeedbackReceiver = Receiver<FeedbackRequest>;

// What the status-bar menu shows about the engine.
struct EngineStatus {
    std::optional<std::string> battery;
    bool enabled = true;
    bool connected = false;
    // The name of the application whose bindings are in force; none while the main ones are.
    std::optional<std::string> profile;

    friend bool operator==(const EngineStatus&, const EngineStatus&) = default;
};

// The engine's face towards the user interface: a way to send it messages, and its status. The
// menu polls `change_count` every timer tick without locking and copies the status only when the
// count moved.
class EngineLink final {
  public:
    EngineLink(EngineSender sender, bool enabled);

    [[nodiscard]] const EngineSender& sender() const { return sender_; }

    [[nodiscard]] EngineStatus status() const;
    // Starts at 1 and grows after every change of the status.
    [[nodiscard]] std::uint64_t change_count() const {
        return changes_.load(std::memory_order_acquire);
    }

    void set_enabled(bool enabled);
    // Losing the controller also forgets its battery.
    void set_connected(bool connected);
    void set_battery(std::optional<std::string> battery);
    // Counts as a change only when the name differs from the one shown.
    void set_profile(std::optional<std::string> profile);

  private:
    template <class F>
    void change(F&& f);

    EngineSender sender_;
    mutable std::mutex mutex_;
    EngineStatus status_;
    std::atomic<std::uint64_t> changes_{1};
};

// The process-wide cell the engine publishes its link into, once, before its loop starts. The
// first publication wins and later ones are refused; the link then lives as long as the process,
// so a pointer read from here never dangles.
bool publish_engine_link(std::shared_ptr<EngineLink> link);
// Null until published.
[[nodiscard]] EngineLink* published_engine_link();

// The user interface's wake-up call, so that its thread need not look on a timer for what the
// engine side changed. The front end sets it while its loop runs (and clears it, with an empty
// function, before it goes); the engine side calls `wake_user_interface` after every change the
// user interface shows: the status record and the steering-circle flag. Any thread; the waker
// must return at once.
void set_user_interface_waker(std::function<void()> waker);
void wake_user_interface();

// Set by SIGTERM and SIGINT; the engine loop ends when it sees it.
[[nodiscard]] std::atomic<bool>& quit_flag();

// Whether the steering circle should be on screen: written by the engine thread, read by the main
// thread's timer tick.
[[nodiscard]] std::atomic<bool>& steering_circle_visible();

}  // namespace thumbrover
