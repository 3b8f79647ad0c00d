#pragma once

#include <optional>
#include <string_view>

namespace thumbrover {

// Where a pointer motion came from: a real mouse or trackpad, or the program's own synthetic
// events (which must never count as the user taking the mouse).
enum class MotionOrigin { Real, Own };

enum class WatchStart {
    Watching,       // motion events now arrive through `next_motion`
    NotAllowedYet,  // the platform refuses for now (no permission, no display); try again later
    Failed,         // watching cannot work in this session; do not try again
};

// A stream of the pointer motions (moves and drags, not clicks) that reach the user's desktop.
// Used by one watcher thread only; the object lives as long as that thread.
class MouseMotionSource {
  public:
    virtual ~MouseMotionSource() = default;

    // Starts listening. Only listens: motion is never changed, delayed or swallowed.
    [[nodiscard]] virtual WatchStart start() = 0;

    // What `start` waits for while it answers NotAllowedYet, as the waiting line names it.
    [[nodiscard]] virtual std::string_view waiting_for() const { return "Accessibility access"; }

    // Blocks until the next motion and tells where it came from. Returns none only when the
    // stream has ended for good (the connection to the window system is gone). Call only after
    // `start` returned Watching.
    [[nodiscard]] virtual std::optional<MotionOrigin> next_motion() = 0;

    // Asks the watcher thread to let go: a blocked or later `next_motion` returns none soon, and
    // a later `start` fails. Callable from any thread, once, also before `start` or while it
    // runs. Every source can be stopped, since its owner waits for the watcher thread to end
    // before it closes anything that thread uses.
    virtual void stop() = 0;
};

}  // namespace thumbrover
