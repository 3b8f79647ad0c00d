#include "core/engine/engine_loop.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <algorithm>
#include <array>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <variant>

#include "core/common/diag.hpp"
#include "core/common/files.hpp"
#include "core/common/steps.hpp"
#include "core/common/thread_name.hpp"
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

// The pipe through which a quit signal wakes the engine. A signal handler may only write, and the
// engine's wait listens to its channel alone, possibly without a timeout. Made once and never
// closed: a handler may run at any moment until the process has ended, and a closed descriptor's
// number could by then belong to another file.
struct QuitPipe {
    int read_end = -1;
    int write_end = -1;
};

std::atomic<int> quit_pipe_write{-1};

extern "C" void on_quit_signal(int /*signal*/) {
    request_quit();
}

Result<QuitPipe> quit_pipe() {
    static std::mutex mutex;
    static QuitPipe made;
    const std::lock_guard lock(mutex);
    if (made.read_end >= 0) return made;
    int fds[2] = {-1, -1};
    if (::pipe(fds) != 0) return Error{errno_text(errno)};
    UniqueFd read_end(fds[0]);
    UniqueFd write_end(fds[1]);
    for (const int fd : fds) {
        if (::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) return Error{errno_text(errno)};
        // Neither a handler's write nor the waker's drain may ever block.
        if (::fcntl(fd, F_SETFL, O_NONBLOCK) != 0) return Error{errno_text(errno)};
    }
    made = QuitPipe{read_end.release(), write_end.release()};
    quit_pipe_write.store(made.write_end);
    return made;
}

// Turns a byte in the quit pipe into a `Quit` message for the running engine. Its thread blocks
// in `poll` and costs nothing until a signal comes; it belongs to one run of the engine, which
// stops and joins it as it ends. A signal before it starts or after it ends only sets the flag,
// which the loop reads before every wait.
class QuitSignalWaker {
  public:
    static Result<std::unique_ptr<QuitSignalWaker>> start(EngineSender target) {
        auto pipe = quit_pipe();
        if (!pipe) return Error{pipe.error()};
        // A byte left from before this run (an earlier run's signal that came as it ended) would
        // end this one at once; a quit asked for before now is in the flag, which the loop reads
        // before it first waits.
        char stale[16];
        while (::read(pipe->read_end, stale, sizeof stale) > 0) {
        }
        int fds[2] = {-1, -1};
        if (::pipe(fds) != 0) return Error{errno_text(errno)};
        UniqueFd stop_read(fds[0]);
        UniqueFd stop_write(fds[1]);
        std::unique_ptr<QuitSignalWaker> waker(
            new QuitSignalWaker(pipe->read_end, std::move(stop_read), std::move(stop_write)));
        try {
            waker->thread_ = std::thread([w = waker.get(), to = std::move(target)] { w->run(to); });
        } catch (const std::system_error&) {
            diag("failed to spawn thread");
            std::abort();
        }
        return waker;
    }

    ~QuitSignalWaker() {
        const char byte = 1;
        // Nothing else writes to this pipe, so the byte always fits.
        while (::write(stop_write_.get(), &byte, 1) < 0 && errno == EINTR) {
        }
        thread_.join();
    }
    QuitSignalWaker(const QuitSignalWaker&) = delete;
    QuitSignalWaker& operator=(const QuitSignalWaker&) = delete;

  private:
    QuitSignalWaker(int quit_read, UniqueFd stop_read, UniqueFd stop_write)
        : quit_read_(quit_read),
          stop_read_(std::move(stop_read)),
          stop_write_(std::move(stop_write)) {}

    void run(const EngineSender& target) const {
        name_this_thread("signals");
        for (;;) {
            std::array<pollfd, 2> fds{{{quit_read_, POLLIN, 0}, {stop_read_.get(), POLLIN, 0}}};
            if (::poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents != 0) return;
            if (fds[0].revents == 0) continue;
            char bytes[16];
            // Non-blocking: a byte another run's waker took is simply not there.
            while (::read(quit_read_, bytes, sizeof bytes) > 0) {
            }
            target.send(EngineMessage::quit());
        }
    }

    int quit_read_;
    UniqueFd stop_read_;
    UniqueFd stop_write_;
    std::thread thread_;
};

}  // namespace

EngineLoop::EngineLoop(LoopPorts ports, EngineState state, const std::filesystem::path& app_dir,
                       FeedbackSender feedback, std::shared_ptr<EngineLink> link)
    : ports_(std::move(ports)),
      state_(std::move(state)),
      feedback_(std::move(feedback)),
      link_(std::move(link)),
      enabled_(state_.enabled),
      executor_{.output = ports_.output,
                .desktop = ports_.desktop,
                .enabled = enabled_,
                .enabled_file = app_dir / "enabled",
                .feedback = feedback_,
                .link = link_.get()} {}

