#include "core/app/application.hpp"

#include <chrono>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <utility>

#include "core/common/diag.hpp"
#include "core/common/steps.hpp"
#include "core/common/thread_name.hpp"
#include "core/engine/engine_loop.hpp"
#include "core/settings/app_folder.hpp"
#include "core/settings/config_file.hpp"

namespace thumbrover {
namespace {

[[noreturn]] void fatal(std::string_view message) {
    diag(message);
    std::abort();
}

// The tick's controller step while the reader's thread reads the controller.
class ReadElsewhere final : public ControllerPollStep {
  public:
    void poll_controller() override {}
    [[nodiscard]] bool has_controller() const override { return false; }
    [[nodiscard]] bool needs_ticks() const override { return false; }
};

// Demonstrations and tests must not reach the network, so there the release check is absent.
class NoUpdateCheck final : public UpdateStep {
  public:
    void advance_update() override {}
};

}  // namespace

class Application::StartupCheckOrReport final : public StartupCheck {
  public:
    StartupCheckOrReport(InputPermission& permission, const PermissionWording& wording)
        : permission_(permission), wording_(wording) {}
    void set(ShellWindows* windows) { windows_ = windows; }
    void run_startup_check() override {
        if (windows_ != nullptr) {
            windows_->run_startup_check();
            return;
        }
        // Without a Setup window there is nothing to open, but the line still tells whether
        // input can be posted at all.
        diag(permission_.granted() ? wording_.log_granted : wording_.log_missing);
    }

  private:
    InputPermission& permission_;
    const PermissionWording& wording_;
    ShellWindows* windows_ = nullptr;
};

void perform_menu_action(MenuAction action, const MenuTargets& targets) {
    switch (action) {
        case MenuAction::Toggle:
            targets.engine.send_toggle();
            break;
        case MenuAction::Quit:
            // The engine ends the process; the user interface never does.
            targets.engine.send_quit();
            break;
        case MenuAction::OpenSettings:
            if (targets.windows != nullptr) targets.windows->open_settings();
            break;
        case MenuAction::OpenButtons:
            if (targets.windows != nullptr) targets.windows->open_buttons();
            break;
        case MenuAction::OpenSetup:
            if (targets.windows != nullptr) targets.windows->open_setup();
            break;
        case MenuAction::OpenUpdate:
            if (targets.update != nullptr) open_update(*targets.update, targets.desktop);
            break;
        case MenuAction::None:
            break;
    }
    // A window that opened wants the main tick for its live rows.
    wake_user_interface();
}

Application::Application(AppPorts ports, const ShellOptions& options, MainLoop loop)
    : ports_(ports),
      options_(options),
      loop_(std::move(loop)),
      dir_(options.app_dir.empty() ? app_dir() : options.app_dir),
      poll_(ports.gamepad),
      controller_news_(std::make_shared<ControllerNewsBox>()),
      circle_(ports.overlay, ports.cursor, steady_clock()) {
    if (options_.check_for_updates) {
        update_check_ = std::make_unique<UpdateCheck>(
            UpdateCheckDeps{.state_file = dir_ / update_state_file_name,
                            .clock = nullptr,
                            .wall_now = {},
                            .fetch = {},
                            .start_thread = {}});
        // The engine reads the file on its own thread; this needs only the one switch, before
        // the first tick could start a check.
        update_check_->set_enabled(load_config(config_path(dir_)).check_for_updates);
    } else {
        no_update_check_ = std::make_unique<NoUpdateCheck>();
    }
}

Application::~Application() {
    if (engine_thread_.joinable() || reader_thread_.joinable()) (void)finish();
}

void Application::perform(MenuAction action) {
    perform_menu_action(action,
                        MenuTargets{engine_, windows_.get(), update_check_.get(), ports_.desktop});
}

void Application::tray_missing() {
    if (windows_) windows_->open_settings_without_tray();
    wake_user_interface();
}

std::optional<UpdateOffer> Application::update_offer() {
    if (!update_check_) return std::nullopt;
    return update_check_->current_offer();
}

void Application::start(MenuRefresh& menu) {
    UpdateStep& update_step =
        update_check_ ? static_cast<UpdateStep&>(*update_check_) : *no_update_check_;
    startup_ = std::make_unique<StartupCheckOrReport>(ports_.permission, options_.wording);
    // Controllers are read on a thread of their own when the service announces news. A service
    // that cannot announce (and may want its main thread) is polled by the tick, as before.
    const bool announcing =
        ports_.gamepad.watch([news = controller_news_](ControllerNews n) { news->post(n); });
    ControllerPollStep* controller_step = &poll_;
    if (announcing) {
        reader_ = std::make_unique<ControllerReader>(
            poll_, *controller_news_, true,
            ControllerReaderDeps{steady_clock(), [](std::chrono::nanoseconds d) {
                                     std::this_thread::sleep_for(d);
                                 }});
        read_elsewhere_ = std::make_unique<ReadElsewhere>();
        controller_step = read_elsewhere_.get();
        try {
            reader_thread_ = std::thread([this] {
                name_this_thread("controller");
                reader_->run();
            });
        } catch (const std::system_error&) {
            fatal("failed to spawn thread");
        }
    }
    tick_ = std::make_unique<MainTick>(
        TickParts{*startup_, *controller_step, update_step, menu, circle_}, steady_clock());
    services_ = std::make_unique<ShellServices>(
        ShellServices{engine_, ports_.login_item, ports_.desktop, ports_.permission, *tick_, dir_,
                      circle_, ports_.notifier, [this](bool on) {
                          if (update_check_) update_check_->set_enabled(on);
                      }});
    if (options_.make_windows) windows_ = options_.make_windows(*services_);
    startup_->set(windows_.get());

    // The engine ends the program: when its body returns, the event loop is asked to stop with
    // its exit status. The thread is joined in `finish` only after that request, its last act.
    try {
        engine_thread_ = std::thread([this, end = loop_.end] {
            name_this_thread("engine");
            EngineOptions engine_options;
            engine_options.app_dir = dir_;
            if (options_.lock) engine_options.lock = std::move(*options_.lock);
            const int status = run_engine(ports_.engine, std::move(engine_options));
            reached_step("engine ended");
            engine_status_ = status;
            // A start failure's notification must leave before the process does.
            ports_.notifier.flush();
            loop_.post([end, status] { end(status); });
        });
    } catch (const std::system_error&) {
        fatal("failed to spawn thread");
    }
    reached_step("engine thread started");
}

int Application::finish() {
    // Normally the loop ended because the engine did. When something else ended it (the session
    // closing), the engine is told to finish too, so it still lets go of every held button and
    // key before the process ends.
    quit_flag().store(true);
    engine_.send_quit();
    if (engine_thread_.joinable()) engine_thread_.join();
    if (reader_thread_.joinable()) {
        controller_news_->post(ControllerNews::Stop);
        reader_thread_.join();
    }
    reached_step("engine thread joined");
    // The process may end without destroying the application: no curl is left behind.
    if (update_check_) update_check_->stop();
    // The loop no longer ticks: put the arrow back and take the ring away ourselves.
    circle_.update_circle(false);
    return engine_status_.load();
}

}  // namespace thumbrover
