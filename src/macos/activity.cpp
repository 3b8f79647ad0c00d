#include "macos/activity.hpp"

namespace thumbrover {

void SteeringActivity::update(bool active) {
    // Asked once per change: a system that gave no activity is not asked 250 times a second.
    if (active == wanted_) return;
    wanted_ = active;
    if (active)
        held_ = begin_ != nullptr ? begin_() : nullptr;
    else
        held_.reset();
}

}  // namespace thumbrover
