#pragma once

#include <chrono>

namespace thumbrover {

// A monotonic clock, injected wherever a rule depends on elapsed time so that tests can drive time
// by hand. Readings only ever compare with other readings of the same clock.
class Clock {
  public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual std::chrono::nanoseconds now() const = 0;
};

// The process's monotonic clock (std::chrono::steady_clock).
class SteadyClock final : public Clock {
  public:
    [[nodiscard]] std::chrono::nanoseconds now() const override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
};

// The one steady clock the program shares; it has no state, so any thread may read it.
// Never destroyed: detached threads (the mouse watcher, an update check) still read it while the
// process runs its exit handlers, after a destroyed object's vtable would already be gone.
[[nodiscard]] inline const Clock& steady_clock() {
    static const SteadyClock& clock = *new SteadyClock();
    return clock;
}

}  // namespace thumbrover
