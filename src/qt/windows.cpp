#include "qt/windows.hpp"

#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <utility>

#include "core/common/diag.hpp"
#include "core/controller/slots.hpp"
#include "core/services/services.hpp"
#include "core/settings/config_file.hpp"
#include "core/ui/app_settings_effects.hpp"
#include "core/ui/file_banner.hpp"
#include "core/ui/setup_window.hpp"
#include "qt/buttons_window.hpp"
#include "qt/file_banner.hpp"
#include "qt/settings_file_watch.hpp"
#include "qt/settings_window.hpp"
#include "qt/setup_window.hpp"
#include "qt/window_widgets.hpp"

namespace thumbrover {

QtWindows::QtWindows(WindowServices services) : services_(std::move(services)) {
    if (!services_.controller_name) services_.controller_name = [] { return controller_name(); };
    if (!services_.battery_text) services_.battery_text = [] { return battery_text(); };
    // The program lives in the tray: closing its last window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    services_.store.on_followed(
        [this](SettingsFollowed followed) { settings_file_followed(followed); });
}

void QtWindows::settings_file_followed(SettingsFollowed followed) {
    if (followed.settings) {
        if (settings_) settings_->refresh_sliders();
        if (buttons_) buttons_->refresh();
    }
    show_file_problem();
}

void QtWindows::show_file_problem() {
    const auto& problem = services_.store.file_problem();
    if (settings_banner_ != nullptr) settings_banner_->show_problem(problem);
    if (buttons_banner_ != nullptr) buttons_banner_->show_problem(problem);
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
        settings_banner_ = add_file_problem_banner(*settings_, [this] { open_config_file(); });
        no_tray_note_ = make_note(kNoTrayNote, 520, settings_.get());
        no_tray_note_->setObjectName(QStringLiteral("no_tray_note"));
        no_tray_note_->hide();
        if (auto* column = qobject_cast<QBoxLayout*>(settings_->layout()))
            column->insertWidget(0, no_tray_note_);
        add_window_shortcuts(*settings_, [this] { services_.engine.send_quit(); });
        if (on_settings_built) on_settings_built(*settings_);
    }
    settle();
    // Said once: an opening the user asked for needs no directions back.
    no_tray_note_->hide();
    settings_->open();
    show_file_problem();
}

void QtWindows::open_settings_without_tray() {
    open_settings();
    no_tray_note_->show();
}

void QtWindows::open_buttons() {
    if (!buttons_) {
        buttons_ = std::make_unique<ButtonsWindow>(services_.store, services_.unshifted_key,
                                                   services_.offered, services_.front_apps.get());
        buttons_banner_ = add_file_problem_banner(*buttons_, [this] { open_config_file(); });
        add_window_shortcuts(*buttons_, [this] { services_.engine.send_quit(); });
    }
    settle();
    buttons_->open();
    show_file_problem();
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

namespace {

// A failure the user caused by a click is shown where the click was, not only on standard error.
void show_failure(const std::string& title, const std::string& text) {
    QWidget* parent = QApplication::activeWindow();
    auto* box = new QMessageBox(QMessageBox::Warning, qt_text(title), qt_text(text),
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("failure_message"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->open();
}

// The programs the buttons start end on a reaping thread; what they say reaches the window on the
// main thread.
Desktop::Ended report_failure(std::string title, std::string text, int only_status) {
    return [title = std::move(title), text = std::move(text), only_status](int status) {
        if (status == 0 || (only_status >= 0 && status != only_status)) return;
        diag(text);
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr) return;
        QMetaObject::invokeMethod(
            app, [title, text] { show_failure(title, text); }, Qt::QueuedConnection);
    };
}

constexpr std::string_view kBluetoothFailed = "Bluetooth settings could not be opened";
constexpr std::string_view kOpenFileFailed = "The settings file could not be opened";

std::string with_help(std::string text, const std::string& help) {
    return help.empty() ? text : text + " " + help;
}

}  // namespace

void QtWindows::open_bluetooth() {
    auto started = services_.desktop.start_shell_then(
        services_.bluetooth_command, "thumbrover",
        report_failure(
            std::string(kBluetoothFailed),
            with_help("No program for the Bluetooth settings was found.", services_.bluetooth_help),
            services_.bluetooth_missing_status));
    if (!started) {
        diag("could not open the Bluetooth settings: " + started.error());
        show_failure(std::string(kBluetoothFailed),
                     "The Bluetooth settings could not be started: " + started.error() + ".");
    }
}

void QtWindows::open_config_file() {
    const std::string path = config_path(services_.app_dir).string();
    const std::string failed = "Nothing opened " + path + ".";
    auto opened = services_.desktop.open_then(
        path, report_failure(std::string(kOpenFileFailed),
                             with_help(failed, services_.open_file_help), -1));
    if (!opened) {
        diag("could not open " + path + ": " + opened.error());
        show_failure(std::string(kOpenFileFailed),
                     with_help("The program that opens files could not be started (" +
                                   opened.error() + "). Open " + path + " in a text editor.",
                               services_.open_file_help));
    }
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
              .bluetooth_missing_status = platform.bluetooth_missing_status,
              .bluetooth_help = std::move(platform.bluetooth_help),
              .open_file_help = std::move(platform.open_file_help),
              .unshifted_key = std::move(platform.unshifted_key),
              .wording = platform.wording,
              .offered = platform.offered,
              .input_settings_pane = std::move(platform.input_settings_pane),
              .shows_ring = platform.shows_ring,
              .front_apps = std::move(platform.front_apps),
          }) {
        MainTick& tick = services.tick;
        windows_.on_settings_built = [&tick](LiveWindow& window) {
            tick.settings_window_built(window);
        };
        windows_.on_setup_built = [&tick](LiveWindow& window) { tick.setup_window_built(window); };
        effects_.on_sent([set = services.set_update_checks](const Config& config) {
            if (set) set(config.check_for_updates);
        });
        // What the file holds now (the engine has read it and reported a mistake itself), then
        // every later save of it, by hand or by another program.
        store_.reload();
        watch_.emplace(config_path(services.app_dir), [this] { store_.follow_file(); });
    }
    ~AppWindows() override { effects_.flush(); }
    AppWindows(const AppWindows&) = delete;
    AppWindows& operator=(const AppWindows&) = delete;

    void open_settings() override { windows_.open_settings(); }
    void open_settings_without_tray() override { windows_.open_settings_without_tray(); }
    void open_buttons() override { windows_.open_buttons(); }
    void open_setup() override { windows_.open_setup(); }
    void run_startup_check() override { windows_.run_startup_check(); }

  private:
    AppSettingsEffects effects_;
    SettingsStore store_;
    QtWindows windows_;
    std::optional<SettingsFileWatch> watch_;
};

}  // namespace

std::unique_ptr<ShellWindows> make_app_windows(ShellServices& services, PlatformWindows platform) {
    return std::make_unique<AppWindows>(services, std::move(platform));
}

}  // namespace thumbrover
