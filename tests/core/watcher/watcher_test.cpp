#include "core/watcher/watcher.hpp"

#include "core/engine/messages.hpp"
#include "fakes/mouse_watcher.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace thumbrover {
namespace {

using testing::ManualClock;

using namespace std::chrono_literals;
using std::chrono::nanoseconds;

TEST(MotionFilter, OwnEventsNeverCountAndRealOnesAtMostEvery100ms) {
    struct Step {
        nanoseconds at;
        MotionOrigin origin;
        bool reported;
    };
    const Step steps[] = {
        {0ms, MotionOrigin::Own, false},    {0ms, MotionOrigin::Real, true},
        {1ms, MotionOrigin::Real, false},   {99ms, MotionOrigin::Real, false},
        {100ms, MotionOrigin::Own, false},  {100ms, MotionOrigin::Real, true},
        {150ms, MotionOrigin::Real, false}, {50ms, MotionOrigin::Real, false},  // clock went back
        {199ms, MotionOrigin::Real, false}, {200ms, MotionOrigin::Real, true},
        {5s, MotionOrigin::Own, false},     {5s, MotionOrigin::Real, true},
    };
    MotionFilter filter;
    for (const Step& s : steps) {
        EXPECT_EQ(filter.accept(s.origin, s.at), s.reported)
            << std::chrono::duration_cast<std::chrono::milliseconds>(s.at).count();
    }
}

TEST(MotionFilter, ASteadyStreamOfOwnMotionNeverReports) {
    MotionFilter filter;
    for (int i = 0; i < 10000; ++i) {
        ASSERT_FALSE(filter.accept(MotionOrigin::Own, nanoseconds(i * 1ms)));
    }
}

using fakes::ScriptedSource;

struct WatcherRun {
    ManualClock clock{10s};
    std::vector<std::string> log;
    ScriptedSource source{clock, log};
    std::string errors;

    void run() {
        const MouseWatcherDeps deps{
            clock, [this](nanoseconds d) {
                log.push_back("sleep " + std::to_string(d.count() / 1'000'000'000));
            }};
        ::testing::internal::CaptureStderr();
        run_mouse_watcher(
            source, [this] { log.push_back("MouseMoved"); }, deps);
        errors = ::testing::internal::GetCapturedStderr();
    }
};

using Lines = std::vector<std::string>;

TEST(MouseWatcher, WaitsWithALinePerRefusalThenReportsFilteredMotion) {
    WatcherRun w;
    w.source.starts = {WatchStart::NotAllowedYet, WatchStart::NotAllowedYet, WatchStart::Watching};
    // Real motion every 8 ms for 320 ms, interleaved with our own synthetic moves: reported at 8,
    // 112, 216 and 320 ms, the first real motion at least 100 ms after the last report.
    for (int i = 0; i < 40; ++i) {
        w.source.motions.push_back({4ms, MotionOrigin::Own});
        w.source.motions.push_back({4ms, MotionOrigin::Real});
    }
    w.run();
    EXPECT_EQ(w.log, (Lines{"start", "sleep 5", "start", "sleep 5", "start", "MouseMoved",
                            "MouseMoved", "MouseMoved", "MouseMoved"}));
    const std::string waiting =
        "thumbrover: cannot watch the real mouse yet, waiting for Accessibility access\n";
    EXPECT_EQ(w.errors, waiting + waiting + "thumbrover: cannot watch the real mouse\n");
}

TEST(MouseWatcher, TheWaitingLineNamesWhatThePlatformWaitsFor) {
    // An X11 session has no permission to wait for, only a display to reach.
    class DisplaySource final : public MouseMotionSource {
      public:
        int refusals = 2;
        WatchStart start() override {
            return refusals-- > 0 ? WatchStart::NotAllowedYet : WatchStart::Failed;
        }
        std::string_view waiting_for() const override { return "the X display"; }
        std::optional<MotionOrigin> next_motion() override { return std::nullopt; }
        void stop() override {}
    } source;
    ManualClock clock{1s};
    const MouseWatcherDeps deps{clock, [](nanoseconds) {}};
    ::testing::internal::CaptureStderr();
    run_mouse_watcher(
        source, [] {}, deps);
    const std::string waiting =
        "thumbrover: cannot watch the real mouse yet, waiting for the X display\n";
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              waiting + waiting + "thumbrover: cannot watch the real mouse\n");
}

TEST(MouseWatcher, GivesUpWithoutRetryingWhenWatchingCannotWork) {
    WatcherRun w;
    w.source.starts = {WatchStart::Failed};
    w.run();
    EXPECT_EQ(w.log, Lines{"start"});
    EXPECT_EQ(w.errors, "thumbrover: cannot watch the real mouse\n");
}

// The detached thread really runs the watcher and reaches the caller's sender: one real motion,
// then the stream ends.
std::unique_ptr<MouseMotionSource> one_real_motion() {
    auto source = std::make_unique<ScriptedSource>();
    source->starts = {WatchStart::Watching};
    source->motions = {{nanoseconds(0), MotionOrigin::Real}};
    return source;
}

TEST(MouseWatcher, StartRunsOnItsOwnThread) {
    std::mutex mutex;
    std::condition_variable done;
    int reports = 0;
    ::testing::internal::CaptureStderr();
    const auto watcher = start_mouse_watcher(one_real_motion(), [&] {
        std::lock_guard lock(mutex);
        ++reports;
        done.notify_one();
    });
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return reports > 0; });
    lock.unlock();
    // Let the thread print its closing line before stderr is released.
    std::this_thread::sleep_for(50ms);
    (void)::testing::internal::GetCapturedStderr();
    EXPECT_EQ(reports, 1);
}

