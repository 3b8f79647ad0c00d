#include "core/engine/engine_loop.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <string>
#include <utility>
#include <variant>

#include "core/common/diag.hpp"
#include "core/common/files.hpp"
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

EngineLoop::EngineLoop(EngineHost& host, EngineState state, std::filesystem::path app_dir,
                       FeedbackSender feedback, std::shared_ptr<EngineLink> link)
    : host_(host),
      state_(std::move(state)),
      app_dir_(std::move(app_dir)),
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
    PerformContext context{enabled_, app_dir_, feedback_, *link_};
    host_.run_commands(std::move(commands), context);
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
    std::optional<std::string> text = host_.battery_text();
    const bool low = text == "Low";
    if (low && !battery_low_notified_) host_.notify(kBatteryLowHeading, kBatteryLowBody);
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

int run_engine(EngineHost& host, EngineOptions options) {
    const std::filesystem::path& dir = options.app_dir;
    const auto fail = [&](const std::string& error) {
        diag(error);
        host.notify(kCouldNotStart, error);
        return 1;
    };

    if (auto made = create_app_dir(dir); !made) return fail(made.error());
    Result<InstanceLock> lock =
        options.lock ? Result<InstanceLock>(std::move(*options.lock)) : InstanceLock::acquire(dir);
    if (!lock) return fail(lock.error());

    Config config = load_config_at_start(
        config_path(dir), [&host](const std::string& heading, const std::string& body) {
            host.notify(heading, body);
        });
    steering_circle_visible().store(false);
    host.set_circle_scale(config.circle_scale);
    const bool enabled = read_enabled(dir);

    // A quit asked for before this point (the session ending while the program starts) still
    // counts: the shell may already be waiting for this thread to end.
    if (auto installed = install_quit_signals(); !installed) return fail(installed.error());

    // The loop keeps `sender` for its whole life, so the channel never runs out of senders.
    auto [sender, receiver] = make_channel<EngineMessage>();
    if (auto output = host.create_event_output(); !output) return fail(output.error());
    auto [feedback_sender, feedback_receiver] = make_channel<FeedbackRequest>();
    host.publish_controller_link(sender, std::move(feedback_receiver));
    host.start_mouse_watcher(sender);
    auto link = std::make_shared<EngineLink>(sender, enabled);
    host.publish_engine_link(link);

    EngineLoop loop(host, EngineState(std::move(config), enabled), dir, std::move(feedback_sender),
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
