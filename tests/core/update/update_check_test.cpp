#include "core/update/update_check.hpp"
#include "core/common/stop_signal.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/common/files.hpp"
#include "core/settings/app_folder.hpp"
#include "fakes/system_services.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::ManualClock;

using namespace std::chrono_literals;
using testing::TempDir;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

constexpr std::int64_t start_wall_seconds = 1'700'000'000;
const Release newer{"0.2.0", "https://thumbrover.app/download/0.2.0", "Smoother scrolling"};

// Drives an UpdateCheck with hand-moved clocks, scripted fetch answers and checks that run only
// when the test says so.
struct Harness {
    TempDir dir;
    ManualClock mono{1000h};
    std::chrono::system_clock::time_point wall =
        std::chrono::system_clock::time_point{} + std::chrono::seconds(start_wall_seconds);
    std::deque<Result<Release>> answers;
    int fetches = 0;
    std::vector<std::function<void()>> started;

    std::filesystem::path state_file() const { return dir / "app" / "update.toml"; }

    UpdateCheckDeps deps() {
        UpdateCheckDeps d;
        d.state_file = state_file();
        d.clock = &mono;
        d.wall_now = [this] { return wall; };
        d.fetch = [this](StopToken) -> Result<Release> {
            ++fetches;
            if (answers.empty()) return Error{"no network"};
            auto answer = std::move(answers.front());
            answers.pop_front();
            return answer;
        };
        d.start_thread = [this](std::function<void()> work) { started.push_back(std::move(work)); };
        return d;
    }

    // Runs the checks that were started, as their threads would.
    void finish_checks() {
        auto work = std::move(started);
        started.clear();
        for (auto& w : work)
            w();
    }

    void advance(std::chrono::seconds by) {
        mono.t += by;
        wall += by;
    }

    // Moves both clocks on by `by` and steps once; how many checks that step started.
    std::size_t started_after(UpdateCheck& check, std::chrono::seconds by) {
        const std::size_t before = started.size();
        advance(by);
        check.step();
        return started.size() - before;
    }

    // Steps at every 4 ms tick, as the engine does, for `ticks` ticks.
    void tick(UpdateCheck& check, int ticks) {
        for (int i = 0; i < ticks; ++i) {
            mono.t += 4ms;
            wall += 4ms;
            check.step();
        }
    }

    void store(const StoredUpdate& stored) {
        ASSERT_TRUE(save_stored_update(state_file(), stored));
    }
};

TEST(UpdateSchedule, NeverCheckedChecksOnTheFirstTickAndRemembersTheAnswer) {
    Harness h;
    UpdateCheck check(h.deps());
    h.answers.push_back(newer);

    check.step();
    ASSERT_EQ(h.started.size(), 1u);
    EXPECT_TRUE(check.check_in_flight());
    EXPECT_EQ(check.current_offer(), std::nullopt);

    h.finish_checks();
    EXPECT_FALSE(check.check_in_flight());
    EXPECT_EQ(h.fetches, 1);
    EXPECT_EQ(check.current_offer(), newer);
    EXPECT_EQ(load_stored_update(h.state_file()), (StoredUpdate{start_wall_seconds, newer}));
}

TEST(UpdateSchedule, SwitchedOffItStartsNoCheckAndWantsNoTickUntilSwitchedOnAgain) {
    Harness h;
    UpdateCheck check(h.deps());
    check.set_enabled(false);
    EXPECT_EQ(h.started_after(check, 48h), 0u);
    EXPECT_EQ(check.wanted_interval(), std::nullopt);
    EXPECT_EQ(h.fetches, 0);
    check.set_enabled(true);
    EXPECT_EQ(h.started_after(check, 1s), 1u);
}

TEST(UpdateSchedule, ADayAfterTheLastSuccessAChecksStartsOnTheFirstTick) {
    struct Case {
        std::chrono::seconds since_last_check;
        bool checks;
    };
    const Case cases[] = {{23h, false}, {24h - 1s, false}, {24h, true}, {25h, true}};
    for (const Case& c : cases) {
        Harness h;
        h.store(StoredUpdate{start_wall_seconds - c.since_last_check.count(), std::nullopt});
        UpdateCheck check(h.deps());
        check.step();
        EXPECT_EQ(h.started.size(), c.checks ? 1u : 0u) << c.since_last_check.count() << " s";
    }
}

