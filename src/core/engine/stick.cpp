#include <algorithm>
#include <cmath>

#include "core/common/numeric.hpp"
#include "core/engine/engine.hpp"

namespace thumbrover {
namespace {

float finite_or_zero(float value) {
    return std::isfinite(value) ? value : 0.0f;
}

// No sensible speed comes near this in one tick (800 px/s moves 40 px in the longest step); it
// only bounds absurd settings, so that a scroll speed of 1e30 cannot ask the event output for
// billions of wheel events or the pointer for a jump across any screen.
constexpr float kMaxUnitsPerTick = 65536.0f;

// Products and sums are kept in separate statements so that no compiler fuses them into one
// rounding: the results must match the single-precision arithmetic exactly, on every platform.
Vec2 add(Vec2 a, Vec2 b) {
    const float x = a.x + b.x;
    const float y = a.y + b.y;
    return {x, y};
}

Vec2 sum_of_role(const EngineState& state, StickRole role) {
    const Config& c = state.config;
    Vec2 v;
    if (state.kept_role[0].value_or(c.left_stick) == role) v = add(v, state.shaped(0));
    if (state.kept_role[1].value_or(c.right_stick) == role) v = add(v, state.shaped(1));
    return v;
}

// Adds `delta` to the remainder, keeps the fraction and returns the whole units. A remainder
// that stopped being finite (from absurd speeds) starts again from zero rather than poisoning
// every later tick.
std::int32_t carry(float& remainder, float delta) {
    const float a = std::clamp(remainder + delta, -kMaxUnitsPerTick, kMaxUnitsPerTick);
    const float whole = std::trunc(a);
    const float rest = a - whole;
    if (!std::isfinite(rest)) {
        remainder = 0.0f;
        return 0;
    }
    remainder = rest;
    return saturate_cast<std::int32_t>(whole);
}

bool mouse_recently_used(const EngineState& state, EngineTime now) {
    if (!state.last_mouse) return false;
    return *state.last_mouse > now || now - *state.last_mouse < kMouseQuietTime;
}

}  // namespace

Vec2 stick_vector(float x, float y, float deadzone, float curve) {
    const float m = std::hypot(x, y);
    // Written as "not greater" so that a NaN length lands in the dead zone too.
    if (!(m > deadzone)) return {};
    const float r = std::min(m, 1.0f);
    const float normalised = (r - deadzone) / (1.0f - deadzone);
    float s = std::pow(normalised, curve);
    // Sensible settings keep s within 0..1 already; this only tames a dead zone of 1 or more or
    // a NaN or negative curve, which would otherwise give NaN or unbounded speeds.
    if (!(s >= 0.0f)) s = 0.0f;
    if (s > 1.0f) s = 1.0f;
    const float ux = x / m;
    const float uy = y / m;
    const Vec2 out{ux * s, uy * s};
    if (!std::isfinite(out.x) || !std::isfinite(out.y)) return {};
    return out;
}

Vec2 EngineState::shaped(std::size_t stick) const {
    const float x = stick == 0 ? lx : rx;
    const float y = stick == 0 ? ly : ry;
    std::optional<ShapedStick>& known = shaped_[stick];
    // A NaN never equals itself, so it is simply shaped again each time.
    if (!known || known->x != x || known->y != y || known->deadzone != config.stick_deadzone ||
        known->curve != config.stick_curve) {
        known = ShapedStick{x, y, config.stick_deadzone, config.stick_curve,
                            stick_vector(x, y, config.stick_deadzone, config.stick_curve)};
    }
    return known->shaped;
}

void pointer_phase(EngineState& state, float step_seconds, EngineTime now) {
    const Config& c = state.config;
    const Vec2 v = sum_of_role(state, StickRole::Pointer);
    if (v.x == 0.0f && v.y == 0.0f) {
        const EngineTime idle = now >= state.last_motion ? now - state.last_motion : EngineTime{0};
        if (state.circle_shown && idle >= ms_to_engine_time(c.steering_idle_ms)) {
            state.circle_shown = false;
            state.emit({CommandKind::SteeringCircle, 0, 0, 0, 0});
        }
        return;
    }
    const float factor = state.precise ? c.precise_factor : 1.0f;
    const float speed = c.pointer_speed * factor;
    const float k = finite_or_zero(step_seconds * speed);
    const float dx = v.x * k;
    const float dy = v.y * k;
    const std::int32_t wx = carry(state.pointer_remainder.x, dx);
    const std::int32_t wy = carry(state.pointer_remainder.y, dy);
    if (wx != 0 || wy != 0) state.emit({CommandKind::Move, 0, 0, wx, wy});
    state.last_motion = now;
    if (mouse_recently_used(state, now)) return;
    if (!state.circle_shown) {
        state.circle_shown = true;
        state.emit({CommandKind::SteeringCircle, 1, 0, 0, 0});
    }
}

void scroll_phase(EngineState& state, float step_seconds) {
    const Vec2 v = sum_of_role(state, StickRole::Scroll);
    if (v.x == 0.0f && v.y == 0.0f) return;
    const float k = finite_or_zero(step_seconds * state.config.scroll_speed);
    const float dx = v.x * k;
    const float dy = v.y * k;
    const std::int32_t wx = carry(state.scroll_remainder.x, dx);
    // Pushing the stick up (negative y) scrolls up, which is a positive amount.
    const std::int32_t wy = carry(state.scroll_remainder.y, -dy);
    if (wx != 0 || wy != 0) state.emit({CommandKind::Scroll, 0, 0, wy, wx});
}

}  // namespace thumbrover
