#include "core/engine/link.hpp"
#include "core/common/set_once.hpp"

#include <utility>

namespace thumbrover {

EngineLink::EngineLink(EngineSender sender, bool enabled) : sender_(std::move(sender)) {
    status_.enabled = enabled;
}

EngineStatus EngineLink::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

template <class F>
void EngineLink::change(F&& f) {
    {
        std::lock_guard lock(mutex_);
        f(status_);
    }
    changes_.fetch_add(1, std::memory_order_acq_rel);
}

void EngineLink::set_enabled(bool enabled) {
    change([&](EngineStatus& s) { s.enabled = enabled; });
}

void EngineLink::set_connected(bool connected) {
    change([&](EngineStatus& s) {
        s.connected = connected;
        if (!connected) s.battery.reset();
    });
}

void EngineLink::set_battery(std::optional<std::string> battery) {
    change([&](EngineStatus& s) { s.battery = std::move(battery); });
}

namespace {
SetOnce<EngineLink>& link_cell() {
    static SetOnce<EngineLink> cell;
    return cell;
}
}  // namespace

bool publish_engine_link(std::shared_ptr<EngineLink> link) {
    return link_cell().publish(std::move(link));
}

EngineLink* published_engine_link() {
    return link_cell().get();
}

namespace {
// Namespace-scope and constant-initialised, so a signal handler can store into it.
std::atomic<bool> g_quit{false};
std::atomic<bool> g_circle_visible{false};
static_assert(std::atomic<bool>::is_always_lock_free);
}  // namespace

std::atomic<bool>& quit_flag() {
    return g_quit;
}

std::atomic<bool>& steering_circle_visible() {
    return g_circle_visible;
}

}  // namespace thumbrover
