// The doorbell where no futex is at hand: a flag under a mutex, with a condition variable.
#include <condition_variable>
#include <mutex>
#include <utility>

#include "core/common/doorbell.hpp"

namespace thumbrover {

struct Doorbell::Impl {
    std::mutex mutex;
    std::condition_variable rung_changed;
    bool rung = false;
};

Doorbell::Doorbell() : impl_(std::make_unique<Impl>()) {}

Doorbell::~Doorbell() = default;

void Doorbell::ring() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->rung = true;
    }
    impl_->rung_changed.notify_one();
}

bool Doorbell::wait_until(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(impl_->mutex);
    // A deadline that far ahead would overflow the conversions inside the wait.
    if (deadline == std::chrono::steady_clock::time_point::max()) {
        impl_->rung_changed.wait(lock, [this] { return impl_->rung; });
    } else {
        impl_->rung_changed.wait_until(lock, deadline, [this] { return impl_->rung; });
    }
    return std::exchange(impl_->rung, false);
}

void Doorbell::wait() {
    (void)wait_until(std::chrono::steady_clock::time_point::max());
}

}  // namespace thumbrover
