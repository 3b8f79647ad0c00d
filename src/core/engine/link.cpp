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
    wake_user_interface();
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

void EngineLink::set_profile(std::optional<std::string> profile) {
    {
        std::lock_guard lock(mutex_);
        if (status_.profile == profile) return;
    }
    change([&](EngineStatus& s) { s.profile = std::move(profile); });
}

namespace {
SetOnce<EngineLink>& link_cell() {
    static SetOnce<EngineLink> cell;
    return cell;
}
}  // namespace

bool publish_engine_link(std::shared_ptr<EngineLink> link) {
    const bool published = link_cell().publish(std::move(link));
    // The menu can be built now.
    if (published) wake_user_interface();
    return published;
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

namespace {

struct WakerCell {
    std::mutex mutex;
    std::function<void()> waker;
};

WakerCell& waker_cell() {
    // Never destroyed: the engine thread may still report a change while exit handlers run.
    static WakerCell& cell = *new WakerCell();
    return cell;
}

}  // namespace

void set_user_interface_waker(std::function<void()> waker) {
    WakerCell& cell = waker_cell();
    std::lock_guard lock(cell.mutex);
    cell.waker = std::move(waker);
}

void wake_user_interface() {
    WakerCell& cell = waker_cell();
    std::lock_guard lock(cell.mutex);
    if (cell.waker) cell.waker();
}

std::atomic<bool>& steering_circle_visible() {
    return g_circle_visible;
}

}  // namespace thumbrover
