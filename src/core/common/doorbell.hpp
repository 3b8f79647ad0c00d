#pragma once

#include <chrono>
#include <memory>

namespace thumbrover {

// Wakes one waiting thread, as cheaply as the system allows: a thread that sleeps until it is
// rung or a deadline passes, the way the engine waits for its next message or its next tick 125
// times a second while a stick steers. A condition variable costs that waiter a mutex handover
// and a second system call on every wake-up; on Linux this is one futex word and one call.
//
// Rings do not count: any number of them before a wait make that one wait return at once. One
// waiter at a time; any thread may ring.
class Doorbell {
  public:
    Doorbell();
    ~Doorbell();
    Doorbell(const Doorbell&) = delete;
    Doorbell& operator=(const Doorbell&) = delete;

    void ring();
    // Returns true once rung (then the ring is used up), false when the deadline has passed
    // without a ring. Signals that interrupt the sleep do not end it early.
    [[nodiscard]] bool wait_until(std::chrono::steady_clock::time_point deadline);
    // Returns once rung.
    void wait();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace thumbrover
