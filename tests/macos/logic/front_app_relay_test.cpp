#include "macos/front_app_relay.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace thumbrover {
namespace {

using ::testing::ElementsAreArray;

// A step on the main thread (attach, report) or on the engine thread (stop).
struct Step {
    enum { Attach, Report, Stop } what;
    const char* app = "";
};

TEST(FrontAppRelay, ReportsTheFirstValueThenChangesUntilStoppedAndDetachesOnce) {
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> heard;
        int detached;
    } cases[] = {
        {"first value, then changes",
         {{Step::Attach},
          {Step::Report, "com.apple.Safari"},
          {Step::Report, "com.apple.mail"},
          {Step::Report, ""},
          {Step::Stop}},
         {"com.apple.Safari", "com.apple.mail", ""},
         1},
        // A change queued while the first value was read names the same application.
        {"a repeat is dropped",
         {{Step::Attach},
          {Step::Report, "com.apple.mail"},
          {Step::Report, "com.apple.mail"},
          {Step::Report, "com.apple.Safari"},
          {Step::Report, "com.apple.mail"}},
         {"com.apple.mail", "com.apple.Safari", "com.apple.mail"},
         0},
        {"an empty first value counts", {{Step::Attach}, {Step::Report, ""}}, {""}, 0},
        {"nothing after stop",
         {{Step::Attach}, {Step::Report, "a.b"}, {Step::Stop}, {Step::Report, "c.d"}, {Step::Stop}},
         {"a.b"},
         1},
        // The watcher went away before the main thread got to it: the observer registered late
        // is removed at once and nothing is reported.
        {"stopped before the main thread attached",
         {{Step::Stop}, {Step::Attach}, {Step::Report, "a.b"}},
         {},
         1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> heard;
        int detached = 0;
        FrontAppRelay relay([&heard](std::string app) { heard.push_back(std::move(app)); });
        for (const Step& step : c.steps) {
            switch (step.what) {
                case Step::Attach: {
                    const bool attached = relay.attach([&detached] { ++detached; });
                    EXPECT_EQ(attached, detached == 0) << c.name;
                    break;
                }
                case Step::Report:
                    relay.report(step.app);
                    break;
                case Step::Stop:
                    relay.stop();
                    break;
            }
        }
        EXPECT_THAT(heard, ElementsAreArray(c.heard)) << c.name;
        EXPECT_EQ(detached, c.detached) << c.name;
    }
}

}  // namespace
}  // namespace thumbrover
