#include "core/controller/reader.hpp"

#include <utility>

namespace thumbrover {

void ControllerNewsBox::post(ControllerNews news) {
    {
        std::lock_guard lock(mutex_);
        pending_ = static_cast<std::uint8_t>(pending_ | static_cast<std::uint8_t>(news));
    }
    posted_.notify_one();
}

std::uint8_t ControllerNewsBox::take(std::optional<std::chrono::nanoseconds> timeout) {
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return pending_ != 0; };
    if (timeout) {
        posted_.wait_for(lock, *timeout, ready);
    } else {
        posted_.wait(lock, ready);
    }
    return std::exchange(pending_, std::uint8_t{0});
}

ControllerReader::ControllerReader(ControllerPoller& poller, ControllerNewsBox& news,
                                   bool announcing, ControllerReaderDeps deps)
    : poller_(poller), news_(news), announcing_(announcing), deps_(std::move(deps)) {
    if (announcing_) {
        // Only the first look and announced changes of the device list look for controllers.
        poller_.set_polls_per_refresh(UINT32_MAX);
    }
}

std::optional<std::chrono::nanoseconds> ControllerReader::wait_time(
    std::chrono::nanoseconds now) const {
    if (!listening_) return kLinkLook;
    if (!announcing_) return kFixedPoll;
    if (!poller_.has_controller()) return std::nullopt;
    if (!last_battery_look_ || now < *last_battery_look_) return kBatteryLook;
    const auto due = *last_battery_look_ + kBatteryLook;
    return due > now ? due - now : std::chrono::nanoseconds{0};
}

ControllerReader::~ControllerReader() {
    if (!listening_) return;
    if (ControllerLink* link = deps_.link()) {
        link->set_sampler({});
        link->on_pace({});
        link->on_request({});
    }
}

bool ControllerReader::step() {
    std::uint8_t news = news_.take(wait_time(deps_.clock.now()));
    if ((news & static_cast<std::uint8_t>(ControllerNews::Stop)) != 0) return false;

    ControllerLink* link = deps_.link();
    if (link != nullptr && !listening_) {
        // Rumble requests wake the reader like the controller does.
        link->on_request([this] { news_.post(ControllerNews::Feedback); });
        // So does the engine starting or stopping to steer: the service is told, and stick
        // changes left for the engine's reads are reported once it no longer makes them.
        link->on_pace([this] { news_.post(ControllerNews::Pace); });
        link->set_sampler([this](ControllerEvents& sink) { poller_.sample(sink); });
        listening_ = true;
    }

    std::chrono::nanoseconds now = deps_.clock.now();
    if (announcing_ && last_read_ && now >= *last_read_ && now - *last_read_ < kMinimumGap) {
        deps_.sleep(kMinimumGap - (now - *last_read_));
        news = static_cast<std::uint8_t>(news | news_.take(std::chrono::nanoseconds{0}));
        if ((news & static_cast<std::uint8_t>(ControllerNews::Stop)) != 0) return false;
        now = deps_.clock.now();
    }
    if ((news & static_cast<std::uint8_t>(ControllerNews::Devices)) != 0) poller_.request_refresh();
    if (poller_.has_controller() && last_battery_look_ &&
        (now < *last_battery_look_ || now - *last_battery_look_ >= kBatteryLook)) {
        poller_.request_refresh();
        last_battery_look_ = now;
    }
    poller_.poll(link);
    if (!poller_.has_controller()) {
        last_battery_look_.reset();
    } else if (!last_battery_look_) {
        // Adopting the controller has just read its battery.
        last_battery_look_ = now;
    }
    last_read_ = now;
    return true;
}

}  // namespace thumbrover
