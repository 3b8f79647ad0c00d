// The doorbell on Linux: the futex word is the whole state.
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <optional>

#include "core/common/doorbell.hpp"

namespace thumbrover {
namespace {

constexpr std::uint32_t kIdle = 0;
constexpr std::uint32_t kRung = 1;
constexpr std::uint32_t kWaiting = 2;

}  // namespace

struct Doorbell::Impl {
    std::atomic<std::uint32_t> word{kIdle};

    static_assert(sizeof(word) == sizeof(std::uint32_t) &&
                  std::atomic<std::uint32_t>::is_always_lock_free);

    // The kernel only reads the word, and only as the value it compares.
    std::uint32_t* address() { return reinterpret_cast<std::uint32_t*>(&word); }

    bool wait(const std::optional<std::chrono::steady_clock::time_point>& deadline) {
        std::uint32_t idle = kIdle;
        if (word.compare_exchange_strong(idle, kWaiting)) {
            timespec at{};
            if (deadline) {
                // steady_clock is CLOCK_MONOTONIC, which an absolute futex wait measures against.
                const auto since = deadline->time_since_epoch();
                const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
                at.tv_sec = static_cast<time_t>(seconds.count() < 0 ? 0 : seconds.count());
                at.tv_nsec = seconds.count() < 0 ? 0 : static_cast<long>((since - seconds).count());
            }
            // Asleep until rung, or until the deadline. A wake-up that leaves the word as it was
            // (a signal, a spurious return) goes back to sleep; a ring between the exchange
            // above and this call makes it return at once.
            while (word.load() == kWaiting) {
                const long done =
                    ::syscall(SYS_futex, address(), FUTEX_WAIT_BITSET_PRIVATE, kWaiting,
                              deadline ? &at : nullptr, nullptr, FUTEX_BITSET_MATCH_ANY);
                if (done != 0 && errno == ETIMEDOUT) break;
            }
        }
        return word.exchange(kIdle) == kRung;
    }
};

Doorbell::Doorbell() : impl_(std::make_unique<Impl>()) {}

Doorbell::~Doorbell() = default;

void Doorbell::ring() {
    if (impl_->word.exchange(kRung) == kWaiting) {
        ::syscall(SYS_futex, impl_->address(), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
    }
}

bool Doorbell::wait_until(std::chrono::steady_clock::time_point deadline) {
    return impl_->wait(deadline);
}

void Doorbell::wait() {
    while (!impl_->wait(std::nullopt)) {
    }
}

}  // namespace thumbrover
