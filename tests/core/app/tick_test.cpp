#include "core/app/tick.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/app/actions.hpp"
#include "fakes/system_services.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::ManualClock;

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// Stands in for every collaborator and writes down each call in the order it came.
class Recorder final : public StartupCheck,
                       public ControllerPollStep,
                       public UpdateStep,
                       public MenuRefresh,
                       public CircleStep {
  public:
    Lines calls;
    const EngineLink* menu_link = nullptr;

    void run_startup_check() override { calls.push_back("startup"); }
    void poll_controller() override { calls.push_back("poll"); }
    void advance_update() override { calls.push_back("update"); }
    void refresh_menu(const EngineLink& link) override {
        menu_link = &link;
        calls.push_back("menu");
    }
    void update_circle(bool visible) override {
        calls.push_back(visible ? "circle on" : "circle off");
    }
};

class FakeWindow final : public LiveWindow {
  public:
    FakeWindow(Lines& calls, std::string name) : calls_(calls), name_(std::move(name)) {}
    bool visible = true;
    bool is_visible() const override { return visible; }
    void refresh_live_rows() override { calls_.push_back(name_); }

  private:
    Lines& calls_;
    std::string name_;
};

long refreshes(const Lines& calls, const std::string& window) {
    return std::count(calls.begin(), calls.end(), window);
}

class TickTest : public ::testing::Test {
  protected:
    Lines run(int ticks = 1) {
        rec.calls.clear();
        for (int i = 0; i < ticks; ++i) {
            tick.tick();
            clock.t += 4ms;
        }
        return rec.calls;
    }

    ManualClock clock{100s};
    Recorder rec;
    std::atomic<bool> circle{false};
    std::unique_ptr<EngineLink> link;
    FakeWindow settings{rec.calls, "settings"};
    FakeWindow setup{rec.calls, "setup"};
    MainTick tick{TickParts{rec, rec, rec, rec, rec}, clock,
                  [this]() -> const EngineLink* { return link.get(); }, circle};
};

TEST_F(TickTest, StepsRunInTheFixedOrderAndTheStartupCheckOnlyOnce) {
    EXPECT_EQ(run(), (Lines{"startup", "poll", "update", "circle off"}));
    EXPECT_EQ(run(), (Lines{"poll", "update", "circle off"}));

    link = std::make_unique<EngineLink>(EngineSender{}, true);
    circle = true;
    EXPECT_EQ(run(), (Lines{"poll", "update", "menu", "circle on"}));
    EXPECT_EQ(rec.menu_link, link.get());
}

TEST_F(TickTest, WindowRowsFollowAtMostEveryHalfSecondAndOnlyWhileVisible) {
    link = std::make_unique<EngineLink>(EngineSender{}, true);
    tick.settings_window_built(settings);
    // The interval starts with the building: nothing at 0..496 ms.
    EXPECT_EQ(refreshes(run(125), "settings"), 0);
    EXPECT_EQ(run(), (Lines{"poll", "update", "menu", "circle off", "settings"}));  // 500 ms
    // Two seconds of ticks: one refresh every 500 ms.
    EXPECT_EQ(refreshes(run(500), "settings"), 4);
}

TEST_F(TickTest, TheHalfSecondBoundaryIsInclusive) {
    struct Case {
        std::chrono::nanoseconds after;
        bool refreshed;
    };
    const Case cases[] = {
        {499'999'999ns, false}, {500ms, true}, {1s, true}, {0ns, false}, {-3s, false},
    };
    for (const Case& c : cases) {
        ManualClock local{100s};
        Recorder r;
        FakeWindow w{r.calls, "settings"};
        std::atomic<bool> off{false};
        MainTick t{TickParts{r, r, r, r, r}, local, [] { return nullptr; }, off};
        t.settings_window_built(w);
        local.t += c.after;
        t.tick();
        const bool refreshed = !r.calls.empty() && r.calls.back() == "settings";
        EXPECT_EQ(refreshed, c.refreshed) << c.after.count();
    }
}

TEST_F(TickTest, HiddenWindowsAreNotRefreshedAndTheirIntervalWaits) {
    tick.settings_window_built(settings);
    tick.setup_window_built(setup);
    settings.visible = false;
    clock.t += 2s;
    EXPECT_EQ(run(), (Lines{"startup", "poll", "update", "circle off", "setup"}));
    EXPECT_EQ(refreshes(run(100), "settings"), 0);

    // Shown again later: refreshed at once, since more than 500 ms have passed.
    settings.visible = true;
    EXPECT_EQ(run(), (Lines{"poll", "update", "circle off", "settings"}));
}

TEST_F(TickTest, BothWindowsRefreshInOrderSettingsFirst) {
    tick.settings_window_built(settings);
    tick.setup_window_built(setup);
    clock.t += 600ms;
    EXPECT_EQ(run(), (Lines{"startup", "poll", "update", "circle off", "settings", "setup"}));
    const Lines next = run(124);  // 4 .. 496 ms after the refresh
    EXPECT_EQ(refreshes(next, "settings"), 0);
    EXPECT_EQ(refreshes(next, "setup"), 0);
    EXPECT_EQ(run(), (Lines{"poll", "update", "circle off", "settings", "setup"}));
}

class CountingSettings final : public SettingsOpener {
  public:
    int opened = 0;
    void open_settings() override { ++opened; }
};

TEST(ShellActions, ReopenShowsTheSettingsEveryTime) {
    CountingSettings settings;
    EXPECT_TRUE(reopen_action(settings));
    EXPECT_TRUE(reopen_action(settings));
    EXPECT_EQ(settings.opened, 2);
}

