// gtest comes before Xlib, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "linux/event_output.hpp"
#include "linux/mouse_watcher.hpp"
#include "linux/private_x_server.hpp"
#include "linux/x11_display.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

std::atomic<int> g_lost_actions{0};

// Exit codes of the child process below, each naming what went wrong.
constexpr int kAllWell = 0;
constexpr int kNoStart = 10;
constexpr int kWatcherDidNotEnd = 11;
constexpr int kNotTold = 12;
constexpr int kToldTwice = 13;

// The end of a session as the program's threads see it: the engine thread posting, the watcher
// thread waiting for motion, and the server going away under both. Xlib's own handling ends the
// process from whichever thread notices first, and at the end of a session several do at once.
[[noreturn]] void lose_the_display_under_two_threads() {
    testing::PrivateXServer server;
    ::setenv("DISPLAY", server.name().c_str(), 1);
    set_display_lost_action([] { ++g_lost_actions; });
    auto output = X11EventOutput::create();
    auto watcher = std::make_unique<X11MouseWatcher>();
    if (!output || watcher->start() != WatchStart::Watching) std::_Exit(kNoStart);

    std::atomic<bool> watcher_ended{false};
    std::thread watching([&] {
        while (watcher->wait_motion(5s).outcome == X11MouseWatcher::Wait::Motion) {
        }
        watcher.reset();
        watcher_ended = true;
    });
    std::thread engine([&] {
        for (int i = 0; i < 500 && !x_display_lost(); ++i) {
            (void)(*output)->perform({CommandKind::Move, 0, 0, i % 2 == 0 ? 1 : -1, 0});
            std::this_thread::sleep_for(2ms);
        }
        // Letting go of what it holds and closing, as the engine's end does.
        output->reset();
    });
    std::this_thread::sleep_for(50ms);
    server.stop();
    engine.join();
    watching.join();
    if (!watcher_ended) std::_Exit(kWatcherDidNotEnd);
    if (g_lost_actions == 0) std::_Exit(kNotTold);
    if (g_lost_actions > 1) std::_Exit(kToldTwice);
    std::_Exit(kAllWell);
}

constexpr int kToldLate = 14;

// Steering only: the motions go out without reading the connection, yet the first one after the
// server has gone tells the program.
[[noreturn]] void lose_the_display_while_only_moving() {
    testing::PrivateXServer server;
    ::setenv("DISPLAY", server.name().c_str(), 1);
    set_display_lost_action([] { ++g_lost_actions; });
    auto output = X11EventOutput::create();
    if (!output) std::_Exit(kNoStart);
    for (int i = 0; i < 10; ++i)
        (void)(*output)->perform({CommandKind::Move, 0, 0, 1, 0});
    server.stop();
    int motions = 0;
    while (!x_display_lost() && motions < 200) {
        (void)(*output)->perform({CommandKind::Move, 0, 0, 1, 0});
        ++motions;
    }
    output->reset();
    if (g_lost_actions == 0) std::_Exit(kNotTold);
    if (motions > 1) std::_Exit(kToldLate);
    std::_Exit(kAllWell);
}

TEST(DisplayLoss, TheFirstMotionAfterTheServerWentTellsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(lose_the_display_while_only_moving(), ::testing::ExitedWithCode(kAllWell),
                "thumbrover: lost the connection to the X display");
}

TEST(DisplayLoss, NoThreadEndsTheProcessAndTheProgramIsToldOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(lose_the_display_under_two_threads(), ::testing::ExitedWithCode(kAllWell),
                "thumbrover: lost the connection to the X display");
}

}  // namespace
}  // namespace thumbrover
