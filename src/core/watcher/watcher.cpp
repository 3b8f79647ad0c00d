#include "core/watcher/watcher.hpp"

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "core/common/diag.hpp"
#include "core/engine/messages.hpp"

namespace thumbrover {

bool MotionFilter::accept(MotionOrigin origin, std::chrono::nanoseconds now) {
    if (origin == MotionOrigin::Own) return false;
    // A clock that reads earlier than the last report also waits: the difference is negative.
    if (last_report_ && now - *last_report_ < kMinimumInterval) return false;
    last_report_ = now;
    return true;
}

void run_mouse_watcher(MouseMotionSource& source, const std::function<void()>& mouse_moved,
                       const MouseWatcherDeps& deps) {
    for (;;) {
        if (deps.stopped()) return;
        const WatchStart started = source.start();
        if (started == WatchStart::Watching) break;
        if (deps.stopped()) return;
        if (started == WatchStart::Failed) {
            diag("cannot watch the real mouse");
            return;
        }
        diag("cannot watch the real mouse yet, waiting for " + std::string(source.waiting_for()));
        deps.sleep(kWatchRetryInterval);
    }
    MotionFilter filter;
    while (const std::optional<MotionOrigin> origin = source.next_motion()) {
        if (filter.accept(*origin, deps.clock.now())) mouse_moved();
    }
    if (!deps.stopped()) diag("cannot watch the real mouse");
}

struct MouseWatcherThread::Shared {
    std::unique_ptr<MouseMotionSource> source;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopped = false;
};

MouseWatcherThread::MouseWatcherThread(std::unique_ptr<Shared> shared, std::thread thread) noexcept
    : shared_(std::move(shared)), thread_(std::move(thread)) {}

MouseWatcherThread::~MouseWatcherThread() {
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->stopped = true;
    }
    shared_->wake.notify_all();
    // The flag comes first: the watcher then takes the end of its stream for the stop it is.
    shared_->source->stop();
    thread_.join();
}

std::unique_ptr<MouseWatcherThread> start_mouse_watcher(std::unique_ptr<MouseMotionSource> source,
                                                        std::function<void()> mouse_moved) {
    auto shared = std::make_unique<MouseWatcherThread::Shared>();
    shared->source = std::move(source);
    try {
        std::thread thread([s = shared.get(), mouse_moved = std::move(mouse_moved)] {
            const MouseWatcherDeps deps{.clock = steady_clock(),
                                        .sleep =
                                            [s](std::chrono::nanoseconds duration) {
                                                std::unique_lock lock(s->mutex);
                                                s->wake.wait_for(lock, duration,
                                                                 [s] { return s->stopped; });
                                            },
                                        .stopped =
                                            [s] {
                                                const std::lock_guard lock(s->mutex);
                                                return s->stopped;
                                            }};
            run_mouse_watcher(*s->source, mouse_moved, deps);
        });
        return std::make_unique<MouseWatcherThread>(std::move(shared), std::move(thread));
    } catch (const std::system_error&) {
        diag("failed to spawn thread");
        std::abort();
    }
}

std::unique_ptr<MouseWatcherThread> start_mouse_watcher(std::unique_ptr<MouseMotionSource> source,
                                                        EngineSender engine) {
    return start_mouse_watcher(std::move(source), [engine = std::move(engine)] {
        engine.send(EngineMessage::input(InputEvent::mouse_moved()));
    });
}

}  // namespace thumbrover
