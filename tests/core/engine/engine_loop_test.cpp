#include "core/engine/engine_loop.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/common/files.hpp"
#include "core/controller/link.hpp"
#include "core/settings/app_folder.hpp"
#include "fakes/engine_ports.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

using fakes::Notification;

// The ports as fakes, and the process-wide cells kept to the test: the script goes to the
// engine's sender as soon as the watcher would get it, the battery readings come from a list.
// `ports.calls` lists the factories and the hand-overs in the order they happened.
struct FakeHost {
    fakes::FakeEnginePorts ports;
    std::vector<EngineMessage> script;
    std::deque<std::optional<std::string>> batteries;
    std::optional<float> circle_scale;
    std::shared_ptr<EngineLink> link;
    std::atomic<bool> linked{false};
    std::shared_ptr<ControllerLink> controller_link;
    EngineSender watcher_sender;
    std::function<void()> on_publish;

    [[nodiscard]] std::optional<std::string> next_battery() {
        if (batteries.empty()) return std::nullopt;
        auto text = batteries.front();
        batteries.pop_front();
        return text;
    }
    [[nodiscard]] EngineCells cells() {
        EngineCells c;
        c.publish_controller_link = [this](std::shared_ptr<ControllerLink> published) {
            ports.calls.emplace_back("publish_controller_link");
            controller_link = std::move(published);
        };
        c.start_mouse_watcher = [this](std::unique_ptr<MouseMotionSource> source,
                                       EngineSender sender) -> std::unique_ptr<MouseWatcherThread> {
            ports.calls.emplace_back(source ? "start_mouse_watcher" : "no mouse source");
            for (auto& message : script)
                sender.send(std::move(message));
            script.clear();
            watcher_sender = std::move(sender);
            return nullptr;
        };
        c.publish_engine_link = [this](std::shared_ptr<EngineLink> published) {
            link = std::move(published);
            if (on_publish) on_publish();
            linked = true;
        };
        c.battery_text = [this] { return next_battery(); };
        c.set_circle_scale = [this](float scale) { circle_scale = scale; };
        return c;
    }

    [[nodiscard]] const CommandList& performed() const { return ports.output.performed; }
    [[nodiscard]] std::vector<Notification> notifications() const {
        return ports.notifications.shown();
    }
};

// Each reading is 1 ms after the previous one.
class StepClock final : public Clock {
  public:
    std::chrono::nanoseconds now() const override { return now_ += 1ms; }

  private:
    mutable std::chrono::nanoseconds now_{1000s};
};

struct EngineRun {
    int status;
    std::string err;
};

// Each run starts without a quit asked for, as a fresh process would.
EngineRun run(FakeHost& host, const std::filesystem::path& dir, bool quit_already = false) {
    quit_flag().store(quit_already);
    StepClock clock;
    ::testing::internal::CaptureStderr();
    const int status =
        run_engine(host.ports, EngineOptions{dir, &clock, host.cells(), std::nullopt});
    return {status, ::testing::internal::GetCapturedStderr()};
}

template <class... M>
std::vector<EngineMessage> script(M&&... m) {
    std::vector<EngineMessage> list;
    (list.push_back(std::forward<M>(m)), ...);
    return list;
}

