#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace thumbrover {

// A stop asked of work running elsewhere, as std::stop_source / std::stop_token /
// std::stop_callback are: the C++ library of the macOS releases we build for has no <stop_token>.
// A callback runs once, on the thread that asks for the stop (or at once where the stop was asked
// already); its StopCallback's destruction waits for a run of it under way.
namespace stop_detail {
struct State {
    std::mutex mutex;
    bool stopped = false;
    std::size_t next_id = 0;
    std::vector<std::pair<std::size_t, std::function<void()>>> callbacks;
};
}  // namespace stop_detail

class StopToken {
  public:
    StopToken() = default;  // never stopped
    [[nodiscard]] bool stop_possible() const { return state_ != nullptr; }
    [[nodiscard]] bool stop_requested() const {
        if (!state_) return false;
        const std::lock_guard lock(state_->mutex);
        return state_->stopped;
    }

  private:
    friend class StopSource;
    friend class StopCallback;
    explicit StopToken(std::shared_ptr<stop_detail::State> state) : state_(std::move(state)) {}
    std::shared_ptr<stop_detail::State> state_;
};

class StopSource {
  public:
    [[nodiscard]] StopToken get_token() const { return StopToken(state_); }
    [[nodiscard]] bool stop_requested() const { return get_token().stop_requested(); }
    // The callbacks run under the state's lock, so that a StopCallback being destroyed meanwhile
    // waits for them; they must not touch this stop themselves.
    void request_stop() {
        const std::lock_guard lock(state_->mutex);
        if (state_->stopped) return;
        state_->stopped = true;
        for (auto& [id, callback] : state_->callbacks)
            callback();
        state_->callbacks.clear();
    }

  private:
    std::shared_ptr<stop_detail::State> state_ = std::make_shared<stop_detail::State>();
};

class StopCallback {
  public:
    StopCallback(const StopToken& token, std::function<void()> callback) : state_(token.state_) {
        if (!state_) return;
        std::unique_lock lock(state_->mutex);
        if (state_->stopped) {
            lock.unlock();
            callback();
            state_.reset();
            return;
        }
        id_ = state_->next_id++;
        state_->callbacks.emplace_back(id_, std::move(callback));
    }
    ~StopCallback() {
        if (!state_) return;
        const std::lock_guard lock(state_->mutex);
        std::erase_if(state_->callbacks, [this](const auto& entry) { return entry.first == id_; });
    }
    StopCallback(const StopCallback&) = delete;
    StopCallback& operator=(const StopCallback&) = delete;

  private:
    std::shared_ptr<stop_detail::State> state_;
    std::size_t id_ = 0;
};

}  // namespace thumbrover
