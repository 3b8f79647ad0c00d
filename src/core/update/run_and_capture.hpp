#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/common/result.hpp"

namespace thumbrover {

struct CaptureLimits {
    // Beyond this much standard output the child is killed: the caller would not use more.
    std::size_t max_stdout = 64 * 1024;
    // Standard error beyond this is read and dropped, so the child never blocks on a full pipe.
    std::size_t max_stderr = 64 * 1024;
    // A child still running after this long is killed; none means wait as long as it takes.
    std::optional<std::chrono::milliseconds> timeout;
};

struct Captured {
    std::string out;
    std::string err;
    // Exactly one of these describes how the child ended.
    std::optional<int> exit_status;
    std::optional<int> signal;
    bool stdout_overflow = false;  // killed because of max_stdout
    bool timed_out = false;        // killed because of timeout

    [[nodiscard]] bool succeeded() const {
        return exit_status == 0 && !stdout_overflow && !timed_out;
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
