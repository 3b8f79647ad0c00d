#pragma once

#include <string>

#include "platform/system_services.hpp"

namespace thumbrover {

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
