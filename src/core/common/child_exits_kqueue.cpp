#include <sys/event.h>
#include <sys/types.h>
#include <unistd.h>

#include <array>
#include <ctime>

#include "core/common/child_exits.hpp"
#include "core/common/files.hpp"

namespace thumbrover {
namespace {

// The identifier of the queue's one user event, which `wake` triggers.
constexpr uintptr_t kWakeEvent = 1;

}  // namespace

struct ChildExits::Impl {
    UniqueFd queue{::kqueue()};
    bool wake_registered = false;
};

ChildExits::ChildExits() : impl_(std::make_unique<Impl>()) {
    if (!impl_->queue.valid()) return;
    struct kevent change {};
    EV_SET(&change, kWakeEvent, EVFILT_USER, EV_ADD | EV_CLEAR, 0, 0, nullptr);
    impl_->wake_registered = ::kevent(impl_->queue.get(), &change, 1, nullptr, 0, nullptr) == 0;
}

ChildExits::~ChildExits() = default;

bool ChildExits::can_wake() const noexcept {
    return impl_->wake_registered;
}

bool ChildExits::watch(pid_t pid) {
    if (!impl_->queue.valid()) return false;
    struct kevent change {};
    // Refused for a child that has already ended, which the caller then finds reapable at once.
    EV_SET(&change, static_cast<uintptr_t>(pid), EVFILT_PROC, EV_ADD | EV_ONESHOT, NOTE_EXIT, 0,
           nullptr);
    return ::kevent(impl_->queue.get(), &change, 1, nullptr, 0, nullptr) == 0;
}

void ChildExits::forget(pid_t /*pid*/) {
    // Each watch fires once and then leaves the queue by itself.
}

void ChildExits::wait(std::optional<std::chrono::milliseconds> timeout) {
    if (!impl_->queue.valid()) {
        if (timeout) ::usleep(static_cast<useconds_t>(timeout->count() * 1000));
        return;
    }
    timespec limit{};
    if (timeout) {
        limit.tv_sec = static_cast<time_t>(timeout->count() / 1000);
        limit.tv_nsec = static_cast<long>((timeout->count() % 1000) * 1000000);
    }
    std::array<struct kevent, 8> events{};
    static_cast<void>(::kevent(impl_->queue.get(), nullptr, 0, events.data(),
                               static_cast<int>(events.size()), timeout ? &limit : nullptr));
}

void ChildExits::wake() noexcept {
    if (!impl_->wake_registered) return;
    struct kevent change {};
    EV_SET(&change, kWakeEvent, EVFILT_USER, 0, NOTE_TRIGGER, 0, nullptr);
    static_cast<void>(::kevent(impl_->queue.get(), &change, 1, nullptr, 0, nullptr));
}

}  // namespace thumbrover