TEST(RunEngine, StartsInOrderAndEndsOnQuitReleasingWhatItHolds) {
    testing::TempDir dir;
    FakeHost host;
    host.script = script(EngineMessage::connected(true),
                         EngineMessage::input(InputEvent::button(0, true)), EngineMessage::quit());
    steering_circle_visible().store(true);
    const EngineRun result = run(host, dir.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(host.ports.calls,
              (std::vector<std::string>{"create_event_output", "create_desktop_actions",
                                        "publish_controller_link", "create_mouse_source",
                                        "start_mouse_watcher", "create_front_app_watcher"}));
    EXPECT_EQ(host.circle_scale, 1.5f);
    EXPECT_FALSE(steering_circle_visible().load());
    EXPECT_TRUE(std::filesystem::exists(dir / "config.toml"));
    EXPECT_EQ(host.performed(), (CommandList{{CommandKind::ButtonDown, 0, 0, 0, 0},
                                             {CommandKind::ButtonUp, 0, 0, 0, 0}}));
    ASSERT_TRUE(host.link);
    EXPECT_EQ(host.link->status(), (EngineStatus{std::nullopt, true, true, std::nullopt}));
    // The engine is gone: its channel refuses messages and its lock is free again.
    EXPECT_FALSE(host.watcher_sender.send(EngineMessage::quit()));
    EXPECT_TRUE(InstanceLock::acquire(dir.path()).ok());
}

TEST(RunEngine, ASignalEndsTheLoopThroughTheSameEndSequence) {
    // Termination (the session ending), an interrupt (Ctrl+C) and a hang-up (the terminal it was
    // started from closing) all end it in order, letting go of the held button.
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal_number);
        testing::TempDir dir;
        FakeHost host;
        host.ports.output.on_perform = [signal_number](const OutputCommand& c) {
            if (c.kind == CommandKind::ButtonDown) std::raise(signal_number);
        };
        host.script = script(EngineMessage::input(InputEvent::button(0, true)),
                             EngineMessage::input(InputEvent::button(1, true)));
        const EngineRun result = run(host, dir.path());
        EXPECT_EQ(result.status, 0);
        EXPECT_TRUE(quit_flag().load());
        // The second message is never handled: the loop ends in the pass that saw the signal.
        EXPECT_EQ(host.performed(), (CommandList{{CommandKind::ButtonDown, 0, 0, 0, 0},
                                                 {CommandKind::ButtonUp, 0, 0, 0, 0}}));
    }
}

// Raises `signal_number` right after the settings are read, before anything else of the start;
// whether the engine then ended the way any quit ends it.
bool ends_in_order_after_a_signal_at_the_start(int signal_number) {
    testing::TempDir dir;
    FakeHost host;
    host.script = script(EngineMessage::input(InputEvent::button(0, true)));
    EngineCells cells = host.cells();
    cells.set_circle_scale = [signal_number](float) { std::raise(signal_number); };
    quit_flag().store(false);
    StepClock clock;
    const int status =
        run_engine(host.ports, EngineOptions{dir.path(), &clock, cells, std::nullopt});
    // The loop was never entered, and the lock is free again.
    return status == 0 && quit_flag().load() && host.performed().empty() &&
           InstanceLock::acquire(dir.path()).ok();
}

// In a process of its own (the handlers, once installed, stay for the life of a process): a quit
// signal that comes while the settings are being read must not end the process by the system's
// default action, but the way any quit does.
TEST(RunEngineDeathTest, ASignalDuringTheStartEndsItInOrderRatherThanKillingIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal_number);
        EXPECT_EXIT(std::_Exit(ends_in_order_after_a_signal_at_the_start(signal_number) ? 0 : 1),
                    ::testing::ExitedWithCode(0), "");
    }
}

TEST(RunEngine, AQuitAskedForBeforeTheStartEndsItAtOnceInOrder) {
    testing::TempDir dir;
    FakeHost host;
    host.script = script(EngineMessage::input(InputEvent::button(0, true)), EngineMessage::quit());
    const EngineRun result = run(host, dir.path(), /*quit_already=*/true);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(quit_flag().load());
    // Started in full, so the end sequence has an output to release through...
    EXPECT_EQ(host.ports.calls,
              (std::vector<std::string>{"create_event_output", "create_desktop_actions",
                                        "publish_controller_link", "create_mouse_source",
                                        "start_mouse_watcher", "create_front_app_watcher"}));
    // ...but no message was handled: the loop was never entered.
    EXPECT_TRUE(host.performed().empty());
    EXPECT_TRUE(InstanceLock::acquire(dir.path()).ok());
}

