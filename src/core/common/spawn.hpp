#pragma once

#include <spawn.h>

#include <functional>
#include <string>
#include <vector>

#include "core/common/result.hpp"

namespace thumbrover {

struct SpawnOptions {
    // Sends the child's standard error to /dev/null (chatty helpers such as osascript).
    bool discard_stderr = false;
    // Runs on the reaping thread once the child has ended, with its exit status (128 + the
    // signal number when a signal ended it, as a shell reports it). Must not block for long.
    std::function<void(int exit_status)> on_exit;
};

// Starts `program` (searched in PATH when it holds no slash) with `args` after the program name,
// without a shell and without waiting for it. Standard input and output, the environment and the
// working folder are inherited; no other descriptor of this process reaches the child, and the
// child starts with the default signal dispositions and an empty signal mask. A detached thread
// waits for the child so that it never lingers as a zombie. Fails with the system's error text
// (for example "No such file or directory") when the program cannot be started.
[[nodiscard]] Result<void> spawn_detached(const std::string& program,
                                          const std::vector<std::string>& args,
                                          const SpawnOptions& options = {});

// Adds to `actions` the closing of every descriptor of this process, above standard error, that
// is not close-on-exec, so that descriptors of linked libraries never leak into a child. Returns
// 0, or the error number when an action cannot be added. For helpers that spawn on their own.
[[nodiscard]] int close_inherited_descriptors(posix_spawn_file_actions_t* actions);

// The way a caller starts a child process; injectable so that callers are tested without one.
using Spawner = std::function<Result<void>(
    const std::string& program, const std::vector<std::string>& args, const SpawnOptions& options)>;

// A Spawner that calls spawn_detached.
[[nodiscard]] Spawner system_spawner();

}  // namespace thumbrover
