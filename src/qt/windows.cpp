#include "qt/windows.hpp"

#include <QApplication>
#include <utility>

#include "core/common/diag.hpp"
#include "core/controller/slots.hpp"
#include "core/services/services.hpp"
#include "core/settings/config_file.hpp"
#include "core/ui/app_settings_effects.hpp"
#include "core/ui/setup_window.hpp"
#include "qt/buttons_window.hpp"
#include "qt/settings_window.hpp"
#include "qt/setup_window.hpp"
#include "qt/window_widgets.hpp"

namespace thumbrover {

QtWindows::QtWindows(WindowServices services) : services_(std::move(services)) {
    if (!services_.controller_name) services_.controller_name = [] { return controller_name(); };
    if (!services_.battery_text) services_.battery_text = [] { return battery_text(); };
    // The program lives in the tray: closing its last window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
}

QtWindows::~QtWindows() = default;

void QtWindows::settle() {
    if (services_.settle_settings_file) services_.settle_settings_file();
}

void QtWindows::open_settings() {
    if (!settings_) {
        settings_ = std::make_unique<SettingsWindow>(
            services_.store, services_.login_item, services_.permission, services_.trust,
            SettingsWindowActions{
                .open_buttons = [this] { open_buttons(); },
                .open_setup = [this] { open_setup(); },
                .open_privacy_settings = [this] { open_input_settings(); },
                .open_config_file = [this] { open_config_file(); },
            },
            services_.wording);
        settings_->set_ring_unavailable(!services_.shows_ring);
        add_window_shortcuts(*settings_, [this] { services_.engine.send_quit(); });
        if (on_settings_built) on_settings_built(*settings_);
    }
    settle();
    settings_->open();
}

void QtWindows::open_buttons() {
    if (!buttons_) {
        buttons_ = std::make_unique<ButtonsWindow>(services_.store, services_.unshifted_key,
                                                   services_.offered);
        add_window_shortcuts(*buttons_, [this] { services_.engine.send_quit(); });
    }
    settle();
    buttons_->open();
}

void QtWindows::open_setup() {
    if (!setup_) {
        setup_ = std::make_unique<SetupWindow>(
            services_.app_dir, services_.login_item, services_.permission, services_.trust,
            SetupWindowSources{services_.controller_name, services_.battery_text},
            SetupWindowActions{
                .open_input_settings = [this] { open_input_settings(); },
                .open_bluetooth = [this] { open_bluetooth(); },
                .restart = [this] { restart(); },
            },
            services_.wording);
        add_window_shortcuts(*setup_, [this] { services_.engine.send_quit(); });
        if (on_setup_built) on_setup_built(*setup_);
    }
    setup_->open();
}

void QtWindows::run_startup_check() {
    if (setup_startup_check(services_.permission.granted(), services_.trust, services_.app_dir,
                            services_.wording))
        open_setup();
}

void QtWindows::open_input_settings() {
    // Posting input on X11 needs no grant the user could give in a settings panel; asking lets
    // a platform that does have one show its prompt.
    if (services_.input_settings_pane.empty()) {
        services_.permission.request();
        return;
    }
    open_input_permission_action(services_.permission, services_.desktop,
                                 services_.input_settings_pane);
}

void QtWindows::open_bluetooth() {
    if (auto started = services_.desktop.start_shell(services_.bluetooth_command, "thumbrover");
        !started)
        diag("could not open the Bluetooth settings: " + started.error());
}

void QtWindows::open_config_file() {
    open_with_system(services_.desktop, config_path(services_.app_dir).string());
}

void QtWindows::restart() {
    restart_program(services_.desktop, services_.engine);
}

namespace {

class AppWindows final : public ShellWindows {
  public:
    AppWindows(ShellServices& services, PlatformWindows platform)
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
              .bluetooth_command = std::move(platform.bluetooth_command),
              .unshifted_key = std::move(platform.unshifted_key),
              .wording = platform.wording,
              .offered = platform.offered,
              .input_settings_pane = std::move(platform.input_settings_pane),
              .shows_ring = platform.shows_ring,
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

std::unique_ptr<ShellWindows> make_app_windows(ShellServices& services, PlatformWindows platform) {
    return std::make_unique<AppWindows>(services, std::move(platform));
}

}  // namespace thumbrover
