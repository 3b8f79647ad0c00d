#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <vector>

#include "core/common/child_exits.hpp"
#include "core/common/files.hpp"
#include "core/common/numeric.hpp"

namespace thumbrover {

struct ChildExits::Impl {
    UniqueFd wake{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    // A process descriptor becomes readable when its child ends, and stays so until closed.
    std::map<pid_t, UniqueFd> children;
    std::vector<pollfd> polled;
};

ChildExits::ChildExits() : impl_(std::make_unique<Impl>()) {}
ChildExits::~ChildExits() = default;

bool ChildExits::can_wake() const noexcept {
    return impl_->wake.valid();
}

bool ChildExits::watch(pid_t pid) {
    // Close-on-exec by the kernel's own rule, so no later child inherits it. Called directly:
    // glibc 2.36's header declares its wrapper without C linkage for C++.
    UniqueFd descriptor(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    if (!descriptor.valid()) return false;
    impl_->children.insert_or_assign(pid, std::move(descriptor));
    return true;
}

void ChildExits::forget(pid_t pid) {
    impl_->children.erase(pid);
}

void ChildExits::wait(std::optional<std::chrono::milliseconds> timeout) {
    std::vector<pollfd>& polled = impl_->polled;
    polled.clear();
    if (impl_->wake.valid()) polled.push_back({impl_->wake.get(), POLLIN, 0});
    for (const auto& [pid, descriptor] : impl_->children)
        polled.push_back({descriptor.get(), POLLIN, 0});
    const int wait_ms = timeout ? saturate_cast<int>(timeout->count()) : -1;
    if (::poll(polled.data(), polled.size(), wait_ms) <= 0) return;
    if (impl_->wake.valid() && polled.front().revents != 0) {
        std::uint64_t count = 0;
        static_cast<void>(::read(impl_->wake.get(), &count, sizeof count));
    }
}

void ChildExits::wake() noexcept {
    if (!impl_->wake.valid()) return;
    const std::uint64_t one = 1;
    static_cast<void>(::write(impl_->wake.get(), &one, sizeof one));
}

}  // namespace thumbrover
