#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/front_app.hpp"

namespace thumbrover {

// The D-Bus names that the KWin script and the GNOME Shell extension (packaging/gnome-shell)
// report to. On KWin the object is the program's own, called by the script; on GNOME the
// extension owns the name and the object, and the program listens to its signal.
namespace front_app_bus {
inline constexpr std::string_view kService = "app.thumbrover.FrontApp";
inline constexpr std::string_view kPath = "/app/thumbrover/FrontApp";
inline constexpr std::string_view kInterface = "app.thumbrover.FrontApp1";
inline constexpr std::string_view kExtensionUuid = "thumbrover@thumbrover.app";
}  // namespace front_app_bus

// What Customize Buttons says in a GNOME session where the extension does not answer: how to
// switch it on, or that it is not installed where GNOME looks for it.
[[nodiscard]] std::string gnome_extension_note(bool installed);

// Follows the window in front in a KDE Plasma session. KWin tells no client which window is
// active, but runs scripts handed to it over D-Bus (org.kde.kwin.Scripting): the script loaded
// here calls the watcher back at every activation. The script is unloaded again when the watcher
// ends. A connection and thread of its own, woken only by KWin's calls.
class KWinFrontAppWatcher final : public FrontAppWatcher {
  public:
    KWinFrontAppWatcher();
    ~KWinFrontAppWatcher() override;
    KWinFrontAppWatcher(const KWinFrontAppWatcher&) = delete;
    KWinFrontAppWatcher& operator=(const KWinFrontAppWatcher&) = delete;

    // Whether KWin is on the session bus.
    [[nodiscard]] static bool offered();

    [[nodiscard]] bool available() const override { return true; }
    void watch(std::function<void(std::string app_id)> changed) override;
    [[nodiscard]] std::vector<RunningApp> running_apps() override;

    class Thread;

  private:
    std::unique_ptr<Thread> thread_;
};

// Follows the window in front in a GNOME session through the program's GNOME Shell extension,
// which GNOME runs only once the user has switched it on. Until then `available` is false and
// `note` says how; when it comes (or goes) while the program runs, the watcher follows that.
class GnomeFrontAppWatcher final : public FrontAppWatcher {
  public:
    GnomeFrontAppWatcher();
    ~GnomeFrontAppWatcher() override;
    GnomeFrontAppWatcher(const GnomeFrontAppWatcher&) = delete;
    GnomeFrontAppWatcher& operator=(const GnomeFrontAppWatcher&) = delete;

    // Whether GNOME Shell is on the session bus.
    [[nodiscard]] static bool offered();
    // Whether the extension is installed in a folder GNOME Shell reads.
    [[nodiscard]] static bool extension_installed();

    [[nodiscard]] bool available() const override;
    void watch(std::function<void(std::string app_id)> changed) override;
    [[nodiscard]] std::vector<RunningApp> running_apps() override;
    [[nodiscard]] std::string note() const override;

    class Thread;

  private:
    std::unique_ptr<Thread> thread_;
};

}  // namespace thumbrover
