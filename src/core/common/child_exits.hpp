#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>

namespace thumbrover {

// What the reaper of started programs sleeps on: the end of any child it watches, or a wake-up
// from another thread. The system's own means tell it (a process descriptor per child on Linux,
// a kernel event queue elsewhere), so no signal handler is installed and no child that another
// part of the program waits for is ever taken from it. `watch`, `forget` and `wait` are called
// on the reaper's thread only; `wake` from any thread.
class ChildExits {
  public:
    ChildExits();
    ~ChildExits();
    ChildExits(const ChildExits&) = delete;
    ChildExits& operator=(const ChildExits&) = delete;

    // Whether `wake` reaches `wait`; without it the reaper bounds every wait.
    [[nodiscard]] bool can_wake() const noexcept;
    // Starts watching a child. False when the system cannot (a kernel without process
    // descriptors, a child already gone): the caller then looks at it after bounded waits.
    bool watch(pid_t pid);
    // Stops watching a child once it has been reaped.
    void forget(pid_t pid);
    // Until a watched child may have ended, `wake` was called, or `timeout` passed (none: no
    // limit). May return early.
    void wait(std::optional<std::chrono::milliseconds> timeout);
    void wake() noexcept;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace thumbrover