TEST(RunEngine, ALockTakenBeforeTheStartIsKeptUntilTheEnd) {
    testing::TempDir dir;
    auto taken = InstanceLock::acquire(dir.path());
    ASSERT_TRUE(taken.ok());
    FakeHost host;
    bool held_while_running = false;
    host.script = script(EngineMessage::quit());
    host.on_publish = [&] { held_while_running = !InstanceLock::acquire(dir.path()).ok(); };
    quit_flag().store(false);
    StepClock clock;
    ::testing::internal::CaptureStderr();
    const int status = run_engine(
        host.ports, EngineOptions{dir.path(), &clock, host.cells(), std::move(taken).value()});
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(held_while_running);
    EXPECT_TRUE(host.notifications().empty());
    EXPECT_TRUE(InstanceLock::acquire(dir.path()).ok()) << "let go at the end";
}

TEST(RunEngine, ASignalWakesALoopThatWaitsWithoutATimeout) {
    testing::TempDir dir;
    FakeHost host;
    std::promise<int> ended;
    std::future<int> status = ended.get_future();
    std::thread engine([&] {
        ended.set_value(run_engine(
            host.ports, EngineOptions{dir.path(), &steady_clock(), host.cells(), std::nullopt}));
    });
    // Nothing is connected and nothing is pending: the loop sleeps until a message comes.
    while (!host.linked)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
    // Only a wake-up that never comes leaves this waiting; the deadline just stops a hang.
    const bool woke = status.wait_for(60s) == std::future_status::ready;
    if (!woke) {
        host.watcher_sender.send(EngineMessage::quit());
    }
    engine.join();
    EXPECT_TRUE(woke);
    EXPECT_EQ(status.get(), 0);
}

TEST(RunEngine, ASecondInstanceIsRefused) {
    testing::TempDir dir;
    auto held = InstanceLock::acquire(dir.path());
    ASSERT_TRUE(held.ok());
    FakeHost host;
    const EngineRun result = run(host, dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "thumbrover: Thumbrover is already running\n");
    EXPECT_EQ(host.notifications(), (std::vector<Notification>{{"Thumbrover could not start",
                                                                "Thumbrover is already running"}}));
    EXPECT_TRUE(host.ports.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "config.toml"));
}

TEST(RunEngine, AFailedEventOutputFailsTheStart) {
    testing::TempDir dir;
    FakeHost host;
    host.ports.output_error = "could not create an event source";
    const EngineRun result = run(host, dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "thumbrover: could not create an event source\n");
    EXPECT_EQ(host.notifications(),
              (std::vector<Notification>{
                  {"Thumbrover could not start", "could not create an event source"}}));
    EXPECT_EQ(host.ports.calls, std::vector<std::string>{"create_event_output"});
}

TEST(RunEngine, AnUncreatableFolderFailsTheStart) {
    testing::TempDir dir;
    ASSERT_TRUE(write_file_atomically(dir / "file", "").ok());
    FakeHost host;
    const EngineRun result = run(host, dir / "file" / "thumbrover");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.err.starts_with("thumbrover: ")) << result.err;
    ASSERT_EQ(host.notifications().size(), 1u);
    EXPECT_EQ(host.notifications()[0].heading, "Thumbrover could not start");
}

TEST(RunEngine, TheEnabledFileDecidesTheStartingState) {
    struct Case {
        std::optional<std::string> content;
        bool enabled;
    };
    const Case cases[] = {
        {std::nullopt, true}, {"false", false}, {"false\n", false}, {"  false  ", false},
        {"true", true},       {"False", true},  {"FALSE", true},    {"no", true},
        {"", true},           {"0", true},
    };
    for (const auto& c : cases) {
        testing::TempDir dir;
        if (c.content) {
            ASSERT_TRUE(write_file_atomically(dir / "enabled", *c.content).ok());
        }
        FakeHost host;
        host.script = script(EngineMessage::quit());
        ASSERT_EQ(run(host, dir.path()).status, 0);
        ASSERT_TRUE(host.link);
        EXPECT_EQ(host.link->status().enabled, c.enabled) << c.content.value_or("(missing)");
    }
}

