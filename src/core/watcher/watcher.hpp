#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "core/common/clock.hpp"
#include "core/engine/link.hpp"
#include "platform/mouse_watcher.hpp"

namespace thumbrover {

// The engine only needs to know that the user has taken the mouse, not every motion: a burst of
// real motion is reported at most once every 100 ms, and the program's own events never.
class MotionFilter {
  public:
    static constexpr std::chrono::milliseconds kMinimumInterval{100};

    // Whether this motion should be reported; remembers the time when it should.
    [[nodiscard]] bool accept(MotionOrigin origin, std::chrono::nanoseconds now);

  private:
    std::optional<std::chrono::nanoseconds> last_report_;
};

// How long the watcher waits before asking the platform again after a refusal.
inline constexpr std::chrono::seconds kWatchRetryInterval{5};

struct MouseWatcherDeps {
    const Clock& clock;
    // Sleeps the whole duration, resuming after interruptions.
    std::function<void(std::chrono::nanoseconds)> sleep;
};

// The watcher thread's body: waits (printing the waiting line once per refused attempt) until the
// platform lets it watch, then calls `mouse_moved` for every motion the filter accepts. Returns
// only when watching cannot work or the motion stream has ended.
void run_mouse_watcher(MouseMotionSource& source, const std::function<void()>& mouse_moved,
                       const MouseWatcherDeps& deps);

// Runs the watcher on a detached thread of its own with the steady clock and returns at once.
// `mouse_moved` is called on that thread (the engine channel's sender is safe there).
void start_mouse_watcher(std::unique_ptr<MouseMotionSource> source,
                         std::function<void()> mouse_moved);
// The same, reporting `Input` with `MouseMoved` to the engine; a closed channel drops it.
void start_mouse_watcher(std::unique_ptr<MouseMotionSource> source, EngineSender engine);

}  // namespace thumbrover
