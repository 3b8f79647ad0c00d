#include "core/controller/link.hpp"

#include <atomic>
#include <utility>

namespace thumbrover {

ControllerLink::ControllerLink(std::unique_ptr<ControllerEvents> events, FeedbackReceiver feedback)
    : events_(std::move(events)), feedback_(std::move(feedback)) {}

namespace {

std::shared_ptr<ControllerLink>& link_owner() {
    static std::shared_ptr<ControllerLink> owner;
    return owner;
}
std::atomic<ControllerLink*> g_link{nullptr};
std::mutex g_publish_mutex;

}  // namespace

bool publish_controller_link(std::shared_ptr<ControllerLink> link) {
    if (!link) return false;
    std::lock_guard lock(g_publish_mutex);
    if (g_link.load(std::memory_order_acquire) != nullptr) return false;
    link_owner() = std::move(link);
    g_link.store(link_owner().get(), std::memory_order_release);
    return true;
}

ControllerLink* published_controller_link() {
    return g_link.load(std::memory_order_acquire);
}

}  // namespace thumbrover
