#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>

#include "core/common/clock.hpp"
#include "core/engine/engine.hpp"
#include "core/engine/link.hpp"
#include "core/engine/messages.hpp"
#include "platform/engine_host.hpp"

namespace thumbrover {

inline constexpr EngineTime kTickInterval = std::chrono::milliseconds(8);
inline constexpr EngineTime kBatteryInterval = std::chrono::seconds(30);
// A timer set absurdly far ahead (a hand-written hold of a year) still wakes the loop this often:
// waits that long overflow the clock arithmetic of a condition variable.
inline constexpr EngineTime kLongestWait = std::chrono::hours(1);

inline constexpr std::string_view kCouldNotStart = "Thumbrover could not start";
inline constexpr std::string_view kBatteryLowHeading = "Controller battery is low";
inline constexpr std::string_view kBatteryLowBody = "Charge it or change the batteries soon.";

// The engine loop's passes, apart from waiting and reading the clock, so that each rule can be
// driven with chosen messages and times.
class EngineLoop final {
  public:
    EngineLoop(EngineHost& host, EngineState state, std::filesystem::path app_dir,
               FeedbackSender feedback, std::shared_ptr<EngineLink> link);

    // How long the next wait for a message may last at `now`: until the next tick is due while
    // ticks have work, or until the next battery look while a controller is connected; none
    // means until a message comes. A message between two ticks must not push the next tick, and
    // the motion it asked for, a whole interval later.
    [[nodiscard]] std::optional<EngineTime> wait_time(EngineTime now) const;

    // Acts on the message the wait produced (if any), then the tick and the battery watch.
    // Returns false when the message was `Quit`; the caller then runs `finish`.
    bool pass(std::optional<EngineMessage> message, EngineTime now);

    // The end sequence: releases every held button, key and modifier and clears the circle flag.
    void finish();

    [[nodiscard]] const EngineState& state() const { return state_; }
    [[nodiscard]] bool connected() const { return connected_; }
    [[nodiscard]] bool enabled() const { return enabled_; }

  private:
    void perform(CommandList commands);
    void battery_watch(EngineTime now);

    EngineHost& host_;
    EngineState state_;
    std::filesystem::path app_dir_;
    FeedbackSender feedback_;
    std::shared_ptr<EngineLink> link_;
    bool connected_ = false;
    bool enabled_;
    EngineTime last_loop_tick_{0};
    EngineTime next_battery_check_{0};
    bool battery_low_notified_ = false;
    // The last pass found nothing for a tick to do, so ticks stopped until something changes.
    bool paused_ = true;
};

// Whether a tick would move the pointer or scroll: then ticks come every interval.
[[nodiscard]] bool sticks_move(const EngineState& state);
// When the earliest pending timer (hold, repeat, switcher, Xbox hold, steering-ring idle) is due;
// none when no timer is pending. At rest, ticks come only then.
[[nodiscard]] std::optional<EngineTime> next_timer(const EngineState& state);
// Whether a tick could do anything at all. Ticks without work are skipped, which is what lets
// the engine sleep while the controller rests; the commands are those of ticking throughout,
// only a timer's comes when it is due rather than at the next tick after.
[[nodiscard]] bool ticks_have_work(const EngineState& state);

// Lets SIGTERM and SIGINT set `quit_flag` and nothing else. Fails with the system's error.
[[nodiscard]] Result<void> install_quit_signals();

struct EngineOptions {
    std::filesystem::path app_dir;
    const Clock* clock = &steady_clock();
};

// The engine thread's body: the start-up sequence, the loop until `Quit` or a signal, and the
// end sequence. Returns the process's exit status: 0 after a normal end, 1 after a start failure
// (already reported on standard error and as a notification).
[[nodiscard]] int run_engine(EngineHost& host, const EngineOptions& options);

}  // namespace thumbrover
