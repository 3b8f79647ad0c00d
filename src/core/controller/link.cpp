#include "core/controller/link.hpp"
#include "core/common/set_once.hpp"

#include <atomic>
#include <utility>

namespace thumbrover {

ControllerLink::ControllerLink(std::unique_ptr<ControllerEvents> events, FeedbackReceiver feedback)
    : events_(std::move(events)), feedback_(std::move(feedback)) {}

void ControllerLink::set_sampler(std::function<void(ControllerEvents&)> sampler) {
    const std::lock_guard lock(mutex_);
    sampler_ = std::move(sampler);
}

bool ControllerLink::sample(ControllerEvents& sink, const std::function<bool()>& quiet) {
    const std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock() || !sampler_ || !quiet()) return false;
    sampler_(sink);
    return true;
}

void ControllerLink::set_steering(bool steering) {
    if (steering_.exchange(steering, std::memory_order_acq_rel) == steering) return;
    std::function<void()> listener;
    {
        const std::lock_guard lock(hooks_mutex_);
        listener = pace_listener_;
    }
    if (listener) listener();
}

void ControllerLink::on_pace(std::function<void()> listener) {
    const std::lock_guard lock(hooks_mutex_);
    pace_listener_ = std::move(listener);
}

namespace {
SetOnce<ControllerLink>& link_cell() {
    static SetOnce<ControllerLink> cell;
    return cell;
}
}  // namespace

bool publish_controller_link(std::shared_ptr<ControllerLink> link) {
    return link_cell().publish(std::move(link));
}

ControllerLink* published_controller_link() {
    return link_cell().get();
}

}  // namespace thumbrover
