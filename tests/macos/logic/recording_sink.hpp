#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <ostream>
#include <vector>

#include "macos/event_sink.hpp"

namespace thumbrover {

inline void PrintTo(const MacEvent& event, std::ostream* out) {
    *out << describe(event);
}

namespace testing {

// Stands in for the CoreGraphics backend: records what would be posted and answers the queries
// from fields the test sets. The pointer stays where the test puts it.
class RecordingSink final : public MacEventSink {
  public:
    std::vector<MacEvent> events;
    MacPoint pointer{100, 100};
    std::vector<MacRect> displays{{0, 0, 1920, 1080}};
    double interval_seconds = 0.5;
    std::chrono::nanoseconds now{std::chrono::seconds(1000)};
    // Zero-based number of the post call that fails; -1 for none.
    int fail_post = -1;
    int posts = 0;
    // None: US positions.
    std::shared_ptr<const LetterKeys> letters;

    bool post(const MacEvent& event) override {
        if (posts++ == fail_post) return false;
        events.push_back(event);
        return true;
    }
    MacPoint pointer_location() override { return pointer; }
    std::size_t active_displays(std::array<MacRect, mac::kMaxDisplays>& out) override {
        const std::size_t count = std::min(displays.size(), out.size());
        std::copy_n(displays.begin(), count, out.begin());
        return count;
    }
    double double_click_interval_seconds() override { return interval_seconds; }
    std::chrono::nanoseconds monotonic_now() override { return now; }
    std::shared_ptr<const LetterKeys> letter_keys() override { return letters; }
};

}  // namespace testing
}  // namespace thumbrover
