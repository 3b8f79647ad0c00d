#include "core/common/spawn.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "core/common/diag.hpp"
#include "core/common/files.hpp"
#include "core/common/spawn_handles.hpp"

extern char** environ;

namespace thumbrover {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

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

namespace {

int exit_status_of(int wait_status) {
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return -1;
}

void reap_in_background(pid_t pid, std::function<void(int)> on_exit) {
    try {
        std::thread([pid, on_exit = std::move(on_exit)] {
            int status = 0;
            pid_t rc = 0;
            do {
                rc = ::waitpid(pid, &status, 0);
            } while (rc < 0 && errno == EINTR);
            if (on_exit) on_exit(rc == pid ? exit_status_of(status) : -1);
        }).detach();
    } catch (const std::system_error&) {
        diag("failed to spawn thread");
        std::abort();
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

    // The engine thread may block signals and the process may ignore SIGPIPE; a child must not
    // inherit either.
    SpawnAttributes attributes;
    if (!attributes.ok()) return Error{errno_text(ENOMEM)};
    sigset_t empty_mask;
    sigset_t all_signals;
    sigemptyset(&empty_mask);
    sigfillset(&all_signals);
    if (const int rc = ::posix_spawnattr_setsigmask(attributes.get(), &empty_mask); rc != 0)
        return Error{errno_text(rc)};
    if (const int rc = ::posix_spawnattr_setsigdefault(attributes.get(), &all_signals); rc != 0)
        return Error{errno_text(rc)};
    if (const int rc = ::posix_spawnattr_setflags(
            attributes.get(), static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
        rc != 0)
        return Error{errno_text(rc)};

    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    if (const int rc = ::posix_spawnp(&pid, program.c_str(), actions.get(), attributes.get(),
                                      argv.data(), environ);
        rc != 0)
        return Error{errno_text(rc)};
    reap_in_background(pid, options.on_exit);
    return {};
}

Spawner system_spawner() {
    return [](const std::string& program, const std::vector<std::string>& args,
              const SpawnOptions& options) { return spawn_detached(program, args, options); };
}

}  // namespace thumbrover
