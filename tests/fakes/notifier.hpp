#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/notifier.hpp"

namespace thumbrover::fakes {

struct Notification {
    std::string heading;
    std::string body;
    friend bool operator==(const Notification&, const Notification&) = default;
};

// Keeps every notification; safe from any thread, as the contract asks.
class RecordingNotifier final : public Notifier {
  public:
    void notify(std::string_view heading, std::string_view body) override {
        const std::lock_guard lock(mutex_);
        shown_.push_back({std::string(heading), std::string(body)});
        changed_.notify_all();
    }

    [[nodiscard]] std::vector<Notification> shown() const {
        const std::lock_guard lock(mutex_);
        return shown_;
    }
    // Each notification as "heading / body".
    [[nodiscard]] std::vector<std::string> texts() const {
        std::vector<std::string> lines;
        for (const Notification& n : shown())
            lines.push_back(n.heading + " / " + n.body);
        return lines;
    }
    // The texts once there are `count` notifications, or what came within the time.
    [[nodiscard]] std::vector<std::string> wait_for(std::size_t count,
                                                    std::chrono::milliseconds timeout) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, timeout, [&] { return shown_.size() >= count; });
        }
        return texts();
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Notification> shown_;
};

}  // namespace thumbrover::fakes
