#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "core/common/doorbell.hpp"

namespace thumbrover {

namespace detail {

template <class T>
struct ChannelState {
    std::mutex mutex;
    // Rung after every send; the receiver, the only one who waits, looks at the queue again.
    Doorbell ready;
    std::deque<T> queue;
    bool receiver_alive = true;
    // Told after every send, outside the lock: for a receiver whose thread waits on more than
    // this channel.
    std::shared_ptr<const std::function<void()>> listener;
};

}  // namespace detail

template <class T>
class Receiver;

// The sending end of an unbounded first-in first-out channel. Copies send into the same channel,
// from any thread. `send` never blocks: the queue grows instead, which at a controller's message
// rate stays tiny, and a sender must never stall the main thread's 4 ms timer.
template <class T>
class Sender {
  public:
    Sender() = default;

    // False when the receiver is gone or the sender was default-constructed; every caller may
    // ignore that, since a message for an engine that has ended has nobody to act on it.
    bool send(T value) const {
        if (!state_) return false;
        std::shared_ptr<const std::function<void()>> listener;
        {
            std::lock_guard lock(state_->mutex);
            if (!state_->receiver_alive) return false;
            state_->queue.push_back(std::move(value));
            listener = state_->listener;
        }
        state_->ready.ring();
        if (listener) (*listener)();
        return true;
    }

    [[nodiscard]] bool connected() const { return state_ != nullptr; }

  private:
    template <class U>
    friend std::pair<Sender<U>, Receiver<U>> make_channel();

    explicit Sender(std::shared_ptr<detail::ChannelState<T>> state) : state_(std::move(state)) {}

    std::shared_ptr<detail::ChannelState<T>> state_;
};

// The one receiving end. Dropping it makes later sends fail and frees what is still queued.
template <class T>
class Receiver {
  public:
    Receiver() = default;
    Receiver(Receiver&&) noexcept = default;
    Receiver& operator=(Receiver&& other) noexcept {
        if (this != &other) {
            close();
            state_ = std::move(other.state_);
        }
        return *this;
    }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;
    ~Receiver() { close(); }

    // Waits at most `timeout` for the oldest message.
    [[nodiscard]] std::optional<T> recv_for(std::chrono::nanoseconds timeout) {
        if (!state_) return std::nullopt;
        using Steady = std::chrono::steady_clock;
        const Steady::time_point now = Steady::now();
        const Steady::time_point deadline =
            timeout >= Steady::time_point::max() - now
                ? Steady::time_point::max()
                : now + std::chrono::ceil<Steady::duration>(timeout);
        for (;;) {
            if (auto message = try_recv()) return message;
            // A send just before the deadline still counts.
            if (!state_->ready.wait_until(deadline)) return try_recv();
        }
    }

    // Waits for the oldest message at most `timeout`, or for as long as it takes without one.
    [[nodiscard]] std::optional<T> recv(std::optional<std::chrono::nanoseconds> timeout) {
        if (timeout) return recv_for(*timeout);
        if (!state_) return std::nullopt;
        for (;;) {
            if (auto message = try_recv()) return message;
            state_->ready.wait();
        }
    }

    // Takes the oldest message without waiting (the main thread drains its channel this way).
    [[nodiscard]] std::optional<T> try_recv() {
        if (!state_) return std::nullopt;
        std::lock_guard lock(state_->mutex);
        if (state_->queue.empty()) return std::nullopt;
        return pop_locked();
    }

    [[nodiscard]] bool connected() const { return state_ != nullptr; }

    // Calls `listener` after every later send, on the sender's thread; it must not block. An
    // empty one stops the calls.
    void set_listener(std::function<void()> listener) {
        if (!state_) return;
        std::lock_guard lock(state_->mutex);
        if (listener) {
            state_->listener = std::make_shared<const std::function<void()>>(std::move(listener));
        } else {
            state_->listener.reset();
        }
    }

    // Whether no message is waiting.
    [[nodiscard]] bool empty() const {
        if (!state_) return true;
        std::lock_guard lock(state_->mutex);
        return state_->queue.empty();
    }

  private:
    template <class U>
    friend std::pair<Sender<U>, Receiver<U>> make_channel();

    explicit Receiver(std::shared_ptr<detail::ChannelState<T>> state) : state_(std::move(state)) {}

    std::optional<T> pop_locked() {
        std::optional<T> out(std::move(state_->queue.front()));
        state_->queue.pop_front();
        return out;
    }

    void close() {
        if (!state_) return;
        std::deque<T> dropped;
        {
            std::lock_guard lock(state_->mutex);
            state_->receiver_alive = false;
            state_->listener.reset();
            dropped.swap(state_->queue);
        }
        state_.reset();
    }

    std::shared_ptr<detail::ChannelState<T>> state_;
};

template <class T>
[[nodiscard]] std::pair<Sender<T>, Receiver<T>> make_channel() {
    auto state = std::make_shared<detail::ChannelState<T>>();
    return {Sender<T>(state), Receiver<T>(state)};
}

}  // namespace thumbrover
