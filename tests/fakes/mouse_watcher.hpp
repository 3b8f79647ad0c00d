#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/mouse_watcher.hpp"
#include "test_support.hpp"

namespace thumbrover::fakes {

// A motion source that plays a script: the answers to `start` (Failed once they run out), then
// the motions, each after its gap on the test's clock when there is one. The stream ends with
// the script.
class ScriptedSource final : public MouseMotionSource {
  public:
    ScriptedSource() = default;
    ScriptedSource(testing::ManualClock& clock, std::vector<std::string>& log)
        : clock_(&clock), log_(&log) {}

    std::deque<WatchStart> starts;
    std::deque<std::pair<std::chrono::nanoseconds, MotionOrigin>> motions;

    WatchStart start() override {
        if (log_ != nullptr) log_->emplace_back("start");
        if (starts.empty()) return WatchStart::Failed;
        const WatchStart answer = starts.front();
        starts.pop_front();
        return answer;
    }
    std::optional<MotionOrigin> next_motion() override {
        if (motions.empty()) return std::nullopt;
        const auto [gap, origin] = motions.front();
        motions.pop_front();
        if (clock_ != nullptr) clock_->t += gap;
        return origin;
    }
    // The script ends by itself.
    void stop() override {}

  private:
    testing::ManualClock* clock_ = nullptr;
    std::vector<std::string>* log_ = nullptr;
};

}  // namespace thumbrover::fakes