TEST(MouseWatcher, ReportsReachTheEngineAsMouseMoved) {
    auto [sender, receiver] = make_channel<EngineMessage>();
    ::testing::internal::CaptureStderr();
    const auto watcher = start_mouse_watcher(one_real_motion(), sender);
    const std::optional<EngineMessage> got = receiver.recv_for(10s);
    std::this_thread::sleep_for(50ms);
    (void)::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(std::get<InputEvent>(got->payload), InputEvent::mouse_moved());
}

// A source that blocks in `next_motion` until stopped, as a real one waits for the window system.
struct BlockingSource final : MouseMotionSource {
    std::atomic<bool>* destroyed = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    bool waiting = false;
    bool stopped = false;

    ~BlockingSource() override { *destroyed = true; }
    WatchStart start() override { return WatchStart::Watching; }
    std::optional<MotionOrigin> next_motion() override {
        std::unique_lock lock(mutex);
        waiting = true;
        changed.notify_all();
        changed.wait(lock, [this] { return stopped; });
        return std::nullopt;
    }
    void stop() override {
        const std::lock_guard lock(mutex);
        stopped = true;
        changed.notify_all();
    }
};

TEST(MouseWatcher, ItsThreadEndsQuietlyWithItsHandleBeforeOrWhileItWaits) {
    for (const bool blocked_first : {false, true}) {
        SCOPED_TRACE(blocked_first ? "waiting for motion" : "just started");
        std::atomic<bool> destroyed{false};
        auto source = std::make_unique<BlockingSource>();
        source->destroyed = &destroyed;
        BlockingSource& blocking = *source;
        ::testing::internal::CaptureStderr();
        auto watcher = start_mouse_watcher(std::move(source), [] {});
        if (blocked_first) {
            std::unique_lock lock(blocking.mutex);
            blocking.changed.wait(lock, [&] { return blocking.waiting; });
        }
        watcher.reset();
        // Joined, not left running: the source went with the thread, and a stop is no failure.
        EXPECT_TRUE(destroyed);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    }
}

}  // namespace
}  // namespace thumbrover
