#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/spawn.hpp"
#include "platform/system_services.hpp"

namespace thumbrover {

// System Settings links: Privacy & Security > Accessibility, and Bluetooth.
inline constexpr std::string_view kAccessibilityPaneLink =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";
inline constexpr std::string_view kBluetoothPaneLink =
    "x-apple.systempreferences:com.apple.BluetoothSettings";

// How a restart waits for the running copy to end before opening the bundle again: `open` on a
// program that is still running only brings it to the front, so opening too early leaves nothing
// running once the old copy has quit.
struct RestartWait {
    long pid = 0;  // the running copy's process; 0 or less: nothing to wait for
    std::chrono::milliseconds poll{100};
    // After this long the bundle is opened anyway: a copy that never ends is then at least
    // brought to the front, where the user sees it.
    std::chrono::milliseconds bound{10'000};
};

// The shell line that waits as `wait` says and then opens "$0" (POSIX sh: the same line runs on
// Linux, where it is tested).
[[nodiscard]] std::string reopen_after_exit_command(const RestartWait& wait);

// Files, web pages and settings panes through `open`, the restart through `/bin/sh`, each started
// without waiting. `bundle` and `executable` tell where the program runs from (the main bundle
// and the running executable on macOS; injected so that this is tested anywhere).
class MacDesktop final : public Desktop {
  public:
    using PathLookup = std::function<std::optional<std::filesystem::path>()>;

    MacDesktop(Spawner spawner, PathLookup bundle, PathLookup executable, RestartWait wait);

    Result<void> open(const std::string& target) override;
    Result<void> start_shell(const std::string& command, const std::string& argument0) override;
    [[nodiscard]] std::string restart_command() const override;
    [[nodiscard]] std::optional<std::filesystem::path> bundle_path() const override;
    [[nodiscard]] std::optional<std::filesystem::path> executable_path() const override;

  private:
    Spawner spawner_;
    PathLookup bundle_;
    PathLookup executable_;
    RestartWait wait_;
};

}  // namespace thumbrover
