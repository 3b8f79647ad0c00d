#include "core/controller/link.hpp"
#include "core/common/set_once.hpp"

#include <atomic>
#include <utility>

namespace thumbrover {

ControllerLink::ControllerLink(std::unique_ptr<ControllerEvents> events, FeedbackReceiver feedback)
    : events_(std::move(events)), feedback_(std::move(feedback)) {}

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
