#include "core/output/pointer_acceleration.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/common/numeric.hpp"

namespace thumbrover {
namespace {

constexpr std::int64_t kMotionTimeoutUs = 1'000'000;
// Units per microsecond from units per millisecond, as libinput writes its constants.
constexpr double per_us(double per_ms) {
    return per_ms / 1000.0;
}
// Beyond this, a debt is no longer a rounding remainder but a move the desktop could not make
// (counts saturated); carrying it on would only throw the pointer later.
constexpr double kMaxOwed = 4096.0;

// libinput takes -1..1; a value from outside (a hand-edited desktop setting) is held to that, and
// one that is no number at all counts as its default.
double usable_speed(double speed) {
    return std::isfinite(speed) ? std::clamp(speed, -1.0, 1.0) : 0.0;
}

PointerDelta bounded(PointerDelta owed) {
    return {std::clamp(owed.x, -kMaxOwed, kMaxOwed), std::clamp(owed.y, -kMaxOwed, kMaxOwed)};
}

}  // namespace

std::string describe(const DesktopAcceleration& acceleration) {
    char text[64];
    std::snprintf(text, sizeof text, "%s, speed %.1f",
                  acceleration.profile == AccelerationProfile::Flat ? "flat" : "adaptive",
                  acceleration.speed);
    return text;
}

double LibinputMouseAcceleration::velocity(double length, std::int64_t time_us) const {
    // A fresh filter's trackers are stamped 0, so the first event counts as one after a pause.
    const std::int64_t previous = last_time_us_.value_or(0);
    if (previous > time_us) return 0.0;
    if (time_us - previous > kMotionTimeoutUs)
        return length / static_cast<double>(kMotionTimeoutUs + 1);
    return length / static_cast<double>(time_us - previous + 1);
}

double LibinputMouseAcceleration::profile(double velocity) const {
    const double speed = usable_speed(setting_.speed);
    const double threshold = std::max(per_us(0.4) - per_us(0.25) * speed, per_us(0.2));
    const double max_accel = 2.0 + speed * 1.5;
    const double incline = 1.1 + speed * 0.75;
    double factor = 1.0;
    if (velocity * 1000.0 < 0.07) {
        factor = 10.0 * velocity * 1000.0 + 0.3;
    } else if (velocity >= threshold) {
        factor = incline * (velocity - threshold) * 1000.0 + 1.0;
    }
    return std::min(max_accel, factor);
}

double LibinputMouseAcceleration::factor(double length, std::chrono::nanoseconds time) const {
    if (setting_.profile == AccelerationProfile::Flat)
        return std::max(0.005, 1.0 + usable_speed(setting_.speed));
    const double v = velocity(length, time.count() / 1000);
    return (profile(v) + profile(last_velocity_) + 4.0 * profile((last_velocity_ + v) / 2.0)) / 6.0;
}

PointerDelta LibinputMouseAcceleration::accelerate(PointerDelta counts,
                                                   std::chrono::nanoseconds time) {
    const double length = std::hypot(counts.x, counts.y);
    const double f = factor(length, time);
    // The flat filter keeps no memory; the adaptive one's is the same whichever is in use, so a
    // profile change keeps it.
    last_velocity_ = velocity(length, time.count() / 1000);
    last_time_us_ = time.count() / 1000;
    return {counts.x * f, counts.y * f};
}

AccelerationCompensation::Counts AccelerationCompensation::counts_for(
    std::int32_t dx, std::int32_t dy, std::chrono::nanoseconds now) {
    const PointerDelta want{owed_.x + dx, owed_.y + dy};
    const double wanted = std::hypot(want.x, want.y);
    if (wanted == 0.0) return {};
    // Landed distance grows with the counts (every profile rises with speed), so the counts that
    // land `wanted` are found by halving; a factor is never below 0.005.
    double low = 0.0;
    double high = wanted / 0.005;
    for (int i = 0; i < 64 && high - low > 1e-9; ++i) {
        const double mid = (low + high) / 2.0;
        if (mid * model_.factor(mid, now) < wanted) {
            low = mid;
        } else {
            high = mid;
        }
    }
    const double scale = high / wanted;
    const Counts counts{saturate_cast<std::int32_t>(std::round(want.x * scale)),
                        saturate_cast<std::int32_t>(std::round(want.y * scale))};
    if (counts == Counts{}) {
        owed_ = bounded(want);
        return {};
    }
    const PointerDelta landed =
        model_.accelerate({static_cast<double>(counts.x), static_cast<double>(counts.y)}, now);
    owed_ = bounded({want.x - landed.x, want.y - landed.y});
    return counts;
}

CompensatingOutput::CompensatingOutput(std::unique_ptr<EventOutput> inner,
                                       DesktopAcceleration setting, SettingSource source,
                                       Clock clock)
    : inner_(std::move(inner)),
      compensation_(setting),
      source_(std::move(source)),
      clock_(std::move(clock)) {}

Result<void> CompensatingOutput::perform(const OutputCommand& command) {
    if (command.kind != CommandKind::Move) return inner_->perform(command);
    const std::chrono::nanoseconds now = clock_();
    // The engine moves at most every 8 ms while the stick is out of its dead zone; a longer gap
    // is a new stroke.
    constexpr std::chrono::milliseconds kNewStroke{250};
    if (source_ && (!last_move_ || now - *last_move_ > kNewStroke || now < *last_move_)) {
        if (const auto setting = source_()) compensation_.set_setting(*setting);
    }
    last_move_ = now;
    const auto counts = compensation_.counts_for(command.a, command.b, now);
    if (counts == AccelerationCompensation::Counts{}) return {};
    OutputCommand move = command;
    move.a = counts.x;
    move.b = counts.y;
    return inner_->perform(move);
}

}  // namespace thumbrover
