#include "core/shell/actions.hpp"

namespace thumbrover {

void toggle_action(EngineRequests& engine) {
    engine.send_toggle();
}

void quit_action(EngineRequests& engine) {
    engine.send_quit();
}

bool reopen_action(SettingsOpener& settings) {
    settings.open_settings();
    return true;
}

}  // namespace thumbrover
