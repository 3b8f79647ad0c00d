#pragma once

#include <cstdint>
#include <string>

#include "core/app/engine_requests.hpp"
#include "platform/system_services.hpp"

namespace thumbrover {

// Every menu and control action the shell's action target receives, in registration order.
enum class ShellAction : std::uint8_t {
    Toggle,
    Quit,
    OpenSettings,
    OpenSetup,
    SliderChanged,
    RestoreDefaults,
    OpenConfigFile,
    ToggleLogin,
    OpenAccessibility,
    OpenBluetooth,
    Restart,
    OpenButtons,
    BindingChanged,
    StickChanged,
    RestoreButtons,
    OpenUpdate,
    FinishSetup,
    Reopen,
};

// The actions that read their sender (which slider, which pop-up, which checkbox).
[[nodiscard]] constexpr bool reads_sender(ShellAction action) {
    switch (action) {
        case ShellAction::SliderChanged:
        case ShellAction::ToggleLogin:
        case ShellAction::BindingChanged:
        case ShellAction::StickChanged:
            return true;
        default:
            return false;
    }
}

// An action that reads its sender does nothing when there is none: a toolkit may deliver an
// action without a sender (a programmatic call, a menu item being torn down).
[[nodiscard]] constexpr bool should_perform(ShellAction action, const void* sender) {
    return sender != nullptr || !reads_sender(action);
}

// The menu's "Enabled" item. The check mark follows only when the engine has changed its status.
void toggle_action(EngineRequests& engine);
// The menu's quit item; the engine ends the process, the user interface never does.
void quit_action(EngineRequests& engine);

class SettingsOpener {
  public:
    virtual ~SettingsOpener() = default;
    virtual void open_settings() = 0;
};

// Asks for the input permission first, so that the system lists the program in the pane that
// then opens (and shows its own prompt where it has one); a pane that opens before the request
// would not list it yet. `pane` is the platform's link to that settings pane.
void open_input_permission_action(InputPermission& permission, Desktop& desktop,
                                  const std::string& pane);

// The user opened the program again while it runs: show the settings window whatever is visible.
// Returns true, telling the system the reopen was handled.
bool reopen_action(SettingsOpener& settings);

}  // namespace thumbrover
