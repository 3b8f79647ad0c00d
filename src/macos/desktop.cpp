#include "macos/desktop.hpp"

#include <algorithm>
#include <string>
#include <utility>

namespace thumbrover {
namespace {

// "0.100" for 100 ms: sleep(1) on macOS and Linux takes fractions of a second.
std::string seconds_text(std::chrono::milliseconds duration) {
    const long long ms = std::max<long long>(duration.count(), 1);
    std::string fraction = std::to_string(ms % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return std::to_string(ms / 1000) + "." + fraction;
}

}  // namespace

std::string reopen_after_exit_command(const RestartWait& wait) {
    if (wait.pid <= 0) return "open \"$0\"";
    const long long poll = std::max<long long>(wait.poll.count(), 1);
    // Rounded up, so that the bound is never cut short.
    const long long polls = std::max<long long>((wait.bound.count() + poll - 1) / poll, 0);
    // kill -0 fails once the process has ended and been reaped, which launchd does at once for
    // a program it started.
    return "n=0; while kill -0 " + std::to_string(wait.pid) + " 2>/dev/null && [ $n -lt " +
           std::to_string(polls) + " ]; do sleep " + seconds_text(std::chrono::milliseconds(poll)) +
           "; n=$((n + 1)); done; open \"$0\"";
}

MacDesktop::MacDesktop(Spawner spawner, PathLookup bundle, PathLookup executable, RestartWait wait)
    : spawner_(std::move(spawner)),
      bundle_(std::move(bundle)),
      executable_(std::move(executable)),
      wait_(wait) {}

Result<void> MacDesktop::open(const std::string& target) {
    return spawner_("open", {target}, {});
}

Result<void> MacDesktop::start_shell(const std::string& command, const std::string& argument0) {
    return spawner_("/bin/sh", {"-c", command, argument0}, {});
}

std::string MacDesktop::restart_command() const {
    return reopen_after_exit_command(wait_);
}

std::optional<std::filesystem::path> MacDesktop::bundle_path() const {
    return bundle_();
}

std::optional<std::filesystem::path> MacDesktop::executable_path() const {
    return executable_();
}

}  // namespace thumbrover
