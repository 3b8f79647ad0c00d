#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace thumbrover {

// Carries the application in front from the main thread, where the workspace tells it, to the
// watcher's reader. The watcher is made and destroyed on the engine thread, so the main thread
// may get to it after it has gone: the relay, shared with the main thread's blocks, keeps its
// promise that nothing is reported once it has stopped, and that an observer registered late is
// removed all the same.
class FrontAppRelay {
  public:
    using Detach = std::function<void()>;

    explicit FrontAppRelay(std::function<void(std::string app_id)> changed)
        : changed_(std::move(changed)) {}

    // Main thread, once the observer is registered: false when the relay stopped first, in which
    // case `remove_observer` has been called already and the caller reports nothing.
    bool attach(Detach remove_observer);

    // Main thread. The first report is the application in front read after `attach`; later ones
    // are changes. One that repeats the last report is dropped: a change queued while the first
    // value was read names the same application again. Nothing once stopped.
    void report(std::string app_id);

    // Any thread but one inside `changed`. When it returns, the observer is detached, `changed`
    // has been destroyed and is never called again, and a report under way has finished.
    void stop();

  private:
    std::mutex mutex_;
    bool stopped_ = false;
    std::optional<std::string> last_;
    Detach detach_;
    std::function<void(std::string)> changed_;
};

}  // namespace thumbrover