TEST(RunEngine, ASettingsMistakeIsReportedAndTheDefaultsUsed) {
    testing::TempDir dir;
    ASSERT_TRUE(write_file_atomically(dir / "config.toml", "circle_scale = \"big\"\n").ok());
    FakeHost host;
    host.script = script(EngineMessage::quit());
    const EngineRun result = run(host, dir.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(host.circle_scale, 1.5f);
    ASSERT_EQ(host.notifications().size(), 1u);
    EXPECT_EQ(host.notifications()[0].heading, "Thumbrover settings have a mistake");
    EXPECT_FALSE(result.err.empty());
}

class LoopTest : public ::testing::Test {
  protected:
    LoopTest() { link_ = std::make_shared<EngineLink>(EngineSender{}, true); }

    EngineLoop make_loop(bool enabled, Config config = {}) {
        return EngineLoop(LoopPorts{output_, desktop_, host_.ports.notifications,
                                    [this] { return host_.next_battery(); }},
                          EngineState(std::move(config), enabled), dir_.path(), FeedbackSender{},
                          link_);
    }

    testing::TempDir dir_;
    FakeHost host_;
    fakes::RecordingOutput output_;
    fakes::RecordingDesktopActions desktop_;
    std::shared_ptr<EngineLink> link_;
};

// Builds the state a case needs through messages, as the controller would.
EngineMessage axis(std::uint8_t index, float value) {
    return EngineMessage::input(InputEvent::axis(index, value));
}
EngineMessage button(std::uint8_t index, bool pressed) {
    return EngineMessage::input(InputEvent::button(index, pressed));
}

TEST_F(LoopTest, WaitsUntilTheNextMessageOrTheNextDueTimerAndNothingElse) {
    constexpr std::uint8_t kButtonY = 3;
    constexpr std::uint8_t kButtonXbox = 8;
    struct Case {
        const char* what;
        bool enabled;
        std::vector<EngineMessage> messages;  // handled at 0, 1, 2 ... ms
        std::chrono::milliseconds now;
        std::optional<std::chrono::milliseconds> wait;
        StickRole right = StickRole::Scroll;
        std::uint64_t hold_ms = 400;
    };
    std::vector<Case> cases;
    cases.push_back({"nothing at all", true, {}, 5ms, std::nullopt});
    cases.push_back({"connected: the next battery look", true,
                     script(EngineMessage::connected(true)), 1000ms, 29000ms});
    cases.push_back(
        {"a stick inside its dead zone", true, script(axis(0, 0.05f)), 5ms, std::nullopt});
    cases.push_back({"a stick off centre: the next tick", true, script(axis(0, 0.5f)), 3ms, 5ms});
    cases.push_back({"a stick off centre, tick overdue", true, script(axis(0, 0.5f)), 30ms, 0ms});
    cases.push_back({"the scroll stick off centre", true, script(axis(3, -0.8f)), 1ms, 7ms});
    cases.push_back({"a stick without a role", true, script(axis(2, 0.9f)), 1ms, std::nullopt,
                     StickRole::None});
    // At rest a timer wakes the engine exactly when due: 400 ms hold, 1000 ms Xbox hold.
    cases.push_back(
        {"a press waiting for its hold", true, script(button(kButtonY, true)), 2ms, 398ms});
    cases.push_back({"the Xbox button held", true, script(button(kButtonXbox, true)), 2ms, 998ms});
    cases.push_back({"a hold a year away still wakes within the hour", true,
                     script(button(kButtonY, true)), 2ms, std::chrono::hours(1), StickRole::Scroll,
                     365ULL * 24 * 3600 * 1000});
    cases.push_back({"a hold beyond the clock's range", true, script(button(kButtonY, true)), 2ms,
                     std::chrono::hours(1), StickRole::Scroll, UINT64_MAX});
    cases.push_back(
        {"off: a stick moves nothing", false, script(axis(0, 0.5f)), 3ms, std::nullopt});
    cases.push_back({"off: the Xbox button still counts", false, script(button(kButtonXbox, true)),
                     3ms, 997ms});
    cases.push_back({"a click pressed and let go", true, script(button(0, true), button(0, false)),
                     4ms, std::nullopt});
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        Config config;
        config.right_stick = c.right;
        config.hold_ms = c.hold_ms;
        config.buttons[button_index(Button::Y)].hold = Action(ActionKind::Mute);
        EngineLoop loop = make_loop(c.enabled, config);
        std::chrono::milliseconds at{0};
        for (EngineMessage& m : c.messages) {
            ASSERT_TRUE(loop.pass(std::move(m), at));
            at += 1ms;
        }
        EXPECT_EQ(loop.wait_time(c.now), c.wait);
    }
}

