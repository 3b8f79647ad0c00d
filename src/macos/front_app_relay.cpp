#include "macos/front_app_relay.hpp"

#include <utility>

namespace thumbrover {

bool FrontAppRelay::attach(Detach remove_observer) {
    {
        const std::lock_guard lock(mutex_);
        if (!stopped_) {
            detach_ = std::move(remove_observer);
            return true;
        }
    }
    if (remove_observer) remove_observer();
    return false;
}

void FrontAppRelay::report(std::string app_id) {
    const std::lock_guard lock(mutex_);
    if (stopped_ || last_ == app_id) return;
    last_ = app_id;
    changed_(std::move(app_id));
}

void FrontAppRelay::stop() {
    Detach remove_observer;
    std::function<void(std::string)> changed;
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        remove_observer = std::move(detach_);
        changed = std::move(changed_);
        detach_ = nullptr;
        changed_ = nullptr;
    }
    // Outside the lock: the system's removal, and letting go of what `changed` holds, call out.
    if (remove_observer) remove_observer();
}

}  // namespace thumbrover
