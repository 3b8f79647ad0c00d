#include "core/engine/engine_loop.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <string>
#include <utility>
#include <variant>

#include "core/common/diag.hpp"
#include "core/common/files.hpp"
#include "core/controller/engine_events.hpp"
#include "core/settings/app_folder.hpp"
#include "core/settings/config_file.hpp"

namespace thumbrover {
namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

extern "C" void on_quit_signal(int /*signal*/) {
    quit_flag().store(true);
}

}  // namespace

EngineLoop::EngineLoop(LoopPorts ports, EngineState state, const std::filesystem::path& app_dir,
                       FeedbackSender feedback, std::shared_ptr<EngineLink> link)
    : ports_(std::move(ports)),
      state_(std::move(state)),
      enabled_file_(app_dir / "enabled"),
      feedback_(std::move(feedback)),
      link_(std::move(link)),
      enabled_(state_.enabled) {}

EngineTime EngineLoop::wait_time() const {
    return connected_ && enabled_ ? kActiveWait : kIdleWait;
}

EngineTime EngineLoop::wait_time(EngineTime now) const {
    const EngineTime wait = wait_time();
    if (wait != kActiveWait || now < last_loop_tick_) return wait;
    const EngineTime due = last_loop_tick_ + kTickInterval - now;
    return std::clamp(due, EngineTime{0}, wait);
}

void EngineLoop::perform(CommandList commands) {
    if (commands.empty()) return;
    ExecutorContext context{.output = ports_.output,
                            .desktop = ports_.desktop,
                            .enabled = enabled_,
                            .enabled_file = enabled_file_,
                            .feedback = feedback_,
                            .link = link_.get()};
    run_commands(commands, context);
}

bool EngineLoop::pass(std::optional<EngineMessage> message, EngineTime now) {
    if (message) {
        bool quit = false;
        std::visit(Overloaded{
                       [&](const InputEvent& event) { perform(handle_input(state_, event, now)); },
                       [&](const ConnectedMessage& m) {
                           connected_ = m.connected;
                           link_->set_connected(m.connected);
                           battery_low_notified_ = false;
                           next_battery_check_ = now;
                       },
                       [&](ConfigChangedMessage& m) {
                           // Held buttons keep the actions they started with; only the record
                           // changes.
                           if (m.config) state_.config = std::move(*m.config);
                       },
                       [&](const QuitMessage&) { quit = true; },
                   },
                   message->payload);
        if (quit) return false;
    }
    if (now >= last_loop_tick_ && now - last_loop_tick_ >= kTickInterval) {
        perform(tick(state_, now));
        last_loop_tick_ = now;
    }
    battery_watch(now);
    return true;
}

void EngineLoop::battery_watch(EngineTime now) {
    if (!connected_ || now < next_battery_check_) return;
    std::optional<std::string> text = ports_.battery_text();
    const bool low = text == "Low";
    if (low && !battery_low_notified_) ports_.notifier.notify(kBatteryLowHeading, kBatteryLowBody);
    battery_low_notified_ = low;
    link_->set_battery(std::move(text));
    next_battery_check_ =
        now > EngineTime::max() - kBatteryInterval ? EngineTime::max() : now + kBatteryInterval;
}

void EngineLoop::finish() {
    perform(release_all(state_));
    steering_circle_visible().store(false);
}

Result<void> install_quit_signals() {
    struct sigaction action {};
    action.sa_handler = on_quit_signal;
    sigemptyset(&action.sa_mask);
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        if (::sigaction(signal_number, &action, nullptr) != 0) {
            return Error{"could not register the quit signals: " + errno_text(errno)};
        }
    }
    return {};
}

int run_engine(EnginePorts& ports, EngineOptions options) {
    const std::filesystem::path& dir = options.app_dir;
    const EngineCells& cells = options.cells;
    Notifier& notifier = ports.notifier();
    const auto fail = [&](const std::string& error) {
        diag(error);
        notifier.notify(kCouldNotStart, error);
        return 1;
    };

    if (auto made = create_app_dir(dir); !made) return fail(made.error());
    Result<InstanceLock> lock =
        options.lock ? Result<InstanceLock>(std::move(*options.lock)) : InstanceLock::acquire(dir);
    if (!lock) return fail(lock.error());
    remove_stale_saves(dir);

    Config config = load_config_at_start(
        config_path(dir), [&notifier](const std::string& heading, const std::string& body) {
            notifier.notify(heading, body);
        });
    steering_circle_visible().store(false);
    cells.set_circle_scale(config.circle_scale);
    const bool enabled = read_enabled(dir);

    // A quit asked for before this point (the session ending while the program starts) still
    // counts: the shell may already be waiting for this thread to end.
    if (auto installed = install_quit_signals(); !installed) return fail(installed.error());

    // The loop keeps `sender` for its whole life, so the channel never runs out of senders.
    auto [sender, receiver] = make_channel<EngineMessage>();
    auto output = ports.create_event_output();
    if (!output) return fail(output.error());
    const std::unique_ptr<EventOutput> event_output = std::move(output).value();
    const std::unique_ptr<DesktopActions> desktop = ports.create_desktop_actions();
    auto [feedback_sender, feedback_receiver] = make_channel<FeedbackRequest>();
    cells.publish_controller_link(make_controller_link(sender, std::move(feedback_receiver)));
    cells.start_mouse_watcher(ports.create_mouse_source(), sender);
    auto link = std::make_shared<EngineLink>(sender, enabled);
    cells.publish_engine_link(link);

    EngineLoop loop(LoopPorts{*event_output, *desktop, notifier, cells.battery_text},
                    EngineState(std::move(config), enabled), dir, std::move(feedback_sender),
                    std::move(link));
    const Clock& clock = *options.clock;
    const auto zero = clock.now();
    while (!quit_flag().load()) {
        const auto before = clock.now() - zero;
        auto message = receiver.recv_for(loop.wait_time(before));
        const auto elapsed = clock.now() - zero;
        if (!loop.pass(std::move(message), elapsed < EngineTime{0} ? EngineTime{0} : elapsed)) {
            break;
        }
    }
    loop.finish();
    return 0;
}

}  // namespace thumbrover
