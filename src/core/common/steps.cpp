#include "core/common/steps.hpp"

#include <atomic>

namespace thumbrover {
namespace {

std::atomic<StepObserver> g_observer{nullptr};

}  // namespace

void set_step_observer(StepObserver observer) noexcept {
    g_observer.store(observer, std::memory_order_release);
}

void reached_step(std::string_view step) noexcept {
    if (const StepObserver observer = g_observer.load(std::memory_order_acquire)) observer(step);
}

}  // namespace thumbrover
