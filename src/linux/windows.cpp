#include "linux/windows.hpp"

#include "core/settings/config_file.hpp"
#include "core/ui/app_settings_effects.hpp"
#include "linux/key_codes.hpp"
#include "qt/windows.hpp"

namespace thumbrover {

namespace {

// Desktops name their Bluetooth panel differently; the first that is installed is started.
constexpr const char* kBluetoothCommand =
    "for tool in 'gnome-control-center bluetooth' 'systemsettings kcm_bluetooth' "
    "'blueman-manager' 'blueberry'; do set -- $tool; "
    "if command -v \"$1\" >/dev/null 2>&1; then exec \"$@\"; fi; done; "
    "echo \"$0: no Bluetooth settings program found\" >&2; exit 1";

class AppWindows final : public ShellWindows {
  public:
    explicit AppWindows(ShellServices& services)
        : effects_(config_path(services.app_dir), services.circle, services.notifier),
          store_(effects_),
          windows_(WindowServices{
              .store = store_,
              .login_item = services.login_item,
              .permission = services.permission,
              .desktop = services.desktop,
              .engine = services.engine,
              .app_dir = services.app_dir,
              .trust = trust_at_start(),
              .controller_name = {},
              .battery_text = {},
              .settle_settings_file = [this] { effects_.flush(); },
              .bluetooth_command = kBluetoothCommand,
              .unshifted_key = x11_unshifted_key,
              .wording = kXDisplayWording,
              // The desktop's screen keyboard (or Onboard) opens on request here, unlike on macOS.
              .offered = OfferedActions{.on_screen_keyboard = true},
              .input_settings_pane = {},
          }) {
        MainTick& tick = services.tick;
        windows_.on_settings_built = [&tick](LiveWindow& window) {
            tick.settings_window_built(window);
        };
        windows_.on_setup_built = [&tick](LiveWindow& window) { tick.setup_window_built(window); };
    }
    ~AppWindows() override { effects_.flush(); }
    AppWindows(const AppWindows&) = delete;
    AppWindows& operator=(const AppWindows&) = delete;

    void open_settings() override { windows_.open_settings(); }
    void open_buttons() override { windows_.open_buttons(); }
    void open_setup() override { windows_.open_setup(); }
    void run_startup_check() override { windows_.run_startup_check(); }

  private:
    AppSettingsEffects effects_;
    SettingsStore store_;
    QtWindows windows_;
};

}  // namespace

std::unique_ptr<ShellWindows> make_windows(ShellServices& services) {
    return std::make_unique<AppWindows>(services);
}

}  // namespace thumbrover
