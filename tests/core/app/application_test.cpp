#include "core/app/application.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fakes/engine_ports.hpp"
#include "fakes/engine_requests.hpp"
#include "fakes/gamepad.hpp"
#include "fakes/notifier.hpp"
#include "fakes/overlay.hpp"
#include "fakes/shell_windows.hpp"
#include "fakes/system_services.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using Lines = std::vector<std::string>;

TEST(MenuActions, EachItemReachesItsTargetAndNothingElse) {
    struct Case {
        MenuAction action;
        Lines engine;
        Lines windows;
    };
    const Case cases[] = {
        {MenuAction::Toggle, {"Toggle"}, {}},
        {MenuAction::Quit, {"Quit"}, {}},
        {MenuAction::OpenSettings, {}, {"settings"}},
        {MenuAction::OpenButtons, {}, {"buttons"}},
        {MenuAction::OpenSetup, {}, {"setup"}},
        // Without an update check there is no page to open.
        {MenuAction::OpenUpdate, {}, {}},
        {MenuAction::None, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.action));
        fakes::RecordingEngine engine;
        fakes::RecordingWindows windows;
        fakes::FakeDesktop desktop;
        perform_menu_action(c.action, MenuTargets{engine, &windows, nullptr, desktop});
        EXPECT_EQ(engine.sent, c.engine);
        EXPECT_EQ(windows.opened, c.windows);
        EXPECT_TRUE(desktop.started.empty());
    }
}

TEST(MenuActions, WindowItemsDoNothingBeforeTheWindowsExist) {
    fakes::RecordingEngine engine;
    fakes::FakeDesktop desktop;
    for (const MenuAction action :
         {MenuAction::OpenSettings, MenuAction::OpenButtons, MenuAction::OpenSetup}) {
        perform_menu_action(action, MenuTargets{engine, nullptr, nullptr, desktop});
    }
    EXPECT_TRUE(engine.sent.empty());
    EXPECT_TRUE(desktop.started.empty());
}

// The event loop as a queue the test runs by hand, on its own thread.
class ManualLoop {
  public:
    MainLoop loop() {
        return MainLoop{.post =
                            [this](std::function<void()> work) {
                                const std::lock_guard lock(mutex_);
                                posted_.push_back(std::move(work));
                            },
                        .end = [this](int status) { ended.push_back(status); }};
    }
    // Runs what was posted so far; returns how many there were.
    std::size_t run_posted() {
        std::deque<std::function<void()>> work;
        {
            const std::lock_guard lock(mutex_);
            work.swap(posted_);
        }
        for (auto& w : work)
            w();
        return work.size();
    }
    std::vector<int> ended;

  private:
    std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
};

class CountingMenu final : public MenuRefresh {
  public:
    int refreshes = 0;
    void refresh_menu(const EngineLink&) override { ++refreshes; }
};

// One whole run in a test program of its own: the engine's links are process-wide and published
// once.
TEST(Application, StartsTheEngineAndEndsItWhenTheLoopEndsFirst) {
    testing::TempDir dir;
    fakes::RecordingNotifier notifier;
    fakes::FakeLoginItem login_item;
    fakes::FakeDesktop desktop;
    fakes::FakePermission permission;
    fakes::FakeGamepad gamepad;
    fakes::FakeOverlay overlay;
    fakes::CountingCursor cursor;
    fakes::FakeEnginePorts engine;
    ManualLoop manual;
    fakes::RecordingWindows* windows = nullptr;
    ShellOptions options;
    options.app_dir = dir.path();
    options.check_for_updates = false;
    options.make_windows = [&](ShellServices& services) {
        EXPECT_EQ(services.app_dir, dir.path());
        auto made = std::make_unique<fakes::RecordingWindows>();
        windows = made.get();
        return made;
    };
    {
        Application app(
            AppPorts{notifier, login_item, desktop, permission, gamepad, overlay, cursor, engine},
            options, manual.loop());
        EXPECT_EQ(app.update_offer(), std::nullopt);
        CountingMenu menu;
        app.start(menu);
        ASSERT_NE(windows, nullptr);
        app.perform(MenuAction::OpenSetup);
        EXPECT_EQ(windows->opened, Lines{"setup"});
        // The first tick runs the windows' start-up check.
        app.tick().tick();
        EXPECT_EQ(windows->startup_checks, 1);

        // The loop ended by itself (the session closing) once the engine was running: the engine
        // is told to end as well.
        for (int i = 0; i < 1000 && published_engine_link() == nullptr; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_NE(published_engine_link(), nullptr);
        EXPECT_EQ(app.finish(), 0);
        EXPECT_EQ(engine.calls.front(), "create_event_output");
    }
    // The engine's last act asked the loop to end with its status.
    EXPECT_EQ(manual.run_posted(), 1u);
    EXPECT_EQ(manual.ended, std::vector<int>{0});
    EXPECT_EQ(cursor.hides, cursor.shows);
}

}  // namespace
}  // namespace thumbrover
