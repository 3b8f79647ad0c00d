// gtest comes before Xlib, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "linux/front_app.hpp"
#include "linux/output_choice.hpp"
#include "linux/private_x_server.hpp"
#include "linux/x11_display.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

// Plays the window manager on a server of the test's own: windows with a class, and the root
// window's `_NET_ACTIVE_WINDOW` and `_NET_CLIENT_LIST`, set the way a window manager sets them.
class FakeWindowManager {
  public:
    FakeWindowManager() : display_(X11Display::open().value()) {}

    Window window(const char* instance, const char* klass) {
        Display* d = display_.get();
        const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
        std::string name = instance;
        std::string class_name = klass;
        XClassHint hint{name.data(), class_name.data()};
        XSetClassHint(d, w, &hint);
        XMapWindow(d, w);
        XSync(d, False);
        return w;
    }
    void activate(Window w) { set_windows("_NET_ACTIVE_WINDOW", {w}); }
    void list(const std::vector<Window>& windows) { set_windows("_NET_CLIENT_LIST", windows); }
    void destroy(Window w) {
        XDestroyWindow(display_.get(), w);
        XSync(display_.get(), False);
    }

  private:
    void set_windows(const char* property, const std::vector<Window>& windows) {
        Display* d = display_.get();
        std::vector<unsigned long> values(windows.begin(), windows.end());
        XChangeProperty(d, DefaultRootWindow(d), XInternAtom(d, property, False), XA_WINDOW, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(values.data()),
                        static_cast<int>(values.size()));
        XSync(d, False);
    }

    X11Display display_;
};

// What the watcher reported, in order, read as it arrives.
class Reports {
  public:
    void add(std::string id) {
        std::lock_guard lock(mutex_);
        ids_.push_back(std::move(id));
        arrived_.notify_all();
    }
    // Waits up to five seconds for report number `n` (from 1).
    std::optional<std::string> nth(std::size_t n) {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, 5s, [&] { return ids_.size() >= n; });
        return ids_.size() >= n ? std::optional(ids_[n - 1]) : std::nullopt;
    }
    std::size_t count() {
        std::lock_guard lock(mutex_);
        return ids_.size();
    }

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> ids_;
};

// A private X server, named by `DISPLAY`, with a window manager of the test's.
class X11FrontAppWatcherTest : public ::testing::Test {
  protected:
    testing::PrivateXServer server_;
    testing::ScopedEnv display_{"DISPLAY", server_.name()};
    FakeWindowManager wm_;
    const Window vlc_ = wm_.window("vlc", "vlc");
    const Window firefox_ = wm_.window("Navigator", "firefox");
    const Window firefox2_ = wm_.window("Navigator", "firefox");
};

TEST_F(X11FrontAppWatcherTest, FollowsTheActiveWindowsClass) {
    const Window classless = wm_.window("", "");
    wm_.activate(vlc_);

    Reports reports;
    std::unique_ptr<FrontAppWatcher> watcher = make_front_app_watcher();
    ASSERT_TRUE(watcher->available());
    watcher->watch([&](std::string id) { reports.add(std::move(id)); });
    EXPECT_EQ(reports.nth(1), "vlc");  // the one in front already
    wm_.activate(firefox_);
    EXPECT_EQ(reports.nth(2), "firefox");
    // Another window of the same application is no change.
    wm_.activate(firefox2_);
    wm_.activate(classless);
    EXPECT_EQ(reports.nth(3), "");
    // A stale id of a window already gone tells nothing either.
    wm_.destroy(vlc_);
    wm_.activate(vlc_);
    wm_.activate(firefox_);
    EXPECT_EQ(reports.nth(4), "firefox");
    watcher.reset();  // stops and joins the thread
    wm_.activate(firefox2_);
    EXPECT_EQ(reports.count(), 4u);
}

TEST_F(X11FrontAppWatcherTest, ListsEachRunningApplicationOnce) {
    wm_.window("gimp", "Gimp");
    X11FrontAppWatcher watcher;
    // Without a window manager's list, the top-level windows that show.
    EXPECT_EQ(watcher.running_apps(),
              (std::vector<RunningApp>{{"firefox", "firefox"}, {"Gimp", "Gimp"}, {"vlc", "vlc"}}));
    wm_.list({vlc_, firefox_, firefox2_});
    EXPECT_EQ(watcher.running_apps(),
              (std::vector<RunningApp>{{"firefox", "firefox"}, {"vlc", "vlc"}}));
}

TEST(X11FrontAppWatcher, AWaylandSessionHasNone) {
    set_chosen_output(OutputKind::Uinput);
    const std::unique_ptr<FrontAppWatcher> watcher = make_front_app_watcher();
    set_chosen_output(OutputKind::Xtest);
    EXPECT_FALSE(watcher->available());
    EXPECT_TRUE(watcher->running_apps().empty());
}

}  // namespace
}  // namespace thumbrover
