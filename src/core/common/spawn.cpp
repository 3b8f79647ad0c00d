#include "core/common/spawn.hpp"
#include "core/common/stop_signal.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "core/common/child_exits.hpp"
#include "core/common/diag.hpp"
#include "core/common/files.hpp"
#include "core/common/numeric.hpp"
#include "core/common/thread_name.hpp"

extern char** environ;

namespace thumbrover {
namespace {

// Owner of a posix_spawn setup record, so that every early return destroys it.
template <class Record, int (*Init)(Record*), int (*Destroy)(Record*)>
class SpawnRecord {
  public:
    SpawnRecord() { ok_ = Init(&record_) == 0; }
    ~SpawnRecord() {
        if (ok_) Destroy(&record_);
    }
    SpawnRecord(const SpawnRecord&) = delete;
    SpawnRecord& operator=(const SpawnRecord&) = delete;

    [[nodiscard]] bool ok() const { return ok_; }
    Record* get() { return &record_; }

  private:
    Record record_{};
    bool ok_ = false;
};

using SpawnFileActions = SpawnRecord<posix_spawn_file_actions_t, &::posix_spawn_file_actions_init,
                                     &::posix_spawn_file_actions_destroy>;
using SpawnAttributes =
    SpawnRecord<posix_spawnattr_t, &::posix_spawnattr_init, &::posix_spawnattr_destroy>;

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Libraries linked into the program (toolkits, controller and display clients) may hold
// descriptors opened without close-on-exec; those must not leak into a child that outlives us,
// so each one is closed explicitly in the child. /dev/fd lists the open descriptors on every
// system this runs on.
int close_inherited_descriptors(posix_spawn_file_actions_t* actions) {
    std::unique_ptr<DIR, DirCloser> dir(::opendir("/dev/fd"));
    if (!dir) return 0;
    const int own_fd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name.empty() || name.front() < '0' || name.front() > '9') continue;
        const int fd = std::atoi(entry->d_name);
        if (fd <= STDERR_FILENO || fd == own_fd) continue;
        const int fd_flags = ::fcntl(fd, F_GETFD);
        if (fd_flags < 0 || (fd_flags & FD_CLOEXEC) != 0) continue;
        if (const int rc = ::posix_spawn_file_actions_addclose(actions, fd); rc != 0) return rc;
    }
    return 0;
}

// Every child starts with the default action for every signal and nothing blocked: the engine
// thread blocks signals and toolkits ignore SIGPIPE, and neither may reach a child.
int reset_signals(posix_spawnattr_t* attributes) {
    sigset_t empty_mask;
    sigset_t all_signals;
    // No `::`: macOS defines these two as macros.
    sigemptyset(&empty_mask);
    sigfillset(&all_signals);
    if (const int rc = ::posix_spawnattr_setsigmask(attributes, &empty_mask); rc != 0) return rc;
    if (const int rc = ::posix_spawnattr_setsigdefault(attributes, &all_signals); rc != 0)
        return rc;
    return ::posix_spawnattr_setflags(
        attributes, static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
}

// argv for posix_spawnp: the program's name, the arguments, a null pointer. Points into the
// strings given, which must outlive it.
std::vector<char*> argument_vector(const std::string& program,
                                   const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    return argv;
}

int exit_status_of(int wait_status) {
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return -1;
}

// The one waiter for every child started with spawn_detached. A thread of its own sleeps until
// one of them ends and reaps it; the process-wide object stops and joins it as the process ends.
// Children still running then keep running: they are the user's programs, and the system adopts
// them once we have gone.
class ChildReaper {
  public:
    static ChildReaper& instance() {
        static ChildReaper reaper;
        return reaper;
    }

    ~ChildReaper() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        exits_.wake();
        if (thread_.joinable()) thread_.join();
    }
    ChildReaper(const ChildReaper&) = delete;
    ChildReaper& operator=(const ChildReaper&) = delete;

    void adopt(pid_t pid, std::function<void(int)> on_exit) {
        {
            const std::lock_guard lock(mutex_);
            arrived_.push_back(Child{pid, std::move(on_exit), false});
            if (!thread_.joinable()) {
                try {
                    thread_ = std::thread([this] { run(); });
                } catch (const std::system_error&) {
                    diag("failed to spawn thread");
                    std::abort();
                }
            }
        }
        exits_.wake();
    }

  private:
    struct Child {
        pid_t pid;
        std::function<void(int)> on_exit;
        bool watched;
    };

    // A child the system cannot watch is looked at this often.
    static constexpr std::chrono::milliseconds kLookInterval{100};

    ChildReaper() = default;

    void run() {
        name_this_thread("reaper");
        std::vector<Child> children;
        for (;;) {
            {
                const std::lock_guard lock(mutex_);
                if (stopping_) return;
                for (Child& child : arrived_) {
                    child.watched = exits_.watch(child.pid);
                    children.push_back(std::move(child));
                }
                arrived_.clear();
            }
            std::erase_if(children, [this](const Child& child) { return reaped(child); });
            const bool look_again =
                !exits_.can_wake() || std::any_of(children.begin(), children.end(),
                                                  [](const Child& c) { return !c.watched; });
            exits_.wait(look_again ? std::optional(kLookInterval) : std::nullopt);
        }
    }

    // Whether the child has ended and been reaped, its callback told.
    bool reaped(const Child& child) {
        int status = 0;
        pid_t rc = 0;
        do {
            rc = ::waitpid(child.pid, &status, WNOHANG);
        } while (rc < 0 && errno == EINTR);
        if (rc == 0) return false;
        if (child.watched) exits_.forget(child.pid);
        // Anything but the child's own status (a process that sets SIGCHLD to be ignored has its
        // children reaped by the system) is reported as -1.
        if (child.on_exit) child.on_exit(rc == child.pid ? exit_status_of(status) : -1);
        return true;
    }

    std::mutex mutex_;
    std::vector<Child> arrived_;
    bool stopping_ = false;
    ChildExits exits_;
    std::thread thread_;
};

