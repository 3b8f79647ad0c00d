#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/circle/circle.hpp"
#include "core/common/clock.hpp"
#include "core/controller/link.hpp"
#include "core/controller/slots.hpp"
#include "core/engine/engine.hpp"
#include "core/engine/link.hpp"
#include "core/engine/messages.hpp"
#include "core/output/executor.hpp"
#include "core/settings/app_folder.hpp"
#include "core/watcher/watcher.hpp"
#include "platform/engine_ports.hpp"

namespace thumbrover {

inline constexpr EngineTime kTickInterval = std::chrono::milliseconds(8);
inline constexpr EngineTime kBatteryInterval = std::chrono::seconds(30);
// A timer set absurdly far ahead (a hand-written hold of a year) still wakes the loop this often:
// waits that long overflow the clock arithmetic of a condition variable.
inline constexpr EngineTime kLongestWait = std::chrono::hours(1);

inline constexpr std::string_view kCouldNotStart = "Thumbrover could not start";
inline constexpr std::string_view kBatteryLowHeading = "Controller battery is low";
inline constexpr std::string_view kBatteryLowBody = "Charge it or change the batteries soon.";

// What the loop acts through: the objects the engine made from the platform's ports at start,
// and where it reads the controller's battery.
struct LoopPorts {
    EventOutput& output;
    DesktopActions& desktop;
    Notifier& notifier;
    std::function<std::optional<std::string>()> battery_text;
    // The link the controller reader shares with the engine: the loop reads the controller
    // through it before each tick while a stick moves, and tells it when that starts and stops.
    // None: the controller's news comes as messages only.
    ControllerLink* controller = nullptr;
    // Whether no message is waiting for the loop; reads before a tick happen only then, so that
    // what they find never overtakes what the reader sent earlier.
    std::function<bool()> nothing_waiting = [] { return true; };
};

// What the loop's own read of the controller found, as the input events the reader would have
// sent.
class SampledInput final : public ControllerEvents {
  public:
    void connected(bool /*is_connected*/) override {}
    void button_changed(std::uint8_t index, bool pressed) override {
        events.push_back(InputEvent::button(index, pressed));
    }
    void axis_changed(std::uint8_t index, float value) override {
        events.push_back(InputEvent::axis(index, value));
    }
    void controller_gone() override { events.push_back(InputEvent::controller_gone()); }

    std::vector<InputEvent> events;
};

// The engine loop's passes, apart from waiting and reading the clock, so that each rule can be
// driven with chosen messages and times.
class EngineLoop final {
  public:
    EngineLoop(LoopPorts ports, EngineState state, const std::filesystem::path& app_dir,
               FeedbackSender feedback, std::shared_ptr<EngineLink> link);
    // The executor's context refers to the loop's own members.
    EngineLoop(const EngineLoop&) = delete;
    EngineLoop& operator=(const EngineLoop&) = delete;

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
    // Tells the menu which application's bindings are in force.
    void show_profile();
    void battery_watch(EngineTime now);
    // Reads the controller through the link and acts on what changed, as on messages.
    void take_up_controller(EngineTime now);

    LoopPorts ports_;
    EngineState state_;
    FeedbackSender feedback_;
    std::shared_ptr<EngineLink> link_;
    bool connected_ = false;
    bool enabled_;
    EngineTime last_loop_tick_{0};
    EngineTime next_battery_check_{0};
    bool battery_low_notified_ = false;
    // The last pass found nothing for a tick to do, so ticks stopped until something changes.
    bool paused_ = true;
    SampledInput sampled_;
    // Made once rather than for every tick's commands, which would copy the file's path each
    // time.
    ExecutorContext executor_;
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

// Lets SIGTERM, SIGINT and SIGHUP (the terminal the program was started from closing) set
// `quit_flag` and nothing else. Fails with the system's error.
[[nodiscard]] Result<void> install_quit_signals();

// Ends the running engine as a quit signal does: sets `quit_flag` and wakes the loop. Callable
// from any thread, and from a signal handler.
void request_quit() noexcept;

// Where the engine thread hands out what it made at start, and the process-wide state it reads.
// The process's own cells and threads by default; tests keep them to themselves.
struct EngineCells {
    std::function<void(std::shared_ptr<ControllerLink>)> publish_controller_link =
        [](std::shared_ptr<ControllerLink> link) {
            thumbrover::publish_controller_link(std::move(link));
        };
    std::function<void(std::shared_ptr<EngineLink>)> publish_engine_link =
        [](std::shared_ptr<EngineLink> link) { thumbrover::publish_engine_link(std::move(link)); };
    // The watcher runs until what this returns is destroyed; none: no watcher.
    std::function<std::unique_ptr<MouseWatcherThread>(std::unique_ptr<MouseMotionSource>,
                                                      EngineSender)>
        start_mouse_watcher = [](std::unique_ptr<MouseMotionSource> source,
                                 EngineSender sender) -> std::unique_ptr<MouseWatcherThread> {
        // A session without a readable global pointer has no source, and no watcher.
        if (!source) return nullptr;
        return thumbrover::start_mouse_watcher(std::move(source), std::move(sender));
    };
    std::function<std::optional<std::string>()> battery_text = [] {
        return thumbrover::battery_text();
    };
    std::function<void(float)> set_circle_scale = [](float scale) {
        thumbrover::set_circle_scale(scale);
    };
};

struct EngineOptions {
    std::filesystem::path app_dir;
    const Clock* clock = &steady_clock();
    EngineCells cells = {};
    // The single-instance lock of `app_dir` when the caller has taken it already (the shell does,
    // before it answers on the session bus as the running copy); none: the engine takes it.
    std::optional<InstanceLock> lock;
};

// The engine thread's body: the start-up sequence (making the event output, the desktop actions
// and the real-mouse watcher from `ports`, publishing the controller and engine links), the loop
// until `Quit` or a signal, and the end sequence. Returns the process's exit status: 0 after a
// normal end, 1 after a start failure (already reported on standard error and as a
// notification).
[[nodiscard]] int run_engine(EnginePorts& ports, EngineOptions options);

}  // namespace thumbrover