TEST(ShellActions, ThePermissionIsRequestedBeforeItsPaneOpens) {
    fakes::FakePermission permission;
    fakes::FakeDesktop desktop;
    desktop.failure = "No such file or directory";
    Lines opened_before_request;
    permission.on_request = [&] { opened_before_request = desktop.opened; };
    ::testing::internal::CaptureStderr();
    open_input_permission_action(permission, desktop, "x-settings://privacy/input");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "thumbrover: could not open x-settings://privacy/input: No such file or directory\n");
    EXPECT_EQ(permission.requests, 1);
    EXPECT_TRUE(opened_before_request.empty());
    EXPECT_EQ(desktop.opened, Lines{"x-settings://privacy/input"});
}

}  // namespace
}  // namespace thumbrover

namespace thumbrover {
namespace {

// A poller that says whether it reads a controller and remembers the refresh period it was given.
class PacedPoller final : public ControllerPollStep {
  public:
    bool controller = false;
    std::vector<std::uint32_t> periods;
    void poll_controller() override {}
    bool has_controller() const override { return controller; }
    void set_polls_per_refresh(std::uint32_t polls) override { periods.push_back(polls); }
};

TEST(TickPacing, SlowsDownOnlyWhenNothingNeedsTheFullRate) {
    struct Case {
        const char* what;
        bool controller;
        bool circle;
        bool settings_visible;
        bool setup_visible;
        std::chrono::milliseconds interval;
    };
    const Case cases[] = {
        {"nothing to read or draw", false, false, false, false, MainTick::kIdleInterval},
        {"a controller", true, false, false, false, MainTick::kActiveInterval},
        {"the ring", false, true, false, false, MainTick::kActiveInterval},
        // A window's live rows refresh every 500 ms; a tenth of that keeps them on time.
        {"settings on screen", false, false, true, false, MainTick::kIdleInterval},
        {"setup on screen", false, false, false, true, MainTick::kIdleInterval},
    };
    for (const Case& c : cases) {
        ManualClock clock{100s};
        Recorder rec;
        PacedPoller poller;
        poller.controller = c.controller;
        std::atomic<bool> circle{c.circle};
        FakeWindow settings{rec.calls, "settings"};
        FakeWindow setup{rec.calls, "setup"};
        settings.visible = c.settings_visible;
        setup.visible = c.setup_visible;
        MainTick tick{TickParts{rec, poller, rec, rec, rec}, clock, [] { return nullptr; }, circle};
        tick.settings_window_built(settings);
        tick.setup_window_built(setup);
        tick.tick();
        EXPECT_EQ(tick.interval(), c.interval) << c.what;
    }
}

class ElsewherePoller final : public ControllerPollStep {
  public:
    void poll_controller() override {}
    bool has_controller() const override { return false; }
    bool needs_ticks() const override { return false; }
};

class PacedCircle final : public CircleStep {
  public:
    bool follows = false;
    bool ring = true;
    void update_circle(bool /*visible*/) override {}
    bool follows_by_itself() const override { return follows; }
    bool shows_ring() const override { return ring; }
};

class PacedUpdate final : public UpdateStep {
  public:
    std::optional<std::chrono::milliseconds> wanted;
    void advance_update() override {}
    std::optional<std::chrono::milliseconds> wanted_interval() const override { return wanted; }
};

TEST(TickPacing, StopsWhenTheControllerIsReadElsewhereAndNothingElseNeedsIt) {
    using std::chrono::milliseconds;
    struct Case {
        const char* what;
        bool circle;
        bool follows;
        bool settings_visible;
        std::optional<milliseconds> update;
        std::optional<milliseconds> interval;
        bool ring = true;
    };
    const Case cases[] = {
        {"nothing at all", false, false, false, std::nullopt, std::nullopt},
        {"a ring wanted where the session has none", true, false, false, std::nullopt, std::nullopt,
         false},
        {"a ring that follows by itself", true, true, false, std::nullopt, MainTick::kRingInterval},
        {"a ring the tick moves", true, false, false, std::nullopt, MainTick::kActiveInterval},
        {"a ring gone, its window kept", false, true, false, std::nullopt, std::nullopt},
        {"settings on screen", false, false, true, std::nullopt, MainTick::kIdleInterval},
        {"the update check's minute", false, false, false, milliseconds(60000),
         milliseconds(60000)},
        {"the soonest wins", true, true, false, milliseconds(1000), MainTick::kRingInterval},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ManualClock clock{100s};
        Recorder rec;
        ElsewherePoller poller;
        PacedCircle circle;
        circle.follows = c.follows;
        circle.ring = c.ring;
        PacedUpdate update;
        update.wanted = c.update;
        std::atomic<bool> wanted{c.circle};
        FakeWindow settings{rec.calls, "settings"};
        settings.visible = c.settings_visible;
        MainTick tick{TickParts{rec, poller, update, rec, circle}, clock, [] { return nullptr; },
                      wanted};
        tick.settings_window_built(settings);
        tick.tick();
        EXPECT_EQ(tick.interval(), c.interval);
    }
}

TEST(TickPacing, KeepsLookingForControllersEveryHalfSecondAtEitherRate) {
    ManualClock clock{100s};
    Recorder rec;
    PacedPoller poller;
    std::atomic<bool> circle{false};
    MainTick tick{TickParts{rec, poller, rec, rec, rec}, clock, [] { return nullptr; }, circle};

    tick.tick();  // idle: 100 ms ticks, a look every 5th
    poller.controller = true;
    tick.tick();  // a controller arrived: 4 ms ticks, a look every 125th
    tick.tick();  // unchanged: the period is not handed over again
    poller.controller = false;
    tick.tick();
    EXPECT_EQ(poller.periods, (std::vector<std::uint32_t>{5, 125, 5}));
    EXPECT_EQ(tick.interval(), MainTick::kIdleInterval);
}

}  // namespace
}  // namespace thumbrover
