#include "core/app/tick.hpp"

#include <utility>

namespace thumbrover {

MainTick::MainTick(TickParts parts, const Clock& clock,
                   std::function<const EngineLink*()> engine_link,
                   const std::atomic<bool>& circle_wanted)
    : parts_(parts),
      clock_(clock),
      engine_link_(std::move(engine_link)),
      circle_wanted_(circle_wanted) {}

void MainTick::tick() {
    if (first_tick_) {
        first_tick_ = false;
        parts_.startup.run_startup_check();
    }
    parts_.controller.poll_controller();
    parts_.update.advance_update();
    if (const EngineLink* link = engine_link_()) parts_.menu.refresh_menu(*link);
    parts_.circle.update_circle(circle_wanted_.load(std::memory_order_relaxed));
    const std::chrono::nanoseconds now = clock_.now();
    refresh_if_due(parts_.settings_window, settings_schedule_, now);
    refresh_if_due(parts_.setup_window, setup_schedule_, now);
    choose_interval();
}

void MainTick::choose_interval() {
    const auto visible = [](const LiveWindow* window) {
        return window != nullptr && window->is_visible();
    };
    std::optional<std::chrono::milliseconds> next;
    const auto want = [&next](std::chrono::milliseconds interval) {
        if (!next || interval < *next) next = interval;
    };
    if (parts_.controller.needs_ticks()) {
        want(parts_.controller.has_controller() ? kActiveInterval : kIdleInterval);
    }
    if (circle_wanted_.load(std::memory_order_relaxed) && parts_.circle.shows_ring()) {
        want(parts_.circle.follows_by_itself() ? kRingInterval : kActiveInterval);
    }
    if (visible(parts_.settings_window) || visible(parts_.setup_window)) want(kIdleInterval);
    if (const auto update = parts_.update.wanted_interval()) want(*update);
    if (next == interval_) return;
    interval_ = next;
    if (interval_) {
        parts_.controller.set_polls_per_refresh(
            static_cast<std::uint32_t>(kControllerLookInterval / *interval_));
    }
}

void MainTick::refresh_if_due(LiveWindow* window, RefreshSchedule& schedule,
                              std::chrono::nanoseconds now) {
    if (window == nullptr || !window->is_visible() || !schedule.due(now)) return;
    window->refresh_live_rows();
    schedule.restart(now);
}

void MainTick::settings_window_built(LiveWindow& window) {
    parts_.settings_window = &window;
    settings_schedule_.restart(clock_.now());
}

void MainTick::setup_window_built(LiveWindow& window) {
    parts_.setup_window = &window;
    setup_schedule_.restart(clock_.now());
}

}  // namespace thumbrover
