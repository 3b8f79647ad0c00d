#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "macos/desktop.hpp"
#include "macos/post_event_permission.hpp"
#include "platform/system_services.hpp"

namespace thumbrover {

// Starting at login as the main application's login item (SMAppService.mainAppService). The
// system ties the item to the bundle's signature. Main thread only.
class AppServiceLoginItem final : public LoginItem {
  public:
    // Whether the service's status is SMAppServiceStatusEnabled.
    [[nodiscard]] bool enabled() override;
    // Registers or unregisters the service; a refusal carries the system's description.
    Result<void> set_enabled(bool enabled) override;
    // SMAppServiceStatusRequiresApproval is AwaitingApproval.
    [[nodiscard]] LoginItemState state() override;
    // SMAppService openSystemSettingsLoginItems.
    Result<void> open_approval() override;
};

// The permission the windows call Accessibility: the right to post events, which System
// Settings grants in its Accessibility pane (CGPreflightPostEventAccess, and
// CGRequestPostEventAccess to have the program listed and prompt).
class AccessibilityPermission final : public PostEventPermission {
  public:
    AccessibilityPermission();
};

// The main bundle's folder (whatever its name; the caller decides whether it is an .app).
[[nodiscard]] std::optional<std::filesystem::path> main_bundle_path();
// The running executable's path.
[[nodiscard]] std::optional<std::filesystem::path> running_executable();

// `open` and `/bin/sh` through the system spawner, with the two lookups above.
[[nodiscard]] std::unique_ptr<MacDesktop> make_desktop();

}  // namespace thumbrover
