#pragma once

#include <atomic>
#include <memory>
#include <mutex>

namespace thumbrover {

// A process-wide cell that is filled once and then read from any thread without a lock.
// The value is kept for the life of the process, so readers may hold the plain pointer.
template <class T>
class SetOnce {
  public:
    // False when the cell is already filled or the value is empty; the first value stays.
    bool publish(std::shared_ptr<T> value) {
        if (!value) return false;
        std::lock_guard lock(mutex_);
        if (pointer_.load(std::memory_order_acquire) != nullptr) return false;
        owner_ = std::move(value);
        pointer_.store(owner_.get(), std::memory_order_release);
        return true;
    }

    // Null until published.
    [[nodiscard]] T* get() const { return pointer_.load(std::memory_order_acquire); }

  private:
    std::mutex mutex_;
    std::shared_ptr<T> owner_;
    std::atomic<T*> pointer_{nullptr};
};

}  // namespace thumbrover
