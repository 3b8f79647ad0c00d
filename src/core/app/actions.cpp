#include "core/app/actions.hpp"

#include "core/services/services.hpp"

namespace thumbrover {

void open_input_permission_action(InputPermission& permission, Desktop& desktop,
                                  const std::string& pane) {
    permission.request();
    open_with_system(desktop, pane);
}

bool reopen_action(SettingsOpener& settings) {
    settings.open_settings();
    return true;
}

}  // namespace thumbrover