TEST(UpdateSchedule, EvaluatesAtMostOnceAMinute) {
    Harness h;
    // Becomes due 30 seconds after start.
    h.store(StoredUpdate{start_wall_seconds - 24 * 3600 + 30, std::nullopt});
    UpdateCheck check(h.deps());

    check.step();
    h.tick(check, 59 * 250);
    EXPECT_TRUE(h.started.empty()) << "due after 30 s, but the minute had not passed";
    EXPECT_EQ(h.started_after(check, 1s), 1u);
}

TEST(UpdateSchedule, AFailureAtStartIsNotRetriedWithinTheHour) {
    Harness h;
    UpdateCheck check(h.deps());

    CaptureStderr();
    check.step();
    h.finish_checks();
    EXPECT_EQ(GetCapturedStderr(), "thumbrover: could not check for updates: no network\n");
    EXPECT_FALSE(check.check_in_flight());

    // Every 4 ms tick for an hour less a second.
    h.tick(check, 3599 * 250);
    EXPECT_TRUE(h.started.empty());
    EXPECT_EQ(h.fetches, 1);
    EXPECT_EQ(load_stored_update(h.state_file()), StoredUpdate{});

    // The next evaluation after the hour retries.
    h.answers.push_back(newer);
    ASSERT_EQ(h.started_after(check, 60s), 1u);
    h.finish_checks();
    EXPECT_EQ(check.current_offer(), newer);
}

TEST(UpdateSchedule, AfterAFailureTheDayRuleStillApplies) {
    Harness h;
    h.store(StoredUpdate{start_wall_seconds - 24 * 3600 + 2 * 3600, std::nullopt});
    UpdateCheck check(h.deps());
    // Not due by the calendar for two hours; then the first check fails.
    ASSERT_EQ(h.started_after(check, 2h), 1u);
    CaptureStderr();
    h.finish_checks();
    GetCapturedStderr();
    // An hour later both rules allow a retry.
    EXPECT_EQ(h.started_after(check, 59min), 0u);
    EXPECT_EQ(h.started_after(check, 1min), 1u);
}

TEST(UpdateSchedule, OnlyOneCheckIsInFlight) {
    Harness h;
    UpdateCheck check(h.deps());
    check.step();
    ASSERT_EQ(h.started.size(), 1u);
    // The first check has not finished after two hours: still nothing new starts.
    for (int minute = 0; minute < 120; ++minute)
        (void)h.started_after(check, 60s);
    EXPECT_EQ(h.started.size(), 1u);
    EXPECT_TRUE(check.check_in_flight());

    h.answers.push_back(newer);
    h.finish_checks();
    EXPECT_FALSE(check.check_in_flight());
    // Succeeded: the next one is a day away.
    EXPECT_EQ(h.started_after(check, 60s), 0u);
}

TEST(UpdateSchedule, ASuccessMakesTheNextCheckDueADayLater) {
    Harness h;
    UpdateCheck check(h.deps());
    h.answers.push_back(newer);
    check.step();
    h.finish_checks();

    EXPECT_EQ(h.started_after(check, 24h - 1min), 0u);
    EXPECT_EQ(h.started_after(check, 1min), 1u);
}

TEST(UpdateSchedule, AWallClockBefore1970CountsAsZero) {
    Harness h;
    h.wall = std::chrono::system_clock::time_point{} - 5s;
    UpdateCheck check(h.deps());
    h.answers.push_back(newer);
    check.step();
    h.finish_checks();
    EXPECT_EQ(load_stored_update(h.state_file()).checked_at, 0);
}

