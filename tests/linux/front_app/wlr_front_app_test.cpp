// The follower of wlroots compositors against a real sway (headless, of the test's own) and the
// probe's windows, each with the app_id the test gives it.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "linux/front_app/front_app_reports.hpp"
#include "linux/headless_sway.hpp"
#include "linux/wlr_front_app.hpp"

#ifdef THUMBROVER_WAYLAND_PROBE
#include "vm/probe_client.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;
using testing::HeadlessSway;
using testing::ProbeClient;

using Reports = testing::FrontAppReports;

class WlrFrontApp : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sway_.running()) << "sway did not start: " << sway_.log();
        // The probes find the compositor as any client does.
        ::setenv("WAYLAND_DISPLAY", sway_.display().c_str(), 1);
    }
    void TearDown() override { ::unsetenv("WAYLAND_DISPLAY"); }

    std::unique_ptr<ProbeClient> window(const std::string& app_id) {
        auto probe = std::make_unique<ProbeClient>(app_id);
        EXPECT_TRUE(probe->wait_for_line("ready")) << app_id;
        return probe;
    }

    HeadlessSway sway_;
};

TEST_F(WlrFrontApp, FollowsTheFocusedWindowAndEndsWithTheCompositor) {
    EXPECT_TRUE(WlrFrontAppWatcher::offered(sway_.display()));
    const auto one = window("org.example.One");
    // Shown is not yet mapped and focused: once sway can focus it, it has.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!sway_.command("[app_id=\"org.example.One\"] focus") &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    Reports reports;
    auto watcher = std::make_unique<WlrFrontAppWatcher>(sway_.display());
    watcher->watch([&](std::string id) { reports.add(std::move(id)); });
    EXPECT_TRUE(reports.settles_on("org.example.One"));  // the one in front already
    const auto two = window("two");
    EXPECT_TRUE(reports.settles_on("two"));  // a new window takes the focus
    ASSERT_TRUE(sway_.command("[app_id=\"org.example.One\"] focus"));
    EXPECT_TRUE(reports.settles_on("org.example.One"));
    ASSERT_TRUE(sway_.command("[app_id=\"two\"] focus"));
    EXPECT_TRUE(reports.settles_on("two"));
    EXPECT_EQ(reports.all(),
              (std::vector<std::string>{"org.example.One", "two", "org.example.One", "two"}));
    EXPECT_EQ(watcher->running_apps(),
              (std::vector<RunningApp>{{"org.example.One", "org.example.One"}, {"two", "two"}}));

    // The session ends: the application in front is unknown from then on, and the watcher still
    // ends as it should.
    sway_.stop();
    EXPECT_TRUE(reports.settles_on(""));
    watcher.reset();
    EXPECT_TRUE(WlrFrontAppWatcher(sway_.display()).running_apps().empty());
}

// Whatever bytes a client sets as its app_id, the follower reports what an identity can be made
// of, as for an X window's class: valid text without control characters, up to the length a
// profile may have, else no application.
TEST_F(WlrFrontApp, HostileAppIdsAreIdentitiesOrNone) {
    struct Case {
        std::string app_id;
        std::string reported;
    };
    const std::vector<Case> cases = {
        {"plain", "plain"},
        {"", ""},
        {std::string(4000, 'a'), ""},
        {"bad\xff\xfe", "bad\xef\xbf\xbd\xef\xbf\xbd"},
        {"tab\there", ""},
        {"line\nbreak", ""},
        {"\xe2\x80\xae"
         "evil",
         "\xe2\x80\xae"
         "evil"},
    };
    Reports reports;
    WlrFrontAppWatcher watcher(sway_.display());
    watcher.watch([&](std::string id) { reports.add(std::move(id)); });
    // Each stays open, so that every report is of the newest window, which has the focus.
    std::vector<std::unique_ptr<ProbeClient>> windows;
    for (const Case& c : cases) {
        windows.push_back(window(c.app_id));
        EXPECT_TRUE(reports.settles_on(c.reported)) << "app_id of " << c.app_id.size() << " bytes";
        ASSERT_TRUE(sway_.running());
    }
    for (const RunningApp& app : watcher.running_apps())
        EXPECT_FALSE(app.id.empty());
}

}  // namespace
}  // namespace thumbrover

#else
TEST(WlrFrontApp, NeedsTheWaylandProbe) {
    GTEST_SKIP() << "the Wayland probe is built only outside the sanitizer builds";
}
#endif
