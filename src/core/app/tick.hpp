#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/common/clock.hpp"
#include "core/engine/link.hpp"

namespace thumbrover {

// The collaborators of the main-thread tick, one small interface each, so that a platform shell
// plugs in its own and a test can record the order of the calls.

class StartupCheck {
  public:
    virtual ~StartupCheck() = default;
    // Runs once, on the first tick: reports the input permission and opens the setup window when
    // it is missing or setup was never finished.
    virtual void run_startup_check() = 0;
};

class ControllerPollStep {
  public:
    virtual ~ControllerPollStep() = default;
    virtual void poll_controller() = 0;
    // Whether a controller is being read, which needs the full tick rate.
    [[nodiscard]] virtual bool has_controller() const { return true; }
    // How many polls pass between two looks for controllers, so that the look stays about every
    // 500 ms whatever the tick rate.
    virtual void set_polls_per_refresh(std::uint32_t /*polls*/) {}
    // False when another thread reads the controller and the tick need not run for it at all.
    [[nodiscard]] virtual bool needs_ticks() const { return true; }
};

class UpdateStep {
  public:
    virtual ~UpdateStep() = default;
    // Advances the once-a-day release check; returns at once when there is nothing to do.
    virtual void advance_update() = 0;
    // How soon it wants the next tick; none when it never needs one.
    [[nodiscard]] virtual std::optional<std::chrono::milliseconds> wanted_interval() const {
        return std::nullopt;
    }
};

class MenuRefresh {
  public:
    virtual ~MenuRefresh() = default;
    // Cheap when nothing changed: rebuilds only when the link's change counter or the offered
    // update moved.
    virtual void refresh_menu(const EngineLink& link) = 0;
};

class CircleStep {
  public:
    virtual ~CircleStep() = default;
    virtual void update_circle(bool visible) = 0;
    // Whether the shown ring follows the pointer without the tick (the engine moves it).
    [[nodiscard]] virtual bool follows_by_itself() const { return false; }
    // Whether there is a ring at all: where the session offers none, the engine's wish for one
    // gives the tick nothing to do.
    [[nodiscard]] virtual bool shows_ring() const { return true; }
};

// A window whose live rows (the permission state, the login checkbox, the controller row) follow
// the system while it is on screen.
class LiveWindow {
  public:
    virtual ~LiveWindow() = default;
    // Built, and shown on screen right now.
    [[nodiscard]] virtual bool is_visible() const = 0;
    virtual void refresh_live_rows() = 0;
};

// The last periodic refresh of one window. Building the window starts the interval; opening a
// built window refreshes it directly and leaves the interval alone.
class RefreshSchedule {
  public:
    static constexpr std::chrono::milliseconds kInterval{500};

    void restart(std::chrono::nanoseconds now) { last_ = now; }
    // At least 500 ms since the last refresh; a clock reading earlier than it is not due. A
    // window never marked as built is due at once.
    [[nodiscard]] bool due(std::chrono::nanoseconds now) const {
        return !last_ || now - *last_ >= kInterval;
    }

  private:
    std::optional<std::chrono::nanoseconds> last_;
};

struct TickParts {
    StartupCheck& startup;
    ControllerPollStep& controller;
    UpdateStep& update;
    MenuRefresh& menu;
    CircleStep& circle;
    // Null until the window has been built.
    LiveWindow* settings_window = nullptr;
    LiveWindow* setup_window = nullptr;
};

// Everything periodic on the main thread, driven by one repeating 4 ms timer. Main thread only.
class MainTick {
  public:
    MainTick(TickParts parts, const Clock& clock,
             std::function<const EngineLink*()> engine_link = published_engine_link,
             const std::atomic<bool>& circle_wanted = steering_circle_visible());

    // One timer tick. The order is fixed: the first-tick start-up check, the controller poll, the
    // update step, the menu (once the engine link exists), the circle, then the live rows of a
    // visible settings and setup window at most every 500 ms.
    void tick();

    // The full rate serves a controller read by the tick and a ring the tick moves. A ring that
    // follows the pointer by itself needs the tick only to keep the cursor hidden, once per
    // re-hide: the shell counts each interval from the end of the tick before, so the hide is
    // always due when the tick comes (showing and hiding the ring wake the tick at once). A
    // window needs it only for its live rows, and a controller poll without a controller only to
    // look for one every 500 ms. With none of them the tick stops: the shell runs it again when the
    // engine link changes (the menu, the ring) or a window opens, so an idle program does not wake
    // at all.
    static constexpr std::chrono::milliseconds kActiveInterval{4};
    static constexpr std::chrono::milliseconds kIdleInterval{100};
    static constexpr std::chrono::milliseconds kRingInterval{250};
    static constexpr std::chrono::milliseconds kControllerLookInterval{500};

    // When the shell should run the next tick, decided by the last one; none: not until woken.
    [[nodiscard]] std::optional<std::chrono::milliseconds> interval() const { return interval_; }

    // The shell built a window (and hands it over) or learns of it: its interval starts now.
    void settings_window_built(LiveWindow& window);
    void setup_window_built(LiveWindow& window);

  private:
    void refresh_if_due(LiveWindow* window, RefreshSchedule& schedule,
                        std::chrono::nanoseconds now);

    TickParts parts_;
    const Clock& clock_;
    std::function<const EngineLink*()> engine_link_;
    const std::atomic<bool>& circle_wanted_;
    void choose_interval();

    bool first_tick_ = true;
    std::optional<std::chrono::milliseconds> interval_ = kActiveInterval;
    RefreshSchedule settings_schedule_;
    RefreshSchedule setup_schedule_;
};

}  // namespace thumbrover