TEST(UpdateSchedule, CalendarRule) {
    constexpr std::int64_t now = start_wall_seconds;
    constexpr std::int64_t day = 86400;
    struct Case {
        std::optional<std::int64_t> checked_at;
        std::int64_t now;
        bool due;
    };
    const Case cases[] = {
        {std::nullopt, now, true},
        {now, now, false},
        {now - day + 1, now, false},
        {now - day, now, true},
        {0, 0, false},
        {std::numeric_limits<std::int64_t>::min(), now, true},
        // Stamped by a clock that ran ahead: within a day it still holds; beyond, it does not.
        {now + day, now, false},
        {now + day + 1, now, true},
        {std::numeric_limits<std::int64_t>::max(), now, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(check_due_by_calendar(c.checked_at, c.now), c.due)
            << c.checked_at.value_or(-1) << " at " << c.now;
    }
}

TEST(UpdateOffer, OnlyAStrictlyNewerReleaseWithAWebPageIsOffered) {
    struct Case {
        std::optional<Release> latest;
        bool offered;
    };
    const Case cases[] = {
        {std::nullopt, false},
        {Release{"0.2.0", "https://a/b", ""}, true},
        {Release{"v0.2", "https://a/b", ""}, true},
        {Release{"0.2.0-rc1", "https://a/b", ""}, true},
        {Release{"0.1.1", "https://a/b", ""}, true},
        {Release{"1", "https://a/b", ""}, true},
        {Release{"0.1.0", "https://a/b", ""}, false},
        {Release{"v0.1.0-hotfix", "https://a/b", ""}, false},
        {Release{"0.0.9", "https://a/b", ""}, false},
        {Release{"0.2.0.1", "https://a/b", ""}, false},
        {Release{"0.x", "https://a/b", ""}, false},
        {Release{"0.2.0", "http://a/b", ""}, false},
        {Release{"0.2.0", "javascript:alert(1)", ""}, false},
    };
    for (const Case& c : cases) {
        const auto offer = offered_release(StoredUpdate{1, c.latest}, "0.1.0");
        EXPECT_EQ(offer.has_value(), c.offered)
            << (c.latest ? c.latest->version + " " + c.latest->url : "none");
        if (c.offered && offer) {
            EXPECT_EQ(offer, c.latest);
        }
    }
    EXPECT_EQ(offered_release(StoredUpdate{1, Release{"9.9", "https://a", ""}}, "bad"),
              std::nullopt);
}

TEST(UpdateOffer, SurvivesARestartWithoutAnotherCheck) {
    Harness h;
    h.store(StoredUpdate{start_wall_seconds - 3600, newer});
    UpdateCheck check(h.deps());
    EXPECT_EQ(check.current_offer(), newer);
    check.step();
    EXPECT_TRUE(h.started.empty());
    EXPECT_EQ(h.fetches, 0);
}

TEST(UpdateOffer, IsWithdrawnWhenALaterCheckFindsNothingNewer) {
    Harness h;
    h.store(StoredUpdate{start_wall_seconds - 25 * 3600, newer});
    UpdateCheck check(h.deps());
    EXPECT_EQ(check.current_offer(), newer);
    const auto revision = check.offer_revision();

    h.answers.push_back(Release{"0.1.0", "https://a/b", ""});
    check.step();
    h.finish_checks();
    EXPECT_EQ(check.current_offer(), std::nullopt);
    EXPECT_NE(check.offer_revision(), revision);
    // The release stays in the record all the same.
    EXPECT_EQ(load_stored_update(h.state_file()).latest->version, "0.1.0");
}

TEST(UpdateOffer, AMalformedRecordCountsAsNeverChecked) {
    Harness h;
    std::filesystem::create_directories(h.state_file().parent_path());
    ASSERT_TRUE(write_file_atomically(h.state_file(), "checked_at = \"yesterday\"\n"));
    UpdateCheck check(h.deps());
    CaptureStderr();
    check.step();
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(h.started.size(), 1u);
    EXPECT_EQ(check.current_offer(), std::nullopt);
}

TEST(UpdateOffer, IsShownForThisRunWhenTheRecordCannotBeSaved) {
    Harness h;
    // A file stands where the application folder should be.
    ASSERT_TRUE(write_file_atomically(h.dir / "app", "not a folder"));
    UpdateCheck check(h.deps());
    h.answers.push_back(newer);
    check.step();
    CaptureStderr();
    h.finish_checks();
    const std::string err = GetCapturedStderr();
    EXPECT_TRUE(err.starts_with("thumbrover: could not save the update check: could not create "))
        << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1);
    EXPECT_EQ(check.current_offer(), newer);
    // No failed attempt was recorded: the next check is a day away, as after any success.
    EXPECT_EQ(h.started_after(check, 2h), 0u);
}

