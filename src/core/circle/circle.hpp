#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "core/app/tick.hpp"
#include "core/common/clock.hpp"
#include "platform/overlay.hpp"

namespace thumbrover {

// Sizes of the steering ring, in points, for one circle scale.
struct CircleGeometry {
    double side = 0.0;
    double centre = 0.0;
    double ring_width = 0.0;
    double ring_radius = 0.0;
    double dot_radius = 0.0;
};

// The ring stays visible at any scale: never smaller than 8 points across. A hand-written scale
// far beyond the settings slider (say 1e9) would otherwise ask the window system for a window
// millions of points wide, which it refuses or backs with all the memory it can find; the ring
// is capped at 20 times a normal cursor instead.
inline constexpr double kMinimumCircleSide = 8.0;
inline constexpr double kMaximumCircleSide = 480.0;

[[nodiscard]] CircleGeometry circle_geometry(float scale);
// A white ring and a white dot, each outlined in black so that they show on any background.
[[nodiscard]] CircleShape circle_shape(float scale);

// The circle scale setting, shared between the engine thread (which sets it at start) and the
// main thread (which builds the window from it).
class CircleScaleCell {
  public:
    void set(float scale);
    [[nodiscard]] float get() const;

  private:
    mutable std::mutex mutex_;
    float scale_ = 1.5f;
};

[[nodiscard]] CircleScaleCell& circle_scale_cell();
// Only stores the scale; the engine thread calls it when it starts.
void set_circle_scale(float scale);

// The ring as the engine thread sees it: the window to move along with every pointer motion it
// posts, so that the ring follows without the main thread waking or asking where the pointer is.
// The main thread sets it once the ring shows and clears it before the window hides or goes.
struct RingTarget {
    std::uint64_t window = 0;
    double half_side = 0.0;
    // Counts the showings: the ring was placed afresh, so where the pointer is must be learnt
    // again.
    std::uint64_t showing = 0;

    friend bool operator==(const RingTarget&, const RingTarget&) = default;
};

class RingTargetCell {
  public:
    void show(std::uint64_t window, double half_side);
    void clear();
    [[nodiscard]] std::optional<RingTarget> get() const;

  private:
    mutable std::mutex mutex_;
    std::optional<RingTarget> target_;
    std::uint64_t showings_ = 0;
};

[[nodiscard]] RingTargetCell& ring_target_cell();

// Keeps the arrow cursor hidden while the ring shows. Some systems show the cursor again on their
// own (another application changing it, a display waking), so the hide is repeated every 250 ms;
// every hide is counted and undone exactly as often, so the cursor always comes back.
class CursorHider {
  public:
    static constexpr std::chrono::milliseconds kRehideInterval{250};

    CursorHider(Cursor& cursor, const Clock& clock);

    // Returns whether it hid the cursor (again) just now.
    bool update(bool circle_visible);
    [[nodiscard]] std::uint32_t hide_count() const { return hide_count_; }

  private:
    Cursor& cursor_;
    const Clock& clock_;
    std::uint32_t hide_count_ = 0;
    std::optional<std::chrono::nanoseconds> last_hide_;
};

// What the settings store calls when the user changes the circle size.
class CircleScaleTarget {
  public:
    virtual ~CircleScaleTarget() = default;
    // A different scale is stored and the window dropped, to be rebuilt at the new size on its
    // next showing; an equal scale changes nothing.
    virtual void change_circle_scale(float scale) = 0;
};

// The ring that follows the pointer while a stick steers it. Main thread only.
class SteeringCircle final : public CircleScaleTarget, public CircleStep {
  public:
    SteeringCircle(Overlay& overlay, Cursor& cursor, const Clock& clock,
                   CircleScaleCell& scale = circle_scale_cell(),
                   RingTargetCell& target = ring_target_cell());

    // Called on every timer tick with the engine's wish.
    void update_circle(bool visible) override;
    void change_circle_scale(float scale) override;

    [[nodiscard]] bool has_window() const { return window_ != nullptr; }
    // Whether the shown ring is moved by the engine, so the tick need not place it.
    [[nodiscard]] bool follows_by_itself() const override { return following_; }
    [[nodiscard]] bool shows_ring() const override { return overlay_.shows_ring(); }
    [[nodiscard]] const CursorHider& cursor_hider() const { return hider_; }

  private:
    void drop_target();

    Overlay& overlay_;
    CircleScaleCell& scale_;
    RingTargetCell& target_;
    bool following_ = false;
    CursorHider hider_;
    std::unique_ptr<CircleWindow> window_;
    double side_ = 0.0;
};

}  // namespace thumbrover
