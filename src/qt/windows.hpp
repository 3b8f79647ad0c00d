#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/app/actions.hpp"
#include "core/app/application.hpp"
#include "core/app/engine_requests.hpp"
#include "core/app/tick.hpp"
#include "core/ui/access.hpp"
#include "core/ui/settings_store.hpp"
#include "platform/system_services.hpp"
#include "qt/key_codes.hpp"

class QLabel;

namespace thumbrover {

class ButtonsWindow;
class FileProblemBanner;
class SettingsWindow;
class SetupWindow;

// What the three windows need from the rest of the program.
struct WindowServices {
    SettingsStore& store;
    LoginItem& login_item;
    InputPermission& permission;
    Desktop& desktop;
    EngineRequests& engine;
    std::filesystem::path app_dir;
    TrustAtStart& trust = trust_at_start();
    // The connected controller's name and battery text; the process's controller slots unless
    // a test supplies its own.
    std::function<std::optional<std::string>()> controller_name;
    std::function<std::optional<std::string>()> battery_text;
    // Called before a window re-reads the settings file, so that changes still being written
    // (the settings file is written in the background) are in it.
    std::function<void()> settle_settings_file;
    // The platform's shell line that opens its Bluetooth settings.
    std::string bluetooth_command;
    // The exit status with which that line says it found nothing to start, and what the user
    // can install or do then.
    int bluetooth_missing_status = -1;
    std::string bluetooth_help = {};
    // What the user can do when the settings file could not be opened (no program for it).
    std::string open_file_help = {};
    // The platform's reading of the keyboard layout for key captures; none: no Shift is undone.
    UnshiftedKey unshifted_key;
    // How the permission to post input is named, and what the user is told to do about it.
    PermissionWording wording = kAccessibilityWording;
    // The actions this platform can carry out beyond the common ones.
    OfferedActions offered = {};
    // The platform's link to the settings pane that grants the input permission; empty where
    // there is no such pane (asking is then all the program can do).
    std::string input_settings_pane = {};
    // Whether the session shows the steering circle (not in a Wayland session).
    bool shows_ring = true;
    // The running applications for "Add the application…", and whether the application in
    // front can be told; null: no application can be added.
    std::shared_ptr<FrontAppWatcher> front_apps = {};
};

// The Settings, Customize Buttons and Setup windows, each built on its first
// opening and kept (closing only hides it). The shell's tick calls `run_startup_check` on its
// first tick; `on_settings_built` / `on_setup_built` tell it when a window with live rows exists,
// so it can refresh them (`MainTick::settings_window_built`). Main thread only.
class QtWindows final : public ShellWindows, public SettingsOpener {
  public:
    explicit QtWindows(WindowServices services);
    ~QtWindows() override;
    QtWindows(const QtWindows&) = delete;
    QtWindows& operator=(const QtWindows&) = delete;

    void open_settings() override;
    void open_settings_without_tray() override;
    void open_buttons() override;
    void open_setup() override;

    // Records the permission at start, reports it, and opens Setup when the permission is
    // missing or setup was never finished.
    void run_startup_check() override;

    // What the windows' buttons do outside them.
    void open_input_settings();
    void open_bluetooth();
    void open_config_file();
    void restart();

    std::function<void(LiveWindow&)> on_settings_built;
    std::function<void(LiveWindow&)> on_setup_built;

    // Null until first opened.
    [[nodiscard]] FileProblemBanner* settings_banner() const { return settings_banner_; }
    [[nodiscard]] FileProblemBanner* buttons_banner() const { return buttons_banner_; }
    [[nodiscard]] QLabel* no_tray_note() const { return no_tray_note_; }
    [[nodiscard]] SettingsWindow* settings_window() const { return settings_.get(); }
    [[nodiscard]] ButtonsWindow* buttons_window() const { return buttons_.get(); }
    [[nodiscard]] SetupWindow* setup_window() const { return setup_.get(); }

  private:
    void settle();
    // The settings file was read again: the windows show what is in use and why the file is not.
    void settings_file_followed(SettingsFollowed followed);
    void show_file_problem();

    WindowServices services_;
    std::unique_ptr<SettingsWindow> settings_;
    std::unique_ptr<ButtonsWindow> buttons_;
    std::unique_ptr<SetupWindow> setup_;
    FileProblemBanner* settings_banner_ = nullptr;
    FileProblemBanner* buttons_banner_ = nullptr;
    QLabel* no_tray_note_ = nullptr;
};

// What each platform chooses for its windows; the rest comes from the running program.
struct PlatformWindows {
    std::string bluetooth_command;
    int bluetooth_missing_status = -1;
    std::string bluetooth_help = {};
    std::string open_file_help = {};
    UnshiftedKey unshifted_key;
    PermissionWording wording = kAccessibilityWording;
    OfferedActions offered = {};
    std::string input_settings_pane = {};
    bool shows_ring = true;
    std::shared_ptr<FrontAppWatcher> front_apps = {};
};

// The windows as the running program has them: the settings store writing the real settings file
// (in the background) and telling the steering circle and the engine, the windows built on first
// opening, and the tick refreshing the visible ones.
[[nodiscard]] std::unique_ptr<ShellWindows> make_app_windows(ShellServices& services,
                                                             PlatformWindows platform);

}  // namespace thumbrover