TEST(UpdateOffer, ErrorsFromTheNetworkStayOnOneLine) {
    Harness h;
    UpdateCheck check(h.deps());
    h.answers.push_back(Error{"bad version 1\x1b[2J\n2"});
    check.step();
    CaptureStderr();
    h.finish_checks();
    EXPECT_EQ(GetCapturedStderr(),
              "thumbrover: could not check for updates: bad version 1\\u{1b}[2J\\n2\n");
}

TEST(UpdateSchedule, AFetchThatThrowsCountsAsAFailedAttempt) {
    Harness h;
    UpdateCheckDeps deps = h.deps();
    deps.fetch = [](StopToken) -> Result<Release> { throw std::runtime_error("out of luck"); };
    UpdateCheck check(std::move(deps));
    check.step();
    CaptureStderr();
    h.finish_checks();
    EXPECT_EQ(GetCapturedStderr(), "thumbrover: could not check for updates: out of luck\n");
    EXPECT_FALSE(check.check_in_flight());
    EXPECT_EQ(h.started_after(check, 59min), 0u);
}

using fakes::FakeDesktop;

TEST(OpenUpdate, OpensTheOfferedPageOrNothing) {
    Harness h;
    FakeDesktop desktop;
    {
        UpdateCheck check(h.deps());
        open_update(check, desktop);
        EXPECT_TRUE(desktop.opened.empty());
    }
    h.store(StoredUpdate{start_wall_seconds, Release{"0.1.0", "https://a/old", ""}});
    {
        UpdateCheck check(h.deps());
        open_update(check, desktop);
        EXPECT_TRUE(desktop.opened.empty());
    }
    h.store(StoredUpdate{start_wall_seconds, newer});
    {
        UpdateCheck check(h.deps());
        open_update(check, desktop);
        EXPECT_EQ(desktop.opened, std::vector<std::string>{newer.url});
    }
}

TEST(OpenUpdate, ReportsAnOpenerThatCannotStart) {
    Harness h;
    h.store(StoredUpdate{start_wall_seconds, newer});
    UpdateCheck check(h.deps());
    FakeDesktop desktop;
    desktop.failure = "No such file or directory";
    CaptureStderr();
    open_update(check, desktop);
    EXPECT_EQ(GetCapturedStderr(),
              "thumbrover: could not open " + newer.url + ": No such file or directory\n");
}

TEST(UpdateCheckDefaults, TheRecordLivesInTheApplicationFolder) {
    TempDir home;
    const testing::ScopedEnv home_env("HOME", home.path().string());
    const testing::ScopedEnv xdg_env("XDG_CONFIG_HOME", std::nullopt);
    const auto folder = app_dir();
    ASSERT_TRUE(save_stored_update(folder / "update.toml", StoredUpdate{1, newer}));
    {
        UpdateCheckDeps deps;
        deps.start_thread = [](std::function<void()>) {};
        UpdateCheck check(std::move(deps));
        EXPECT_EQ(check.current_offer(), newer);
    }
}

TEST(UpdateThread, RunsOffTheCallingThreadAndEndsWithTheCheckObjectQuietly) {
    TempDir dir;
    const auto caller = std::this_thread::get_id();
    std::promise<std::thread::id> fetched_on;
    std::atomic<bool> fetch_returned{false};

    UpdateCheckDeps deps;
    deps.state_file = dir / "update.toml";
    // Waits as a fetch waits for a slow network: until the stop comes.
    deps.fetch = [&](StopToken stop) -> Result<Release> {
        fetched_on.set_value(std::this_thread::get_id());
        std::mutex mutex;
        std::condition_variable woken;
        bool stopped = false;
        const StopCallback on_stop(stop, [&] {
            const std::lock_guard lock(mutex);
            stopped = true;
            woken.notify_all();
        });
        std::unique_lock lock(mutex);
        woken.wait(lock, [&] { return stopped; });
        fetch_returned = true;
        return newer;
    };
    auto fetched_thread = fetched_on.get_future();
    CaptureStderr();
    {
        UpdateCheck check(std::move(deps));
        check.step();
        EXPECT_TRUE(check.check_in_flight());
        EXPECT_NE(fetched_thread.get(), caller);
    }
    // Destroyed while its check still waited: the fetch was stopped and its thread joined, and
    // a stopped check neither saves what it got nor reports a failure.
    EXPECT_TRUE(fetch_returned);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_FALSE(std::filesystem::exists(dir / "update.toml"));
}

}  // namespace
}  // namespace thumbrover
