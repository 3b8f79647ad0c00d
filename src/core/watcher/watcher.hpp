#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

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
    // Sleeps the whole duration, resuming after interruptions; may end early once stopped.
    std::function<void(std::chrono::nanoseconds)> sleep;
    // Whether the owner has stopped the watcher: it then returns without a word.
    std::function<bool()> stopped = [] { return false; };
};

// The watcher thread's body: waits (printing the waiting line once per refused attempt) until the
// platform lets it watch, then calls `mouse_moved` for every motion the filter accepts. Returns
// only when watching cannot work or the motion stream has ended.
void run_mouse_watcher(MouseMotionSource& source, const std::function<void()>& mouse_moved,
                       const MouseWatcherDeps& deps);

// The watcher's thread. Destroying it stops the source and waits for the thread to end; the
// source, and with it its connection to the window system, goes after that, on the owner's
// thread: the window system's client libraries share state between connections that a close on
// one thread and a call on another can corrupt.
class MouseWatcherThread {
  public:
    struct Shared;
    MouseWatcherThread(std::unique_ptr<Shared> shared, std::thread thread) noexcept;
    ~MouseWatcherThread();
    MouseWatcherThread(const MouseWatcherThread&) = delete;
    MouseWatcherThread& operator=(const MouseWatcherThread&) = delete;

  private:
    std::unique_ptr<Shared> shared_;
    std::thread thread_;
};

// Runs the watcher on a thread of its own with the steady clock and returns at once.
// `mouse_moved` is called on that thread (the engine channel's sender is safe there).
[[nodiscard]] std::unique_ptr<MouseWatcherThread> start_mouse_watcher(
    std::unique_ptr<MouseMotionSource> source, std::function<void()> mouse_moved);
// The same, reporting `Input` with `MouseMoved` to the engine; a closed channel drops it.
[[nodiscard]] std::unique_ptr<MouseWatcherThread> start_mouse_watcher(
    std::unique_ptr<MouseMotionSource> source, EngineSender engine);

}  // namespace thumbrover