TEST_F(LoopTest, TheFirstTickAfterAPauseComesAtOnceWithOneTicksStep) {
    Config config;
    EngineLoop loop = make_loop(true, config);
    // Long idle: no tick ran, none was due.
    ASSERT_TRUE(loop.pass(std::nullopt, 5s));
    EXPECT_EQ(loop.state().last_tick, std::nullopt);
    ASSERT_TRUE(loop.pass(axis(0, 1.0f), 5s + 3ms));
    EXPECT_EQ(loop.state().last_tick, 5s + 3ms);

    // What the engine does for exactly one tick's step from the same state.
    EngineState reference(config, true);
    (void)handle_input(reference, InputEvent::axis(0, 1.0f), 5s + 3ms);
    reference.last_tick = 5s + 3ms - kTickInterval;
    const CommandList one_step = tick(reference, 5s + 3ms);
    ASSERT_FALSE(one_step.empty());
    ASSERT_EQ(one_step.front().kind, CommandKind::Move);
    ASSERT_FALSE(output_.performed.empty());
    EXPECT_EQ(output_.performed.front(), one_step.front());
    // The step cap's distance would have been a visible jump.
    EngineState capped(config, true);
    (void)handle_input(capped, InputEvent::axis(0, 1.0f), 5s + 3ms);
    capped.last_tick = 5s;
    EXPECT_NE(tick(capped, 5s + 3ms).front(), one_step.front());

    // Then every 8 ms again, with the ordinary step.
    EXPECT_EQ(loop.wait_time(5s + 4ms), 7ms);
    ASSERT_TRUE(loop.pass(std::nullopt, 5s + 11ms));
    EXPECT_EQ(loop.state().last_tick, 5s + 11ms);
}

TEST_F(LoopTest, AtRestTheRingsIdleTimerTicksWhenDueAndMotionAfterItStartsAtOnce) {
    Config config;
    config.steering_idle_ms = 20;
    EngineLoop loop = make_loop(true, config);
    ASSERT_TRUE(loop.pass(axis(0, 1.0f), 10ms));  // ticks at once, and shows the ring
    EXPECT_EQ(loop.state().last_tick, 10ms);
    ASSERT_TRUE(loop.state().circle_shown);
    ASSERT_TRUE(loop.pass(axis(0, 0.0f), 12ms));
    // No ticks every 8 ms while only the ring waits to go: one, when its idle time is up.
    EXPECT_EQ(loop.wait_time(12ms), 18ms);
    ASSERT_TRUE(loop.pass(std::nullopt, 29ms));
    EXPECT_EQ(loop.state().last_tick, 10ms);
    ASSERT_TRUE(loop.pass(std::nullopt, 30ms));
    EXPECT_EQ(loop.state().last_tick, 30ms);
    EXPECT_FALSE(loop.state().circle_shown);
    EXPECT_EQ(loop.wait_time(30ms), std::nullopt);
    // Moving again within one interval of that tick: the next tick comes when due, not at once.
    ASSERT_TRUE(loop.pass(axis(0, 1.0f), 33ms));
    EXPECT_EQ(loop.state().last_tick, 30ms);
    EXPECT_EQ(loop.wait_time(33ms), 5ms);
    ASSERT_TRUE(loop.pass(std::nullopt, 38ms));
    EXPECT_EQ(loop.state().last_tick, 38ms);
}

