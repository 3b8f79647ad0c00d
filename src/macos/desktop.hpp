#pragma once

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

// Files, web pages and settings panes through `open`, the restart through `/bin/sh`, each started
// without waiting. `bundle` and `executable` tell where the program runs from (the main bundle
// and the running executable on macOS; injected so that this is tested anywhere).
class MacDesktop final : public Desktop {
  public:
    using PathLookup = std::function<std::optional<std::filesystem::path>()>;

    MacDesktop(Spawner spawner, PathLookup bundle, PathLookup executable);

    Result<void> open(const std::string& target) override;
    Result<void> start_shell(const std::string& command, const std::string& argument0) override;
    [[nodiscard]] std::string restart_command() const override;
    [[nodiscard]] std::optional<std::filesystem::path> bundle_path() const override;
    [[nodiscard]] std::optional<std::filesystem::path> executable_path() const override;

  private:
    Spawner spawner_;
    PathLookup bundle_;
    PathLookup executable_;
};

}  // namespace thumbrover
