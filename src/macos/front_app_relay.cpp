#include "macos/front_app_relay.hpp"

#include <utility>

namespace thumbrover {

bool FrontAppRelay::attach(Detach detach) {
    {
        const std::lock_guard lock(mutex_);
        if (!stopped_) {
            detach_ = std::move(detach);
            return true;
        }
    }
    if (detach) detach();
    return false;
}

void FrontAppRelay::report(std::string app_id) {
    const std::lock_guard lock(mutex_);
    if (stopped_ || last_ == app_id) return;
    last_ = app_id;
    changed_(std::move(app_id));
}

void FrontAppRelay::stop() {
    Detach detach;
    std::function<void(std::string)> changed;
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        detach = std::move(detach_);
        changed = std::move(changed_);
        detach_ = nullptr;
        changed_ = nullptr;
    }
    // Outside the lock: the system's removal, and letting go of what `changed` holds, call out.
    if (detach) detach();
}

}  // namespace thumbrover
