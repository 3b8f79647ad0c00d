#include "demo/virtual_pad.hpp"

#include <SDL.h>

#include <array>
#include <cmath>

#include "core/common/numeric.hpp"
#include "linux/sdl_layout.hpp"

namespace thumbrover {
namespace {

int on_rumble(void* userdata, Uint16 low, Uint16 high) {
    // SDL calls this with zero strengths when a rumble's time is up.
    if (low != 0 || high != 0) ++*static_cast<std::atomic<int>*>(userdata);
    return 0;
}

float clamped(float value, float low) {
    return std::isnan(value) ? 0.0f : std::fmin(std::fmax(value, low), 1.0f);
}

std::int16_t raw_stick(float value) {
    return saturate_cast<std::int16_t>(std::lround(clamped(value, -1.0f) * 32767.0f));
}

// The standard mapping reads a trigger's raw axis over its whole range, -32768 released to 32767
// fully pulled.
std::int16_t raw_trigger(float value) {
    return saturate_cast<std::int16_t>(std::lround(clamped(value, 0.0f) * 65535.0f) - 32768);
}

}  // namespace

Result<std::unique_ptr<VirtualPad>> VirtualPad::plug_in(const std::string& name) {
    auto subsystem = SdlGameControllerSubsystem::start();
    if (!subsystem) return Error{subsystem.error()};
    auto rumbles = std::make_shared<std::atomic<int>>(0);
    std::unique_ptr<VirtualPad> pad(new VirtualPad(std::move(subsystem).value(), rumbles));
    pad->name_ = name;

    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    // Declared as a game controller whose buttons and axes are SDL's own, in SDL's order, so SDL
    // builds the standard mapping from the masks.
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1;
    desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    desc.button_mask = (1u << (SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1)) - 1;
    desc.vendor_id = 0x045E;  // Microsoft
    desc.product_id = 0x028E;
    desc.name = pad->name_.c_str();
    desc.userdata = rumbles.get();
    desc.Rumble = on_rumble;
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0)
        return Error{std::string("could not plug in a virtual controller: ") + SDL_GetError()};
    pad->joystick_ = SDL_JoystickOpen(index);
    if (pad->joystick_ == nullptr) {
        const std::string reason = SDL_GetError();
        SDL_JoystickDetachVirtual(index);
        return Error{"could not open the virtual controller: " + reason};
    }
    pad->id_ = static_cast<ControllerId>(SDL_JoystickInstanceID(pad->joystick_));
    // SDL starts every raw axis at 0, which would be a half-pulled trigger.
    pad->set_axis(4, 0.0f);
    pad->set_axis(5, 0.0f);
    return pad;
}

VirtualPad::~VirtualPad() {
    unplug();
}

void VirtualPad::set_button(std::size_t index, bool pressed) {
    if (joystick_ == nullptr || index >= kSdlSnapshotButtons.size()) return;
    SDL_JoystickSetVirtualButton(joystick_, kSdlSnapshotButtons[index], pressed ? 1 : 0);
}

void VirtualPad::set_axis(std::size_t index, float value) {
    if (joystick_ == nullptr) return;
    if (index < 4) {
        SDL_JoystickSetVirtualAxis(joystick_, kSdlSticksAndTriggers[index], raw_stick(value));
    } else if (index < 6) {
        SDL_JoystickSetVirtualAxis(joystick_, kSdlSticksAndTriggers[index], raw_trigger(value));
    } else if (index < 8) {
        const bool horizontal = index == 6;
        const auto negative =
            horizontal ? SDL_CONTROLLER_BUTTON_DPAD_LEFT : SDL_CONTROLLER_BUTTON_DPAD_UP;
        const auto positive =
            horizontal ? SDL_CONTROLLER_BUTTON_DPAD_RIGHT : SDL_CONTROLLER_BUTTON_DPAD_DOWN;
        SDL_JoystickSetVirtualButton(joystick_, negative, value < 0.0f ? 1 : 0);
        SDL_JoystickSetVirtualButton(joystick_, positive, value > 0.0f ? 1 : 0);
    }
}

void VirtualPad::unplug() {
    if (joystick_ == nullptr) return;
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
    // Detaching goes by device index, which shifts as devices come and go.
    for (int index = 0; index < SDL_NumJoysticks(); ++index) {
        if (static_cast<ControllerId>(SDL_JoystickGetDeviceInstanceID(index)) == id_) {
            SDL_JoystickDetachVirtual(index);
            break;
        }
    }
}

}  // namespace thumbrover
