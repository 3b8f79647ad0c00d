#include "core/watcher/watcher.hpp"

#include <cstdlib>
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
        const WatchStart started = source.start();
        if (started == WatchStart::Watching) break;
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
    diag("cannot watch the real mouse");
}

void start_mouse_watcher(std::unique_ptr<MouseMotionSource> source,
                         std::function<void()> mouse_moved) {
    try {
        std::thread([source = std::move(source), mouse_moved = std::move(mouse_moved)] {
            const MouseWatcherDeps deps{steady_clock(), [](std::chrono::nanoseconds duration) {
                                            std::this_thread::sleep_for(duration);
                                        }};
            run_mouse_watcher(*source, mouse_moved, deps);
        }).detach();
    } catch (const std::system_error&) {
        diag("failed to spawn thread");
        std::abort();
    }
}

void start_mouse_watcher(std::unique_ptr<MouseMotionSource> source, EngineSender engine) {
    start_mouse_watcher(std::move(source), [engine = std::move(engine)] {
        engine.send(EngineMessage::input(InputEvent::mouse_moved()));
    });
}

}  // namespace thumbrover
