#pragma once

// Every child process the program starts goes through here, so that each one starts the same
// way: no descriptor of ours but the standard ones, default signal dispositions, an empty signal
// mask, and a reaper that never lets it linger as a zombie.

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/common/result.hpp"
#include "core/common/stop_signal.hpp"

namespace thumbrover {

struct SpawnOptions {
    // Sends the child's standard error to /dev/null (chatty helpers such as osascript).
    bool discard_stderr = false;
    // Runs on the reaping thread once the child has ended, with its exit status (128 + the
    // signal number when a signal ended it, as a shell reports it). Must not block for long: one
    // thread reaps every child. Never runs for a child still running when the process ends.
    std::function<void(int exit_status)> on_exit;
};

// Starts `program` (searched in PATH when it holds no slash) with `args` after the program name,
// without a shell and without waiting for it. Standard input and output, the environment and the
// working folder are inherited. The program's one reaper waits for the child, which keeps running
// when the program ends before it. Fails with the system's error text (for example "No such file
// or directory") when the program cannot be started.
[[nodiscard]] Result<void> spawn_detached(const std::string& program,
                                          const std::vector<std::string>& args,
                                          const SpawnOptions& options = {});

// The way a caller starts a child process; injectable so that callers are tested without one.
using Spawner = std::function<Result<void>(
    const std::string& program, const std::vector<std::string>& args, const SpawnOptions& options)>;

// A Spawner that calls spawn_detached.
[[nodiscard]] Spawner system_spawner();

struct CaptureLimits {
    // Beyond this much standard output the child is killed: the caller would not use more.
    std::size_t max_stdout = 64 * 1024;
    // Standard error beyond this is read and dropped, so the child never blocks on a full pipe.
    std::size_t max_stderr = 64 * 1024;
    // A child still running after this long is killed; none means wait as long as it takes.
    std::optional<std::chrono::milliseconds> timeout;
    // A stop asked for here kills the child at once: the program is ending and wants no answer.
    StopToken stop;
};

struct Captured {
    std::string out;
    std::string err;
    // Exactly one of these describes how the child ended.
    std::optional<int> exit_status;
    std::optional<int> signal;
    bool stdout_overflow = false;  // killed because of max_stdout
    bool timed_out = false;        // killed because of timeout
    bool stopped = false;          // killed because a stop was asked for

    [[nodiscard]] bool succeeded() const {
        return exit_status == 0 && !stdout_overflow && !timed_out && !stopped;
    }
};

// Runs a program found on PATH with the given arguments (no shell), standard input from
// /dev/null, and waits for it while collecting its standard output and standard error. The
// child inherits no descriptor of ours besides the three standard ones, and is always reaped.
// Fails only when the program cannot be started, with the system's error text.
[[nodiscard]] Result<Captured> run_and_capture(const std::string& program,
                                               const std::vector<std::string>& arguments,
                                               const CaptureLimits& limits = {});

}  // namespace thumbrover