TEST_F(LoopTest, TicksAtMostEvery8msAfterAnyMessageOrTimeOut) {
    EngineLoop loop = make_loop(true);
    struct Step {
        std::chrono::milliseconds now;
        std::optional<std::chrono::milliseconds> last_tick;
    };
    // The stick is held over from 8 ms on, so every tick has work.
    const Step steps[] = {
        {0ms, std::nullopt}, {7ms, std::nullopt}, {8ms, 8ms},     {15ms, 8ms},
        {16ms, 16ms},        {300ms, 300ms},      {301ms, 300ms},
    };
    for (const auto& s : steps) {
        // A message or a time-out, alternately: both reach the tick.
        std::optional<EngineMessage> message;
        if (s.now == 8ms) {
            message = axis(0, 1.0f);
        } else if (s.now.count() % 2 == 0) {
            message = EngineMessage::input(InputEvent::mouse_moved());
        }
        ASSERT_TRUE(loop.pass(std::move(message), s.now));
        EXPECT_EQ(loop.state().last_tick, s.last_tick) << s.now.count();
    }
}

TEST_F(LoopTest, TicksWithoutWorkAreSkippedAndChangeNothing) {
    EngineLoop loop = make_loop(true);
    ASSERT_TRUE(loop.pass(EngineMessage::connected(true), 0ms));
    for (const std::chrono::milliseconds now : {8ms, 16ms, 250ms, 10000ms}) {
        ASSERT_TRUE(loop.pass(std::nullopt, now));
        ASSERT_TRUE(loop.pass(EngineMessage::input(InputEvent::mouse_moved()), now + 1ms));
    }
    EXPECT_EQ(loop.state().last_tick, std::nullopt);
    EXPECT_TRUE(output_.performed.empty());
}

TEST_F(LoopTest, NotifiesOncePerSpellOfLowBatteryReadings) {
    EngineLoop loop = make_loop(true);
    host_.batteries = {"Low", "Low", "75%", "Low", "Low", std::nullopt};
    const auto low =
        Notification{"Controller battery is low", "Charge it or change the batteries soon."};

    ASSERT_TRUE(loop.pass(EngineMessage::connected(true), 0s));  // checks at once: Low
    EXPECT_EQ(host_.notifications().size(), 1u);
    EXPECT_EQ(link_->status().battery, "Low");
    ASSERT_TRUE(loop.pass(std::nullopt, 29s));  // not due yet
    EXPECT_EQ(host_.batteries.size(), 5u);
    ASSERT_TRUE(loop.pass(std::nullopt, 30s));  // Low again: no second notification
    EXPECT_EQ(host_.notifications().size(), 1u);
    ASSERT_TRUE(loop.pass(std::nullopt, 60s));  // 75%
    EXPECT_EQ(link_->status().battery, "75%");
    ASSERT_TRUE(loop.pass(std::nullopt, 90s));  // Low after a good reading: notify
    EXPECT_EQ(host_.notifications().size(), 2u);
    ASSERT_TRUE(loop.pass(EngineMessage::connected(false), 100s));
    EXPECT_EQ(link_->status().battery, std::nullopt);
    ASSERT_TRUE(loop.pass(std::nullopt, 200s));  // not connected: no reading
    EXPECT_EQ(host_.batteries.size(), 2u);
    ASSERT_TRUE(loop.pass(EngineMessage::connected(true), 201s));  // reconnection re-arms
    EXPECT_EQ(host_.notifications(), (std::vector<Notification>{low, low, low}));
    ASSERT_TRUE(loop.pass(std::nullopt, 231s));
    EXPECT_EQ(link_->status().battery, std::nullopt);
}

