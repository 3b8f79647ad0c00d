#include "core/engine/engine_loop.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/common/files.hpp"
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
                                       EngineSender sender) {
            ports.calls.emplace_back(source ? "start_mouse_watcher" : "no mouse source");
            for (auto& message : script)
                sender.send(std::move(message));
            script.clear();
            watcher_sender = std::move(sender);
        };
        c.publish_engine_link = [this](std::shared_ptr<EngineLink> published) {
            link = std::move(published);
            if (on_publish) on_publish();
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
                                        "start_mouse_watcher"}));
    EXPECT_EQ(host.circle_scale, 1.5f);
    EXPECT_FALSE(steering_circle_visible().load());
    EXPECT_TRUE(std::filesystem::exists(dir / "config.toml"));
    EXPECT_EQ(host.performed(), (CommandList{{CommandKind::ButtonDown, 0, 0, 0, 0},
                                             {CommandKind::ButtonUp, 0, 0, 0, 0}}));
    ASSERT_TRUE(host.link);
    EXPECT_EQ(host.link->status(), (EngineStatus{std::nullopt, true, true}));
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
                                        "start_mouse_watcher"}));
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

    EngineLoop make_loop(bool enabled) {
        return EngineLoop(LoopPorts{output_, desktop_, host_.ports.notifications,
                                    [this] { return host_.next_battery(); }},
                          EngineState(Config{}, enabled), dir_.path(), FeedbackSender{}, link_);
    }

    testing::TempDir dir_;
    FakeHost host_;
    fakes::RecordingOutput output_;
    fakes::RecordingDesktopActions desktop_;
    std::shared_ptr<EngineLink> link_;
};

TEST_F(LoopTest, WaitsBrieflyOnlyWhileConnectedAndOn) {
    EngineLoop loop = make_loop(true);
    EXPECT_EQ(loop.wait_time(), 250ms);
    ASSERT_TRUE(loop.pass(EngineMessage::connected(true), 0ms));
    EXPECT_EQ(loop.wait_time(), 8ms);
    ASSERT_TRUE(loop.pass(EngineMessage::input(InputEvent::toggle()), 1ms));
    EXPECT_FALSE(loop.enabled());
    EXPECT_EQ(loop.wait_time(), 250ms);
    ASSERT_TRUE(loop.pass(EngineMessage::input(InputEvent::toggle()), 2ms));
    EXPECT_EQ(loop.wait_time(), 8ms);
    ASSERT_TRUE(loop.pass(EngineMessage::connected(false), 3ms));
    EXPECT_EQ(loop.wait_time(), 250ms);

    EngineLoop off = make_loop(false);
    ASSERT_TRUE(off.pass(EngineMessage::connected(true), 0ms));
    EXPECT_EQ(off.wait_time(), 250ms);
}

TEST_F(LoopTest, AnActiveWaitEndsWhenTheNextTickIsDue) {
    EngineLoop loop = make_loop(true);
    ASSERT_TRUE(loop.pass(EngineMessage::connected(true), 0ms));
    ASSERT_TRUE(loop.pass(std::nullopt, 8ms));  // the first tick
    struct Case {
        std::chrono::milliseconds now;
        std::chrono::milliseconds wait;
    };
    for (const Case& c :
         {Case{8ms, 8ms}, Case{11ms, 5ms}, Case{16ms, 0ms}, Case{30ms, 0ms}, Case{5ms, 8ms}}) {
        SCOPED_TRACE(c.now.count());
        EXPECT_EQ(loop.wait_time(c.now), c.wait);
    }
    // Idle waits are not cut short: nothing moves between their ticks.
    ASSERT_TRUE(loop.pass(EngineMessage::connected(false), 9ms));
    EXPECT_EQ(loop.wait_time(12ms), 250ms);
}

TEST_F(LoopTest, TicksAtMostEvery8msAfterAnyMessageOrTimeOut) {
    EngineLoop loop = make_loop(true);
    struct Step {
        std::chrono::milliseconds now;
        std::optional<std::chrono::milliseconds> last_tick;
    };
    const Step steps[] = {
        {0ms, std::nullopt}, {7ms, std::nullopt}, {8ms, 8ms},     {15ms, 8ms},
        {16ms, 16ms},        {300ms, 300ms},      {301ms, 300ms},
    };
    for (const auto& s : steps) {
        // A message or a time-out, alternately: both reach the tick.
        std::optional<EngineMessage> message;
        if (s.now.count() % 2 == 0) message = EngineMessage::input(InputEvent::mouse_moved());
        ASSERT_TRUE(loop.pass(std::move(message), s.now));
        EXPECT_EQ(loop.state().last_tick, s.last_tick) << s.now.count();
    }
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

}  // namespace
}  // namespace thumbrover
