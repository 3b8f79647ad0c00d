#pragma once

#include <SDL.h>

#include <array>

#include "platform/gamepad.hpp"

namespace thumbrover {

// SDL's buttons in the order of ControllerSnapshot::buttons. Reading a controller and driving
// the virtual one must agree on it, or a test would press a different button than it reads.
inline constexpr std::array<SDL_GameControllerButton, kSnapshotButtons> kSdlSnapshotButtons = {
    SDL_CONTROLLER_BUTTON_A,
    SDL_CONTROLLER_BUTTON_B,
    SDL_CONTROLLER_BUTTON_X,
    SDL_CONTROLLER_BUTTON_Y,
    SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
    SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
    SDL_CONTROLLER_BUTTON_BACK,
    SDL_CONTROLLER_BUTTON_START,
    SDL_CONTROLLER_BUTTON_GUIDE,
    SDL_CONTROLLER_BUTTON_LEFTSTICK,
    SDL_CONTROLLER_BUTTON_RIGHTSTICK,
};

// SDL's sticks and triggers in the order of ControllerSnapshot::axes 0..5; the D-pad axes 6 and
// 7 are SDL buttons.
inline constexpr std::array<SDL_GameControllerAxis, 6> kSdlSticksAndTriggers = {
    SDL_CONTROLLER_AXIS_LEFTX,  SDL_CONTROLLER_AXIS_LEFTY,       SDL_CONTROLLER_AXIS_RIGHTX,
    SDL_CONTROLLER_AXIS_RIGHTY, SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_CONTROLLER_AXIS_TRIGGERRIGHT,
};

}  // namespace thumbrover
