#include "core/circle/circle.hpp"

#include <cmath>

namespace thumbrover {

CircleGeometry circle_geometry(float scale) {
    CircleGeometry g;
    // fmax rather than std::max: a scale that is not a number gives the smallest ring, not a
    // window of NaN points.
    g.side = std::fmin(std::fmax(std::round(static_cast<double>(scale) * 24.0), kMinimumCircleSide),
                       kMaximumCircleSide);
    g.centre = g.side * 0.5;
    g.ring_width = std::fmax(g.side * 0.09, 2.0);
    g.ring_radius = g.side * 0.4 + g.ring_width * 0.5;
    g.dot_radius = std::fmax(g.side * 0.07, 1.5);
    return g;
}

CircleShape circle_shape(float scale) {
    const CircleGeometry g = circle_geometry(scale);
    CircleShape shape;
    shape.side = g.side;
    shape.layers = {{
        {g.ring_radius + 1.0, g.ring_width + 2.0, Shade::Black, std::nullopt},
        {g.ring_radius, g.ring_width, Shade::White, std::nullopt},
        {g.dot_radius + 1.0, 0.0, Shade::Black, Shade::Black},
        {g.dot_radius, 0.0, Shade::White, Shade::White},
    }};
    return shape;
}

void CircleScaleCell::set(float scale) {
    std::lock_guard lock(mutex_);
    scale_ = scale;
}

float CircleScaleCell::get() const {
    std::lock_guard lock(mutex_);
    return scale_;
}

CircleScaleCell& circle_scale_cell() {
    static CircleScaleCell cell;
    return cell;
}

void set_circle_scale(float scale) {
    circle_scale_cell().set(scale);
}

void RingTargetCell::show(std::uint64_t window, double half_side) {
    std::lock_guard lock(mutex_);
    target_ = RingTarget{window, half_side, ++showings_};
}

void RingTargetCell::clear() {
    std::lock_guard lock(mutex_);
    target_.reset();
}

std::optional<RingTarget> RingTargetCell::get() const {
    std::lock_guard lock(mutex_);
    return target_;
}

RingTargetCell& ring_target_cell() {
    static RingTargetCell cell;
    return cell;
}

CursorHider::CursorHider(Cursor& cursor, const Clock& clock) : cursor_(cursor), clock_(clock) {}

// A ring that follows the pointer by itself gets one main tick per hide.
static_assert(MainTick::kRingInterval == CursorHider::kRehideInterval);

bool CursorHider::update(bool circle_visible) {
    if (circle_visible) {
        const std::chrono::nanoseconds now = clock_.now();
        // A clock reading earlier than the last hide also waits, rather than hiding on every
        // tick.
        if (last_hide_ && now - *last_hide_ < kRehideInterval) return false;
        cursor_.hide();
        ++hide_count_;
        last_hide_ = now;
        return true;
    }
    for (; hide_count_ > 0; --hide_count_)
        cursor_.show();
    last_hide_.reset();
    return false;
}

SteeringCircle::SteeringCircle(Overlay& overlay, Cursor& cursor, const Clock& clock,
                               CircleScaleCell& scale, RingTargetCell& target)
    : overlay_(overlay), scale_(scale), target_(target), hider_(cursor, clock) {}

void SteeringCircle::update_circle(bool visible) {
    if (!overlay_.shows_ring()) return;
    if (visible) {
        if (!window_) {
            const CircleShape shape = circle_shape(scale_.get());
            window_ = overlay_.build_circle(shape);
            side_ = shape.side;
        }
        // Once shown, a ring the engine can move follows the pointer it posts; asking where the
        // pointer is on every tick would be a round trip to the window system each time.
        if (!following_) {
            const ScreenPoint pointer = overlay_.pointer_location();
            window_->move_to({pointer.x - side_ / 2.0, pointer.y - side_ / 2.0});
        }
        const bool shown_now = !window_->is_visible();
        if (shown_now) {
            window_->show();
            if (const std::uint64_t id = window_->native_id(); id != 0) {
                target_.show(id, side_ / 2.0);
                following_ = true;
            }
        }
        // With the arrow hidden, a window stacked over the ring would leave no pointer at all;
        // the re-hide's pace is often enough to notice and cheap enough to do blindly.
        if (hider_.update(true) && !shown_now) window_->keep_on_top();
        return;
    }
    if (window_ && window_->is_visible()) {
        drop_target();
        window_->hide();
    }
    hider_.update(false);
}

void SteeringCircle::drop_target() {
    if (!following_) return;
    target_.clear();
    following_ = false;
}

void SteeringCircle::change_circle_scale(float scale) {
    if (scale == scale_.get()) return;
    scale_.set(scale);
    if (window_) {
        drop_target();
        window_->hide();
        window_.reset();
    }
}

}  // namespace thumbrover
