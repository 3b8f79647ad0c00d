#include "linux/sdl_subsystem.hpp"

#include <SDL.h>

#include <string>
#include <utility>

namespace thumbrover {

Result<SdlGameControllerSubsystem> SdlGameControllerSubsystem::start() {
    // The engine owns SIGINT and SIGTERM; SDL would otherwise turn them into SDL_QUIT events
    // that nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Without a window of its own the program never has the focus, and it must still hear the
    // controller.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        return Error{std::string("could not start SDL's game controller support: ") +
                     SDL_GetError()};
    }
    // State is read by polling; queued events would only pile up unread.
    SDL_GameControllerEventState(SDL_IGNORE);
    SDL_JoystickEventState(SDL_IGNORE);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SdlGameControllerSubsystem subsystem;
    subsystem.active_ = true;
    return subsystem;
}

SdlGameControllerSubsystem& SdlGameControllerSubsystem::operator=(
    SdlGameControllerSubsystem&& other) noexcept {
    if (this != &other) {
        if (active_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
        active_ = std::exchange(other.active_, false);
    }
    return *this;
}

SdlGameControllerSubsystem::~SdlGameControllerSubsystem() {
    if (active_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

}  // namespace thumbrover