std::optional<EngineTime> EngineLoop::wait_time(EngineTime now) const {
    std::optional<EngineTime> wait;
    const auto until = [&](EngineTime due) {
        const EngineTime left = due > now ? due - now : EngineTime{0};
        if (!wait || left < *wait) wait = left;
    };
    // A clock that went backwards waits one interval, as a tick would be due no sooner.
    const EngineTime next_tick =
        now < last_loop_tick_ ? now + kTickInterval : last_loop_tick_ + kTickInterval;
    if (sticks_move(state_)) {
        until(next_tick);
    } else if (const std::optional<EngineTime> timer = next_timer(state_)) {
        until(std::max(*timer, next_tick));
    }
    if (connected_) until(next_battery_check_);
    if (wait && *wait > kLongestWait) wait = kLongestWait;
    return wait;
}

bool sticks_move(const EngineState& state) {
    if (!state.enabled) return false;
    const Config& c = state.config;
    const auto moves = [&state](StickRole role, std::size_t stick) {
        if (role == StickRole::None) return false;
        const Vec2 v = state.shaped(stick);
        return v.x != 0.0f || v.y != 0.0f;
    };
    return moves(c.left_stick, 0) || moves(c.right_stick, 1);
}

std::optional<EngineTime> next_timer(const EngineState& state) {
    std::optional<EngineTime> next;
    const auto at = [&next](EngineTime since, EngineTime span) {
        const EngineTime due = since > EngineTime::max() - span ? EngineTime::max() : since + span;
        if (!next || due < *next) next = due;
    };
    const Config& c = state.config;
    if (state.xbox_press && !state.xbox_hold_fired) {
        at(*state.xbox_press, ms_to_engine_time(c.xbox_hold_ms));
    }
    if (!state.enabled) return next;
    for (std::size_t i = 0; i < kButtonCount; ++i) {
        if (state.press_time[i]) at(*state.press_time[i], ms_to_engine_time(c.hold_ms));
        if (state.repeat_time[i] && state.held_action[i]) at(*state.repeat_time[i], EngineTime{0});
    }
    if (state.switcher_deadline) at(*state.switcher_deadline, EngineTime{0});
    if (state.circle_shown) at(state.last_motion, ms_to_engine_time(c.steering_idle_ms));
    return next;
}

bool ticks_have_work(const EngineState& state) {
    return sticks_move(state) || next_timer(state).has_value();
}

void EngineLoop::perform(CommandList commands) {
    if (!commands.empty()) run_commands(commands, executor_);
    // The next tick's commands go into the same storage instead of a new allocation, also when
    // this operation emitted nothing (a stick's new value taken up before the tick).
    if (state_.pending.empty() && commands.capacity() > state_.pending.capacity()) {
        commands.clear();
        state_.pending.swap(commands);
    }
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
                           if (m.config) change_settings(state_, std::move(*m.config));
                           show_profile();
                       },
                       [&](FrontAppMessage& m) {
                           change_front_app(state_, std::move(m.app_id));
                           show_profile();
                       },
                       [&](const QuitMessage&) { quit = true; },
                   },
                   message->payload);
        if (quit) return false;
    }
    const bool interval_passed = now >= last_loop_tick_ && now - last_loop_tick_ >= kTickInterval;
    // While steering, the sticks' latest values are read here rather than sent by every report.
    if (interval_passed && sticks_move(state_)) take_up_controller(now);
    if (sticks_move(state_)) {
        if (interval_passed) {
            // The first tick after a pause moves for one interval, not for the whole pause
            // (which the step cap would still make a visible jump): motion starts as it does
            // between ticks.
            if (paused_ && now >= kTickInterval &&
                (!state_.last_tick || now - *state_.last_tick > kTickInterval)) {
                state_.last_tick = now - kTickInterval;
            }
            paused_ = false;
            perform(tick(state_, now));
            last_loop_tick_ = now;
        }
    } else {
        paused_ = true;
        // At rest, a tick only serves a timer, when it is due.
        if (const std::optional<EngineTime> timer = next_timer(state_);
            timer && now >= *timer && interval_passed) {
            perform(tick(state_, now));
            last_loop_tick_ = now;
        }
    }
    battery_watch(now);
    if (ports_.controller != nullptr) ports_.controller->set_steering(sticks_move(state_));
    return true;
}

void EngineLoop::show_profile() {
    const AppProfile* app = find_app_profile(state_.settings, state_.front_app);
    link_->set_profile(app != nullptr && !state_.front_app.empty()
                           ? std::optional<std::string>(app->name)
                           : std::nullopt);
}

