#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "core/common/files.hpp"
#include "e2e/program.hpp"

// Xlib after Qt (program.hpp): its macros would otherwise clash with Qt's names.
#include <X11/XF86keysym.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace thumbrover {
namespace {

using namespace std::chrono_literals;
using testing::key_press;
using testing::ProgramRun;
using testing::XProbe;

// The class the probe window gets, as an application names itself.
constexpr const char* kProbeClass = "Thumbrover-probe";

// Sets the root window's `_NET_ACTIVE_WINDOW` as a window manager would when it activates a
// window, and removes it again when the test is over, since the display is shared.
class ActiveWindow {
  public:
    explicit ActiveWindow(Display* d) : d_(d) {}
    ~ActiveWindow() {
        XDeleteProperty(d_, DefaultRootWindow(d_), atom());
        XSync(d_, False);
    }
    ActiveWindow(const ActiveWindow&) = delete;
    ActiveWindow& operator=(const ActiveWindow&) = delete;

    void set(Window w) {
        const unsigned long value = w;
        XChangeProperty(d_, DefaultRootWindow(d_), atom(), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&value), 1);
        XSync(d_, False);
    }

  private:
    Atom atom() const { return XInternAtom(d_, "_NET_ACTIVE_WINDOW", False); }
    Display* d_;
};

void set_class(Display* d, Window w, const char* klass) {
    std::string instance = "probe";
    std::string class_name = klass;
    XClassHint hint{instance.data(), class_name.data()};
    XSetClassHint(d, w, &hint);
    XSync(d, False);
}

std::optional<std::string> profile_in_force() {
    const EngineLink* link = published_engine_link();
    return link != nullptr ? link->status().profile : std::nullopt;
}

void tap_menu(ProgramRun& program) {
    program.set_button(testing::kButtonMenu, true);
    std::this_thread::sleep_for(60ms);
    program.set_button(testing::kButtonMenu, false);
}

// Menu plays and pauses by default; in the probe's profile it is F5. The keyboard focus stays
// on the probe throughout, so only the application the window manager calls active decides.
TEST(Profiles, TheSameButtonDoesWhatTheApplicationInFrontWants) {
    const int status = ProgramRun::run(
        [](ProgramRun& program) {
            XProbe probe(0, 0, 1920, 1080, 0x204060);
            XProbe other(0, 0, 10, 10, 0x000000);
            probe.raise();
            set_class(probe.display(), probe.window(), kProbeClass);
            set_class(other.display(), other.window(), "Other-app");
            ActiveWindow active(probe.display());

            active.set(probe.window());
            ASSERT_TRUE(testing::wait_until([] { return profile_in_force() == "Probe"; }, 5s));
            const auto tray_names_probe = [&] {
                const std::vector<std::string> lines = program.tray_lines();
                return lines.size() > 2 && lines[2] == "Buttons for Probe";
            };
            EXPECT_TRUE(testing::wait_until(tray_names_probe, 3s)) << "the tray names the profile";
            probe.clear();
            tap_menu(program);
            EXPECT_TRUE(probe.wait_for(key_press(XK_F5), 3s).has_value()) << "the profile's F5";

            active.set(other.window());
            ASSERT_TRUE(testing::wait_until([] { return !profile_in_force(); }, 5s));
            EXPECT_TRUE(testing::wait_until([&] { return !tray_names_probe(); }, 3s));
            probe.clear();
            tap_menu(program);
            EXPECT_TRUE(probe.wait_for(key_press(XF86XK_AudioPlay), 3s).has_value())
                << "the main play-pause";
        },
        [](const std::filesystem::path& dir) {
            ASSERT_TRUE(write_file_atomically(dir / "config.toml",
                                              "[apps.\"thumbrover-probe\"]\n"
                                              "name = \"Probe\"\n"
                                              "[apps.\"thumbrover-probe\".buttons]\n"
                                              "menu = \"f5\"\n")
                            .ok());
        });
    EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace thumbrover
