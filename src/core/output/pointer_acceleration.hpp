#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/event_output.hpp"

// A Wayland desktop accelerates our virtual pointer as it accelerates any mouse, through libinput.
// Where it cannot be told not to for our device alone, the counts we post are chosen so that,
// after that acceleration, the pointer lands where the engine asked.

namespace thumbrover {

enum class AccelerationProfile : std::uint8_t {
    Adaptive,  // libinput's default for a mouse
    Flat,
};

// A desktop's pointer acceleration setting as libinput takes it: the profile and the speed,
// -1 (slowest) to 1 (fastest), 0 being libinput's default.
struct DesktopAcceleration {
    AccelerationProfile profile = AccelerationProfile::Adaptive;
    double speed = 0.0;
    friend bool operator==(const DesktopAcceleration&, const DesktopAcceleration&) = default;
};

// "speed 0.0, adaptive" and the like, for the start-up line.
[[nodiscard]] std::string describe(const DesktopAcceleration& acceleration);

struct PointerDelta {
    double x = 0;
    double y = 0;
};

// What libinput 1.22 (Debian 12's) does to the relative motion of a mouse that has no
// MOUSE_DPI property and no velocity-averaging quirk, as our virtual pointer: its
// `create_pointer_accelerator_filter_linear` at 1000 dpi with two trackers (filter-mouse.c,
// filter.c), or the flat filter (filter-flat.c). Modelled:
// - the velocity of an event is its length over the time since the previous event, in
//   microseconds plus one; after a pause of more than a second, over one second;
// - the factor is Simpson's rule over the profile between the previous event's velocity and this
//   one's;
// - the profile: 10·v + 0.3 below 0.07 units/ms, 1 up to the threshold (0.4 − 0.25·speed
//   units/ms, at least 0.2), then rising with incline 1.1 + 0.75·speed, capped at
//   2 + 1.5·speed;
// - flat: a constant 1 + speed (at least 0.005).
// Times are those the kernel stamps on the events (CLOCK_MONOTONIC at the write).
class LibinputMouseAcceleration {
  public:
    explicit LibinputMouseAcceleration(DesktopAcceleration setting) : setting_(setting) {}

    // Where `counts` posted at `time` move the pointer; the event is remembered as libinput
    // remembers it.
    PointerDelta accelerate(PointerDelta counts, std::chrono::nanoseconds time);
    // The same, without remembering: the factor an event of `length` counts at `time` would get.
    [[nodiscard]] double factor(double length, std::chrono::nanoseconds time) const;

    [[nodiscard]] const DesktopAcceleration& setting() const { return setting_; }
    void set_setting(DesktopAcceleration setting) { setting_ = setting; }

  private:
    [[nodiscard]] double velocity(double length, std::int64_t time_us) const;
    [[nodiscard]] double profile(double velocity) const;

    DesktopAcceleration setting_;
    std::optional<std::int64_t> last_time_us_;
    double last_velocity_ = 0;
};

// The inverse, one tick at a time: the whole counts to post now so that, after the desktop's
// acceleration, the pointer has landed what the engine asked for. What a tick lands short or
// long of its ask (counts are whole, the factor depends on them) is owed to the next tick, so
// nothing drifts over a stroke.
class AccelerationCompensation {
  public:
    explicit AccelerationCompensation(DesktopAcceleration setting) : model_(setting) {}

    struct Counts {
        std::int32_t x = 0;
        std::int32_t y = 0;
        friend bool operator==(const Counts&, const Counts&) = default;
    };
    // Counts to post at `now` for a move of (dx, dy) pixels; (0, 0) means post nothing.
    [[nodiscard]] Counts counts_for(std::int32_t dx, std::int32_t dy, std::chrono::nanoseconds now);

    [[nodiscard]] const DesktopAcceleration& setting() const { return model_.setting(); }
    // A changed setting applies from the next move on; the model's memory of motion stays, as
    // libinput's does.
    void set_setting(DesktopAcceleration setting) { model_.set_setting(setting); }

  private:
    LibinputMouseAcceleration model_;
    PointerDelta owed_;
};

// Posts through another output, turning each `Move` into the counts that land it under the
// desktop's acceleration. The desktop's setting is asked for again at the start of each stroke
// (a move after a pause), so a change the user makes applies from the next stroke on, at no cost
// while the stick rests.
class CompensatingOutput final : public EventOutput {
  public:
    using Clock = std::function<std::chrono::nanoseconds()>;
    using SettingSource = std::function<std::optional<DesktopAcceleration>()>;

    CompensatingOutput(std::unique_ptr<EventOutput> inner, DesktopAcceleration setting,
                       SettingSource source, Clock clock);
    [[nodiscard]] Result<void> perform(const OutputCommand& command) override;

  private:
    std::unique_ptr<EventOutput> inner_;
    AccelerationCompensation compensation_;
    SettingSource source_;
    Clock clock_;
    std::optional<std::chrono::nanoseconds> last_move_;
};

}  // namespace thumbrover