TEST_F(LoopTest, ASettingsChangeReplacesTheRecordButNotWhatIsHeld) {
    EngineLoop loop = make_loop(true);
    ASSERT_TRUE(loop.pass(EngineMessage::input(InputEvent::button(0, true)), 0ms));
    Config changed;
    changed.hold_ms = 123;
    changed.buttons[button_index(Button::A)].press = Action(ActionKind::RightClick);
    ASSERT_TRUE(loop.pass(EngineMessage::config_changed(changed), 1ms));
    EXPECT_EQ(loop.state().config, changed);
    ASSERT_TRUE(loop.pass(EngineMessage::input(InputEvent::button(0, false)), 2ms));
    ASSERT_TRUE(loop.pass(EngineMessage::input(InputEvent::button(0, true)), 3ms));
    EXPECT_EQ(output_.performed, (CommandList{{CommandKind::ButtonDown, 0, 0, 0, 0},
                                              {CommandKind::ButtonUp, 0, 0, 0, 0},
                                              {CommandKind::ButtonDown, 1, 0, 0, 0}}));
    EXPECT_FALSE(loop.pass(EngineMessage::quit(), 4ms));
    loop.finish();
    EXPECT_EQ(output_.performed.back(), (OutputCommand{CommandKind::ButtonUp, 1, 0, 0, 0}));
}

TEST_F(LoopTest, TheMenuShowsTheProfileInForce) {
    EngineLoop loop = make_loop(true);
    Config settings;
    AppProfile vlc;
    vlc.id = "vlc";
    vlc.name = "VLC";
    vlc.press[button_index(Button::A)] = Action(ActionKind::PlayPause);
    settings.apps.push_back(vlc);
    ASSERT_TRUE(loop.pass(EngineMessage::front_app("vlc"), 0ms));
    EXPECT_EQ(link_->status().profile, std::nullopt);  // no profile yet
    ASSERT_TRUE(loop.pass(EngineMessage::config_changed(settings), 1ms));
    EXPECT_EQ(link_->status().profile, "VLC");
    ASSERT_TRUE(loop.pass(EngineMessage::front_app("firefox"), 2ms));
    EXPECT_EQ(link_->status().profile, std::nullopt);
}

TEST_F(LoopTest, WhileSteeringEachTickReadsTheControllerFirstWhenNothingWaits) {
    // The reader's side of the link: a read finds the stick where the step put it.
    std::optional<float> stick;
    int pace_changes = 0;
    bool nothing_waiting = true;
    ControllerLink controller(nullptr, FeedbackReceiver{});
    controller.set_sampler([&](ControllerEvents& sink) {
        if (stick) sink.axis_changed(0, *std::exchange(stick, std::nullopt));
    });
    controller.on_pace([&] { ++pace_changes; });
    EngineLoop loop(LoopPorts{output_, desktop_, host_.ports.notifications,
                              [this] { return host_.next_battery(); }, &controller,
                              [&] { return nothing_waiting; }},
                    EngineState(Config{}, true), dir_.path(), FeedbackSender{}, link_);
    struct Step {
        const char* what;
        std::optional<EngineMessage> message;
        std::chrono::milliseconds now;
        std::optional<float> stick;  // where the stick is now, if it moved
        bool waiting;                // a message waits behind this one
        float lx;                    // the stick as the engine holds it afterwards
        std::optional<std::chrono::milliseconds> last_tick;
        bool steering;
    };
    Step steps[] = {
        {"a button between ticks: no read", button(1, true), 3ms, 0.3f, false, 0.0f, {}, false},
        {"the stick leaves rest: read before the tick", axis(0, 0.5f), 10ms, 0.7f, false, 0.7f,
         10ms, true},
        {"a time-out before the tick: no read", {}, 14ms, 0.8f, false, 0.7f, 10ms, true},
        {"a message waits: no read, the tick goes on", {}, 18ms, 0.9f, true, 0.7f, 18ms, true},
        {"read at rest: no tick", {}, 26ms, 0.0f, false, 0.0f, 18ms, false},
    };
    for (Step& s : steps) {
        SCOPED_TRACE(s.what);
        stick = s.stick;
        nothing_waiting = !s.waiting;
        ASSERT_TRUE(loop.pass(std::move(s.message), s.now));
        EXPECT_EQ(loop.state().lx, s.lx);
        EXPECT_EQ(loop.state().last_tick, s.last_tick);
        EXPECT_EQ(controller.steering(), s.steering);
    }
    // Told once when steering started and once when it stopped.
    EXPECT_EQ(pace_changes, 2);
}

}  // namespace
}  // namespace thumbrover
