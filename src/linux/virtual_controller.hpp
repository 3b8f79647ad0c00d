#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "core/common/result.hpp"

struct _SDL_Joystick;

namespace thumbrover {

// A controller that exists only inside this process: SDL's virtual joystick with the standard
// controller layout. The demonstration and the end-to-end tests play it instead of a hand.
// Main thread only (SDL reads its values when the controller poll updates).
class VirtualController final {
  public:
    // SDL's controller axes and buttons, by their usual names.
    enum class Axis : std::uint8_t { LeftX, LeftY, RightX, RightY, LeftTrigger, RightTrigger };
    enum class Button : std::uint8_t {
        A,
        B,
        X,
        Y,
        View,
        Xbox,
        Menu,
        LeftStick,
        RightStick,
        LeftBumper,
        RightBumper,
        DpadUp,
        DpadDown,
        DpadLeft,
        DpadRight,
    };

    // Plugs it in. Fails with SDL's reason.
    [[nodiscard]] static Result<std::unique_ptr<VirtualController>> plug_in();
    ~VirtualController();
    VirtualController(const VirtualController&) = delete;
    VirtualController& operator=(const VirtualController&) = delete;

    // Sticks -1..1 (y positive downward), triggers 0..1; values beyond are clamped.
    void set_axis(Axis axis, float value);
    void set_button(Button button, bool pressed);
    // Lets go of every button and centres every axis.
    void release_all();

    // Unplugs it; also done on destruction.
    void unplug();
    [[nodiscard]] bool plugged_in() const { return joystick_ != nullptr; }

    // Names used in demo scripts ("left_x", "a", "dpad_up", ...).
    [[nodiscard]] static std::optional<Axis> axis_named(std::string_view name);
    [[nodiscard]] static std::optional<Button> button_named(std::string_view name);

  private:
    VirtualController(_SDL_Joystick* joystick, std::int32_t instance_id)
        : joystick_(joystick), instance_id_(instance_id) {}

    _SDL_Joystick* joystick_;
    std::int32_t instance_id_;
};

}  // namespace thumbrover
