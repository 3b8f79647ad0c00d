#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/common/result.hpp"

namespace thumbrover {

enum class LoginItemState : std::uint8_t {
    Off,
    On,
    // Registered, but not allowed to start: the user switched it off in the system's own list of
    // login items (or has not approved it yet), which only the user can change, there.
    AwaitingApproval,
};

// Starting the program when the user logs in (macOS login item, XDG autostart entry).
// Main thread only.
class LoginItem {
  public:
    virtual ~LoginItem() = default;

    // What the system will really do at the next login.
    [[nodiscard]] virtual bool enabled() = 0;
    // Fails with the system's reason when it refuses; the state is then whatever `state` says.
    virtual Result<void> set_enabled(bool enabled) = 0;
    // The item as the system keeps it; a system without approvals has only on and off.
    [[nodiscard]] virtual LoginItemState state() {
        return enabled() ? LoginItemState::On : LoginItemState::Off;
    }
    // Opens the system's list of login items, where the user approves an item awaiting it.
    virtual Result<void> open_approval() {
        return Error{"this system has no approval of login items"};
    }
};

// Handing things to the desktop and to the shell. Main thread only; nothing here waits for the
// programs it starts.
class Desktop {
  public:
    virtual ~Desktop() = default;

    // Opens a file, a web address or a system settings link with the desktop's opener (`open`,
    // `xdg-open`). Fails only when the opener cannot be started, with the reason.
    virtual Result<void> open(const std::string& target) = 0;

    // Starts `/bin/sh -c <command> <argument0>` with the standard streams inherited; the shell
    // sees argument0 as "$0", so no quoting of it is ever needed.
    virtual Result<void> start_shell(const std::string& command, const std::string& argument0) = 0;

    // The shell command that waits for this copy to end and then starts the program again from
    // "$0" (`open "$0"` once this process has gone, within a bound, on macOS; "sleep 1; exec
    // \"$0\"" on Linux, followed there by the output named on the command line, if any).
    [[nodiscard]] virtual std::string restart_command() const = 0;

    // The application bundle the program runs from, when the platform has bundles.
    [[nodiscard]] virtual std::optional<std::filesystem::path> bundle_path() const = 0;
    // The running executable, when it can be found.
    [[nodiscard]] virtual std::optional<std::filesystem::path> executable_path() const = 0;

    // Like `open` and `start_shell`, and afterwards `ended` is told the program's exit status
    // (on some other thread) when it ends. A platform that cannot tell never calls it.
    using Ended = std::function<void(int exit_status)>;
    virtual Result<void> open_then(const std::string& target, Ended ended) {
        static_cast<void>(ended);
        return open(target);
    }
    virtual Result<void> start_shell_then(const std::string& command, const std::string& argument0,
                                          Ended ended) {
        static_cast<void>(ended);
        return start_shell(command, argument0);
    }
};

// The permission to post synthetic input (Accessibility on macOS; an X display with XTest, or
// write access to /dev/uinput, on Linux). Main thread only.
class InputPermission {
  public:
    virtual ~InputPermission() = default;

    [[nodiscard]] virtual bool granted() = 0;
    // Makes the system list the program and, where it has one, show its prompt. Returns at once.
    virtual void request() = 0;
};

}  // namespace thumbrover
