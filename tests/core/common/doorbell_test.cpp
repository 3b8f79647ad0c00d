#include "core/common/doorbell.hpp"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace thumbrover {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

TEST(Doorbell, RingsBeforeAWaitEndItAtOnceAndAreUsedUpTogether) {
    struct Case {
        const char* name;
        int rings;
        bool first;
    };
    for (const Case c : {Case{"none", 0, false}, Case{"one", 1, true}, Case{"three", 3, true}}) {
        SCOPED_TRACE(c.name);
        Doorbell bell;
        for (int i = 0; i < c.rings; ++i)
            bell.ring();
        EXPECT_EQ(bell.wait_until(Steady::now() + 20ms), c.first);
        EXPECT_FALSE(bell.wait_until(Steady::now() + 5ms)) << "a ring was counted twice";
    }
}

TEST(Doorbell, AWaitWithoutARingEndsAtItsDeadlineAndNotBefore) {
    Doorbell bell;
    for (const auto length : {0ms, 1ms, 30ms}) {
        const auto deadline = Steady::now() + length;
        EXPECT_FALSE(bell.wait_until(deadline));
        EXPECT_GE(Steady::now(), deadline);
    }
    // A deadline already passed, and the farthest one there is once rung.
    EXPECT_FALSE(bell.wait_until(Steady::now() - 1s));
    bell.ring();
    EXPECT_TRUE(bell.wait_until(Steady::time_point::max()));
}

TEST(Doorbell, ARingFromAnotherThreadWakesTheWaiter) {
    Doorbell bell;
    std::atomic<bool> waiting{false};
    std::thread ringer([&] {
        while (!waiting)
            std::this_thread::yield();
        std::this_thread::sleep_for(10ms);
        bell.ring();
        std::this_thread::sleep_for(10ms);
        bell.ring();
    });
    waiting = true;
    EXPECT_TRUE(bell.wait_until(Steady::now() + 1h));
    bell.wait();
    ringer.join();
}

void do_nothing(int /*signal*/) {}

TEST(Doorbell, SignalsDoNotEndAWaitEarly) {
    struct sigaction action {};
    action.sa_handler = do_nothing;
    // Without SA_RESTART, so that the signal interrupts the sleep itself.
    action.sa_flags = 0;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR2, &action, &previous), 0);

    Doorbell bell;
    std::atomic<bool> done{false};
    bool rung = true;
    Steady::time_point deadline;
    Steady::time_point ended;
    std::thread waiter([&] {
        deadline = Steady::now() + 150ms;
        rung = bell.wait_until(deadline);
        ended = Steady::now();
        done = true;
    });
    const pthread_t handle = waiter.native_handle();
    for (int i = 0; i < 20 && !done; ++i) {
        std::this_thread::sleep_for(5ms);
        if (!done) ::pthread_kill(handle, SIGUSR2);
    }
    waiter.join();
    ::sigaction(SIGUSR2, &previous, nullptr);
    EXPECT_FALSE(rung);
    EXPECT_GE(ended, deadline) << "a signal ended the wait before its deadline";
}

TEST(Doorbell, NoRingIsLostBetweenALookAndTheWait) {
    // The receiver's pattern: look for work, then wait; every piece of work is announced with a
    // ring after it is made. A lost ring would leave the waiter asleep until its deadline.
    constexpr int kWork = 20000;
    Doorbell bell;
    std::atomic<int> made{0};
    std::thread maker([&] {
        for (int i = 0; i < kWork; ++i) {
            made.fetch_add(1);
            bell.ring();
        }
    });
    int taken = 0;
    int timeouts = 0;
    while (taken < kWork) {
        if (made.load() > taken) {
            taken = made.load();
            continue;
        }
        if (!bell.wait_until(Steady::now() + 5s)) ++timeouts;
    }
    maker.join();
    EXPECT_EQ(timeouts, 0);
}

}  // namespace
}  // namespace thumbrover