struct Pipe {
    UniqueFd read_end;
    UniqueFd write_end;
};

// A pipe whose ends are both above the standard descriptors and closed on exec, so that wiring
// them to 1 and 2 in the child can never overwrite one another, even in a process that runs
// with its standard descriptors closed.
Result<Pipe> make_pipe() {
    std::array<int, 2> fds{};
    // pipe and then close-on-exec, since macOS has no pipe2. Another thread that spawns in
    // between closes every inherited descriptor in its child (close_inherited_descriptors) once it
    // has listed them, so at worst a short-lived child it starts holds the write end a moment
    // longer, and the capture's time limit still ends the wait.
    if (::pipe(fds.data()) != 0) return Error{errno_text(errno)};
    std::array<UniqueFd, 2> ends{UniqueFd(fds[0]), UniqueFd(fds[1])};
    for (const UniqueFd& end : ends) {
        if (::fcntl(end.get(), F_SETFD, FD_CLOEXEC) != 0) return Error{errno_text(errno)};
    }
    for (UniqueFd& end : ends) {
        if (end.get() > STDERR_FILENO) continue;
        UniqueFd moved(::fcntl(end.get(), F_DUPFD_CLOEXEC, 3));
        if (!moved.valid()) return Error{errno_text(errno)};
        end = std::move(moved);
    }
    return Pipe{std::move(ends[0]), std::move(ends[1])};
}

// Records how the child ended. When the status cannot be had (a process that sets SIGCHLD to
// be ignored has its children reaped by the system), neither value is set and the run does not
// count as a success.
void record_status(Captured& captured, int status) {
    if (WIFEXITED(status)) captured.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) captured.signal = WTERMSIG(status);
}

// Waits for the child; with a deadline or a stop token, waits no longer than until then and
// returns false if it is still running.
bool reap(pid_t pid, Captured& captured,
          std::optional<std::chrono::steady_clock::time_point> deadline, const StopToken& stop) {
    const bool bounded = deadline.has_value() || stop.stop_possible();
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, bounded ? WNOHANG : 0);
        if (done == pid) {
            record_status(captured, status);
            return true;
        }
        if (done < 0 && errno != EINTR) return true;
        if (done == 0) {
            if (deadline && std::chrono::steady_clock::now() >= *deadline) return false;
            if (stop.stop_requested()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

// Reads what is available on one stream; false at end of stream or on an error.
bool drain(int fd, std::string& into, std::size_t keep_at_most, bool& overflow) {
    std::array<char, 16384> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        const auto got = static_cast<std::size_t>(n);
        const std::size_t room = keep_at_most - std::min(keep_at_most, into.size());
        into.append(buffer.data(), std::min(got, room));
        if (got > room) overflow = true;
        return true;
    }
}

}  // namespace

Result<void> spawn_detached(const std::string& program, const std::vector<std::string>& args,
                            const SpawnOptions& options) {
    if (program.empty()) return Error{errno_text(ENOENT)};

    SpawnFileActions actions;
    if (!actions.ok()) return Error{errno_text(ENOMEM)};
    if (const int rc = close_inherited_descriptors(actions.get()); rc != 0)
        return Error{errno_text(rc)};
    if (options.discard_stderr) {
        if (const int rc = ::posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO,
                                                              "/dev/null", O_WRONLY, 0);
            rc != 0)
            return Error{errno_text(rc)};
    }

    SpawnAttributes attributes;
    if (!attributes.ok()) return Error{errno_text(ENOMEM)};
    if (const int rc = reset_signals(attributes.get()); rc != 0) return Error{errno_text(rc)};

    std::vector<char*> argv = argument_vector(program, args);

    pid_t pid = 0;
    if (const int rc = ::posix_spawnp(&pid, program.c_str(), actions.get(), attributes.get(),
                                      argv.data(), environ);
        rc != 0)
        return Error{errno_text(rc)};
    ChildReaper::instance().adopt(pid, options.on_exit);
    return {};
}

