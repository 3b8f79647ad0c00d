#include "core/update/run_and_capture.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <thread>

#include "core/common/files.hpp"
#include "core/common/numeric.hpp"
#include "core/common/spawn.hpp"
#include "core/common/spawn_handles.hpp"

extern char** environ;

namespace thumbrover {
namespace {

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
    // longer, and the capture's deadline still ends the wait.
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

// Signals the child should see with their default effect even if this process ignores or
// blocks them (for example SIGPIPE, which servers and toolkits often ignore).
void set_default_signals(posix_spawnattr_t* attributes) {
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal_number :
         {SIGPIPE, SIGCHLD, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM}) {
        sigaddset(&defaults, signal_number);
    }
    sigset_t unblocked;
    sigemptyset(&unblocked);
    ::posix_spawnattr_setsigdefault(attributes, &defaults);
    ::posix_spawnattr_setsigmask(attributes, &unblocked);
    ::posix_spawnattr_setflags(attributes,
                               static_cast<short>(POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));
}

// Records how the child ended. When the status cannot be had (a process that sets SIGCHLD to
// be ignored has its children reaped by the system), neither value is set and the run does not
// count as a success.
void record_status(Captured& captured, int status) {
    if (WIFEXITED(status)) captured.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) captured.signal = WTERMSIG(status);
}

// Waits for the child; with a deadline, waits no longer than that and returns false if it is
// still running then.
bool reap(pid_t pid, Captured& captured,
          std::optional<std::chrono::steady_clock::time_point> deadline) {
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, deadline ? WNOHANG : 0);
        if (done == pid) {
            record_status(captured, status);
            return true;
        }
        if (done < 0 && errno != EINTR) return true;
        if (done == 0) {
            if (std::chrono::steady_clock::now() >= *deadline) return false;
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
    set_default_signals(attributes.get());

    std::vector<std::string> storage;
    storage.reserve(arguments.size() + 1);
    storage.push_back(program);
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (std::string& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

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

    std::array<pollfd, 2> polled{pollfd{out_pipe->read_end.get(), POLLIN, 0},
                                 pollfd{err_pipe->read_end.get(), POLLIN, 0}};
    while (!killed && (polled[0].fd >= 0 || polled[1].fd >= 0)) {
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
    if (!killed && !reap(pid, captured, deadline)) {
        captured.timed_out = true;
        kill_child();
    }
    if (killed) reap(pid, captured, std::nullopt);
    return captured;
}

}  // namespace thumbrover