void EngineLoop::take_up_controller(EngineTime now) {
    if (ports_.controller == nullptr) return;
    sampled_.events.clear();
    if (!ports_.controller->sample(sampled_, ports_.nothing_waiting)) return;
    for (const InputEvent& event : sampled_.events)
        perform(handle_input(state_, event, now));
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
    if (ports_.controller != nullptr) ports_.controller->set_steering(false);
    perform(release_all(state_));
    steering_circle_visible().store(false);
}

void request_quit() noexcept {
    quit_flag().store(true);
    const int saved_errno = errno;
    if (const int fd = quit_pipe_write.load(); fd >= 0) {
        const char byte = 1;
        // A full pipe already holds a wake-up; the flag is set either way.
        [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
    }
    errno = saved_errno;
}

Result<void> install_quit_signals() {
    if (auto pipe = quit_pipe(); !pipe) {
        return Error{"could not register the quit signals: " + pipe.error()};
    }
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
        // A quit asked for during the start (a signal, the display gone) is what made it fail,
        // or makes its failure moot: the program ends as a quit does.
        if (quit_flag().load()) return 0;
        diag(error);
        notifier.notify(kCouldNotStart, error);
        return 1;
    };

    // First of all: until the handlers are in place, a quit signal ends the process by the
    // system's default action, in the middle of the start (the session ending while the program
    // starts, or reading a slow settings file). Once they are, a quit asked for at any point of
    // the start still counts: the loop below is never entered, and the shell may already be
    // waiting for this thread to end.
    if (auto installed = install_quit_signals(); !installed) return fail(installed.error());
    reached_step("engine started");

    if (auto made = create_app_dir(dir); !made) return fail(made.error());
    Result<InstanceLock> lock =
        options.lock ? Result<InstanceLock>(std::move(*options.lock)) : InstanceLock::acquire(dir);
    if (!lock) return fail(lock.error());
    remove_stale_saves(dir);
    reached_step("engine took the lock");

    Config config = load_config_at_start(
        config_path(dir), [&notifier](const std::string& heading, const std::string& body) {
            notifier.notify(heading, body);
        });
    steering_circle_visible().store(false);
    cells.set_circle_scale(config.circle_scale);
    const bool enabled = read_enabled(dir);
    reached_step("engine read its settings");

    // The loop keeps `sender` for its whole life, so the channel never runs out of senders.
    auto [sender, receiver] = make_channel<EngineMessage>();
    auto waker = QuitSignalWaker::start(sender);
    if (!waker) return fail("could not register the quit signals: " + waker.error());
    // Stopped and joined when this function returns, before the channel goes.
    const std::unique_ptr<QuitSignalWaker> signals = std::move(waker).value();
    auto output = ports.create_event_output();
    if (!output) return fail(output.error());
    const std::unique_ptr<EventOutput> event_output = std::move(output).value();
    reached_step("engine made its output");
    const std::unique_ptr<DesktopActions> desktop = ports.create_desktop_actions();
    auto [feedback_sender, feedback_receiver] = make_channel<FeedbackRequest>();
    const std::shared_ptr<ControllerLink> controller_link =
        make_controller_link(sender, std::move(feedback_receiver));
    cells.publish_controller_link(controller_link);
    // Stopped and waited for before the event output closes its connection (declared after it,
    // so destroyed first): the two must not close at the same time.
    const std::unique_ptr<MouseWatcherThread> watcher =
        cells.start_mouse_watcher(ports.create_mouse_source(), sender);
    reached_step("engine started the mouse watcher");
    // Reports through a sender of its own, so that what it reports after the loop has ended is
    // only left unread; it stops when this function returns.
    const std::unique_ptr<FrontAppWatcher> front_apps = ports.create_front_app_watcher();
    front_apps->watch([to_engine = sender](std::string app_id) {
        static_cast<void>(to_engine.send(EngineMessage::front_app(std::move(app_id))));
    });
    auto link = std::make_shared<EngineLink>(sender, enabled);
    cells.publish_engine_link(link);
    reached_step("engine published its link");

    EngineLoop loop(
        LoopPorts{*event_output, *desktop, notifier, cells.battery_text, controller_link.get(),
                  [queue = &receiver] { return queue->empty(); }},
        EngineState(std::move(config), enabled), dir, std::move(feedback_sender), std::move(link));
    const Clock& clock = *options.clock;
    const auto zero = clock.now();
    while (!quit_flag().load()) {
        const auto before = clock.now() - zero;
        auto message =
            receiver.recv(loop.wait_time(before < EngineTime{0} ? EngineTime{0} : before));
        const auto elapsed = clock.now() - zero;
        if (!loop.pass(std::move(message), elapsed < EngineTime{0} ? EngineTime{0} : elapsed)) {
            break;
        }
    }
    reached_step("engine loop ended");
    loop.finish();
    reached_step("engine let go");
    return 0;
}

}  // namespace thumbrover