Spawner system_spawner() {
    return [](const std::string& program, const std::vector<std::string>& args,
              const SpawnOptions& options) { return spawn_detached(program, args, options); };
}

Result<Captured> run_and_capture(const std::string& program,
                                 const std::vector<std::string>& arguments,
                                 const CaptureLimits& limits) {
    auto out_pipe = make_pipe();
    if (!out_pipe) return Error{out_pipe.error()};
    auto err_pipe = make_pipe();
    if (!err_pipe) return Error{err_pipe.error()};

    SpawnFileActions actions;
    SpawnAttributes attributes;
    if (!actions.ok() || !attributes.ok()) return Error{errno_text(ENOMEM)};
    // Our pipes are close-on-exec already; this catches what linked libraries left open.
    if (const int rc = close_inherited_descriptors(actions.get()); rc != 0)
        return Error{errno_text(rc)};
    if (::posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0) !=
            0 ||
        ::posix_spawn_file_actions_adddup2(actions.get(), out_pipe->write_end.get(),
                                           STDOUT_FILENO) != 0 ||
        ::posix_spawn_file_actions_adddup2(actions.get(), err_pipe->write_end.get(),
                                           STDERR_FILENO) != 0) {
        return Error{errno_text(ENOMEM)};
    }
    if (const int rc = reset_signals(attributes.get()); rc != 0) return Error{errno_text(rc)};

    std::vector<char*> argv = argument_vector(program, arguments);

    pid_t pid = 0;
    const int spawn_error = ::posix_spawnp(&pid, program.c_str(), actions.get(), attributes.get(),
                                           argv.data(), environ);
    if (spawn_error != 0) return Error{errno_text(spawn_error)};

    // Our copies of the write ends must go, or the reads below would never see the end.
    out_pipe->write_end.reset();
    err_pipe->write_end.reset();

    using Clock = std::chrono::steady_clock;
    const std::optional<Clock::time_point> deadline =
        limits.timeout ? std::optional(Clock::now() + *limits.timeout) : std::nullopt;

    Captured captured;
    bool killed = false;
    bool stderr_overflow = false;
    auto kill_child = [&] {
        ::kill(pid, SIGKILL);
        killed = true;
    };

    // A stop wakes the wait below through a pipe of its own; without one, the wait is bounded.
    auto stop_pipe = limits.stop.stop_possible() ? make_pipe() : Result<Pipe>(Error{""});
    const int stop_write = stop_pipe ? stop_pipe->write_end.get() : -1;
    const StopCallback on_stop(limits.stop, [stop_write] {
        const char byte = 1;
        if (stop_write >= 0) static_cast<void>(::write(stop_write, &byte, 1));
    });
    const bool stop_polled = limits.stop.stop_possible() && stop_pipe;
    constexpr int kStopLookMs = 100;

    std::array<pollfd, 3> polled{pollfd{out_pipe->read_end.get(), POLLIN, 0},
                                 pollfd{err_pipe->read_end.get(), POLLIN, 0},
                                 pollfd{stop_polled ? stop_pipe->read_end.get() : -1, POLLIN, 0}};
    while (!killed && (polled[0].fd >= 0 || polled[1].fd >= 0)) {
        if (limits.stop.stop_requested()) {
            captured.stopped = true;
            kill_child();
            break;
        }
        int wait_ms = -1;
        if (deadline) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
            if (left.count() <= 0) {
                captured.timed_out = true;
                kill_child();
                break;
            }
            wait_ms = saturate_cast<int>(left.count() + 1);
        }
        if (limits.stop.stop_possible() && !stop_polled)
            wait_ms = wait_ms < 0 ? kStopLookMs : std::min(wait_ms, kStopLookMs);
        const int ready = ::poll(polled.data(), polled.size(), wait_ms);
        if (ready < 0) {
            if (errno == EINTR) continue;
            kill_child();
            break;
        }
        if (polled[0].fd >= 0 && polled[0].revents != 0) {
            if (!drain(polled[0].fd, captured.out, limits.max_stdout, captured.stdout_overflow))
                polled[0].fd = -1;
            if (captured.stdout_overflow) kill_child();
        }
        if (!killed && polled[1].fd >= 0 && polled[1].revents != 0) {
            if (!drain(polled[1].fd, captured.err, limits.max_stderr, stderr_overflow))
                polled[1].fd = -1;
        }
    }
    // A grandchild may still hold the pipes open; the caller is done with them either way.
    out_pipe->read_end.reset();
    err_pipe->read_end.reset();

    // The streams can end before the child does; the time limit still applies while it lingers.
    if (!killed && !reap(pid, captured, deadline, limits.stop)) {
        if (limits.stop.stop_requested()) {
            captured.stopped = true;
        } else {
            captured.timed_out = true;
        }
        kill_child();
    }
    if (killed) reap(pid, captured, std::nullopt, {});
    return captured;
}

}  // namespace thumbrover
