#include "linux/virtual_controller.hpp"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>

#include "core/common/numeric.hpp"

namespace thumbrover {
namespace {

SDL_GameControllerAxis sdl_axis(VirtualController::Axis axis) {
    switch (axis) {
        case VirtualController::Axis::LeftX:
            return SDL_CONTROLLER_AXIS_LEFTX;
        case VirtualController::Axis::LeftY:
            return SDL_CONTROLLER_AXIS_LEFTY;
        case VirtualController::Axis::RightX:
            return SDL_CONTROLLER_AXIS_RIGHTX;
        case VirtualController::Axis::RightY:
            return SDL_CONTROLLER_AXIS_RIGHTY;
        case VirtualController::Axis::LeftTrigger:
            return SDL_CONTROLLER_AXIS_TRIGGERLEFT;
        case VirtualController::Axis::RightTrigger:
            return SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
    }
    return SDL_CONTROLLER_AXIS_INVALID;
}

SDL_GameControllerButton sdl_button(VirtualController::Button button) {
    using B = VirtualController::Button;
    switch (button) {
        case B::A:
            return SDL_CONTROLLER_BUTTON_A;
        case B::B:
            return SDL_CONTROLLER_BUTTON_B;
        case B::X:
            return SDL_CONTROLLER_BUTTON_X;
        case B::Y:
            return SDL_CONTROLLER_BUTTON_Y;
        case B::View:
            return SDL_CONTROLLER_BUTTON_BACK;
        case B::Xbox:
            return SDL_CONTROLLER_BUTTON_GUIDE;
        case B::Menu:
            return SDL_CONTROLLER_BUTTON_START;
        case B::LeftStick:
            return SDL_CONTROLLER_BUTTON_LEFTSTICK;
        case B::RightStick:
            return SDL_CONTROLLER_BUTTON_RIGHTSTICK;
        case B::LeftBumper:
            return SDL_CONTROLLER_BUTTON_LEFTSHOULDER;
        case B::RightBumper:
            return SDL_CONTROLLER_BUTTON_RIGHTSHOULDER;
        case B::DpadUp:
            return SDL_CONTROLLER_BUTTON_DPAD_UP;
        case B::DpadDown:
            return SDL_CONTROLLER_BUTTON_DPAD_DOWN;
        case B::DpadLeft:
            return SDL_CONTROLLER_BUTTON_DPAD_LEFT;
        case B::DpadRight:
            return SDL_CONTROLLER_BUTTON_DPAD_RIGHT;
    }
    return SDL_CONTROLLER_BUTTON_INVALID;
}

constexpr std::array<std::pair<std::string_view, VirtualController::Axis>, 6> kAxisNames{{
    {"left_x", VirtualController::Axis::LeftX},
    {"left_y", VirtualController::Axis::LeftY},
    {"right_x", VirtualController::Axis::RightX},
    {"right_y", VirtualController::Axis::RightY},
    {"left_trigger", VirtualController::Axis::LeftTrigger},
    {"right_trigger", VirtualController::Axis::RightTrigger},
}};

constexpr std::array<std::pair<std::string_view, VirtualController::Button>, 15> kButtonNames{{
    {"a", VirtualController::Button::A},
    {"b", VirtualController::Button::B},
    {"x", VirtualController::Button::X},
    {"y", VirtualController::Button::Y},
    {"view", VirtualController::Button::View},
    {"xbox", VirtualController::Button::Xbox},
    {"menu", VirtualController::Button::Menu},
    {"left_stick", VirtualController::Button::LeftStick},
    {"right_stick", VirtualController::Button::RightStick},
    {"left_bumper", VirtualController::Button::LeftBumper},
    {"right_bumper", VirtualController::Button::RightBumper},
    {"dpad_up", VirtualController::Button::DpadUp},
    {"dpad_down", VirtualController::Button::DpadDown},
    {"dpad_left", VirtualController::Button::DpadLeft},
    {"dpad_right", VirtualController::Button::DpadRight},
}};

}  // namespace

Result<std::unique_ptr<VirtualController>> VirtualController::plug_in() {
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0)
        return Error{std::string("could not start SDL: ") + SDL_GetError()};
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    // Without a vendor and product SDL maps a virtual joystick by its own numbering: axis i is
    // controller axis i and button i controller button i.
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "Thumbrover virtual controller";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) {
        std::string reason = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
        return Error{"could not plug in a virtual controller: " + reason};
    }
    SDL_Joystick* joystick = SDL_JoystickOpen(index);
    if (joystick == nullptr) {
        std::string reason = SDL_GetError();
        SDL_JoystickDetachVirtual(index);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
        return Error{"could not open the virtual controller: " + reason};
    }
    std::unique_ptr<VirtualController> controller(
        new VirtualController(joystick, SDL_JoystickInstanceID(joystick)));
    // Fresh virtual axes rest at raw 0, which for a trigger is half pressed.
    controller->release_all();
    return controller;
}

VirtualController::~VirtualController() {
    unplug();
}

void VirtualController::set_axis(Axis axis, float value) {
    if (joystick_ == nullptr) return;
    const bool trigger = axis == Axis::LeftTrigger || axis == Axis::RightTrigger;
    const float low = trigger ? 0.0f : -1.0f;
    const float clamped = std::isnan(value) ? 0.0f : std::clamp(value, low, 1.0f);
    // SDL maps a virtual trigger's whole range onto 0..1, so a released trigger is the lowest
    // raw value, not the middle one.
    const float raw = trigger ? clamped * 65535.0f - 32768.0f : clamped * 32767.0f;
    SDL_JoystickSetVirtualAxis(joystick_, sdl_axis(axis), saturate_cast<Sint16>(std::round(raw)));
}

void VirtualController::set_button(Button button, bool pressed) {
    if (joystick_ == nullptr) return;
    SDL_JoystickSetVirtualButton(joystick_, sdl_button(button), pressed ? 1 : 0);
}

void VirtualController::release_all() {
    for (const auto& [name, axis] : kAxisNames)
        set_axis(axis, 0.0f);
    for (const auto& [name, button] : kButtonNames)
        set_button(button, false);
}

void VirtualController::unplug() {
    if (joystick_ == nullptr) return;
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickIsVirtual(i) && SDL_JoystickGetDeviceInstanceID(i) == instance_id_) {
            SDL_JoystickDetachVirtual(i);
            break;
        }
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
}

std::optional<VirtualController::Axis> VirtualController::axis_named(std::string_view name) {
    for (const auto& [n, axis] : kAxisNames)
        if (n == name) return axis;
    return std::nullopt;
}

std::optional<VirtualController::Button> VirtualController::button_named(std::string_view name) {
    for (const auto& [n, button] : kButtonNames)
        if (n == name) return button;
    return std::nullopt;
}

}  // namespace thumbrover
