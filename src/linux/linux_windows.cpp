#include "linux/linux_windows.hpp"

#include <QApplication>
#include <utility>

#include "core/common/diag.hpp"
#include "core/controller/slots.hpp"
#include "core/engine/link.hpp"
#include "core/services/services.hpp"
#include "core/settings/config_file.hpp"
#include "core/ui/app_settings_effects.hpp"
#include "core/ui/setup_window.hpp"
#include "linux/buttons_window.hpp"
#include "linux/settings_window.hpp"
#include "linux/setup_window.hpp"
#include "linux/single_instance.hpp"

namespace thumbrover {
namespace {

// Desktops name their Bluetooth panel differently; the first that is installed is started.
constexpr const char* kBluetoothCommand =
    "for tool in 'gnome-control-center bluetooth' 'systemsettings kcm_bluetooth' "
    "'blueman-manager' 'blueberry'; do set -- $tool; "
    "if command -v \"$1\" >/dev/null 2>&1; then exec \"$@\"; fi; done; "
    "echo \"$0: no Bluetooth settings program found\" >&2; exit 1";

}  // namespace

LinuxWindows::LinuxWindows(WindowServices services) : services_(std::move(services)) {
    if (!services_.controller_name) services_.controller_name = [] { return controller_name(); };
    if (!services_.battery_text) services_.battery_text = [] { return battery_text(); };
    // The program lives in the tray: closing its last window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
}

LinuxWindows::~LinuxWindows() = default;

void LinuxWindows::settle() {
    if (services_.settle_settings_file) services_.settle_settings_file();
}

void LinuxWindows::open_settings() {
    if (!settings_) {
        settings_ = std::make_unique<SettingsWindow>(
            services_.store, services_.login_item, services_.permission, services_.trust,
            SettingsWindowActions{
                .open_buttons = [this] { open_buttons(); },
                .open_setup = [this] { open_setup(); },
                .open_privacy_settings = [this] { open_input_settings(); },
                .open_config_file = [this] { open_config_file(); },
            });
        if (on_settings_built) on_settings_built(*settings_);
    }
    settle();
    settings_->open();
}

void LinuxWindows::open_buttons() {
    if (!buttons_) buttons_ = std::make_unique<ButtonsWindow>(services_.store);
    settle();
    buttons_->open();
}

void LinuxWindows::open_setup() {
    if (!setup_) {
        setup_ = std::make_unique<SetupWindow>(
            services_.app_dir, services_.login_item, services_.permission, services_.trust,
            SetupWindowSources{services_.controller_name, services_.battery_text},
            SetupWindowActions{
                .open_input_settings = [this] { open_input_settings(); },
                .open_bluetooth = [this] { open_bluetooth(); },
                .restart = [this] { restart(); },
            });
        if (on_setup_built) on_setup_built(*setup_);
    }
    setup_->open();
}

void LinuxWindows::run_startup_check() {
    if (setup_startup_check(services_.permission.granted(), services_.trust, services_.app_dir))
        open_setup();
}

void LinuxWindows::open_input_settings() {
    // Posting input on X11 needs no grant the user could give in a settings panel; asking lets
    // a platform that does have one show its prompt.
    services_.permission.request();
}

void LinuxWindows::open_bluetooth() {
    if (auto started = services_.desktop.start_shell(kBluetoothCommand, "thumbrover"); !started)
        diag("could not open the Bluetooth settings: " + started.error());
}

void LinuxWindows::open_config_file() {
    open_with_system(services_.desktop, config_path(services_.app_dir).string());
}

void LinuxWindows::restart() {
    restart_program(services_.desktop, services_.engine);
}

namespace {

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
          }),
          listener_([this] {
              windows_.open_settings();
              // The main tick may be asleep; the window's live rows want it.
              wake_user_interface();
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
    LinuxWindows windows_;
    SettingsRequestListener listener_;
};

}  // namespace

std::unique_ptr<ShellWindows> make_linux_windows(ShellServices& services) {
    return std::make_unique<AppWindows>(services);
}

}  // namespace thumbrover
