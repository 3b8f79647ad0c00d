#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/common/result.hpp"
#include "core/common/spawn.hpp"
#include "core/ui/access.hpp"
#include "platform/system_services.hpp"

namespace thumbrover {

// The desktop entry that starts the program at login, as an XDG autostart file. `executable` is
// written into its Exec line, quoted as desktop entries require.
[[nodiscard]] std::string autostart_entry(const std::filesystem::path& executable);

// Starting at login through `{config home}/autostart/thumbrover.desktop`. A copy installed for
// every user (in a system autostart folder) counts too: switching off then writes a user entry
// marked Hidden, which is how the XDG rules let one user opt out.
class XdgLoginItem final : public LoginItem {
  public:
    // `config_home`: the user's configuration folder ($XDG_CONFIG_HOME or ~/.config);
    // `system_dirs`: the system configuration folders ($XDG_CONFIG_DIRS or /etc/xdg).
    XdgLoginItem(std::filesystem::path config_home, std::vector<std::filesystem::path> system_dirs,
                 std::filesystem::path executable);
    // The folders from the environment and the running executable.
    [[nodiscard]] static XdgLoginItem from_environment();

    [[nodiscard]] bool enabled() override;
    Result<void> set_enabled(bool enabled) override;

    [[nodiscard]] std::filesystem::path entry_path() const;

  private:
    [[nodiscard]] bool system_entry_exists() const;

    std::filesystem::path config_home_;
    std::vector<std::filesystem::path> system_dirs_;
    std::filesystem::path executable_;
};

// Starts a program without waiting for it, its arguments passed as they are (no shell). Fails
// with the reason when it cannot be started.
using ProcessStarter =
    std::function<Result<void>(const std::string& program, const std::vector<std::string>& args)>;

class LinuxDesktop final : public Desktop {
  public:
    // `watched`: how to start a program whose end is reported; none: ends are not reported.
    explicit LinuxDesktop(ProcessStarter start, Spawner watched = {});

    Result<void> open(const std::string& target) override;
    Result<void> start_shell(const std::string& command, const std::string& argument0) override;
    Result<void> open_then(const std::string& target, Ended ended) override;
    Result<void> start_shell_then(const std::string& command, const std::string& argument0,
                                  Ended ended) override;
    [[nodiscard]] std::string restart_command() const override;
    [[nodiscard]] std::optional<std::filesystem::path> bundle_path() const override;
    [[nodiscard]] std::optional<std::filesystem::path> executable_path() const override;

  private:
    ProcessStarter start_;
    Spawner watched_;
};

// Posting input needs an X display that offers the XTEST extension; there is nothing to ask the
// user for, so `request` does nothing.
// Injecting input needs an X display with the XTEST extension. The answer is looked up once per
// display name and then kept: XTEST does not come or go during a session, and opening and closing
// a connection that queries XTEST while the engine thread posts XTEST events on its own
// connection races inside libXext's per-extension display list (heap corruption seen in tests).
// So the first call must come before the engine thread starts.
class X11InputPermission final : public InputPermission {
  public:
    [[nodiscard]] bool granted() override;
    void request() override {}

  private:
    std::optional<std::string> checked_display_;
    bool granted_ = false;
};

// Posting input in a Wayland session needs write access to /dev/uinput, which the package's udev
// rule gives the user at the seat. Asked afresh each time (one access(2) call): the windows ask
// when they show and refresh, and an answer of yes tells a waiting uinput output to try again.
// There is nothing the program can ask for, so `request` does nothing.
class UinputPermission final : public InputPermission {
  public:
    [[nodiscard]] bool granted() override;
    void request() override {}
};

// How the windows and the start-up line speak of /dev/uinput, with what is missing now and the
// command that fixes it. The texts live as long as the process.
[[nodiscard]] PermissionWording uinput_wording();

// The running executable, from /proc/self/exe.
[[nodiscard]] std::optional<std::filesystem::path> running_executable();

}  // namespace thumbrover
