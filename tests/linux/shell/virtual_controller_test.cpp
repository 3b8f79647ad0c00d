#include "linux/virtual_controller.hpp"

#include <SDL.h>
#include <gtest/gtest.h>

namespace thumbrover {
namespace {

using VC = VirtualController;

// SDL's own view of the first game controller, opened for the test.
struct Seen {
    SDL_GameController* controller = nullptr;
    Seen() {
        SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_IsGameController(i)) {
                controller = SDL_GameControllerOpen(i);
                break;
            }
    }
    ~Seen() {
        if (controller != nullptr) SDL_GameControllerClose(controller);
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
};

TEST(VirtualController, AppearsToSdlAsAGameControllerWithTheStandardLayout) {
    auto pad = VC::plug_in();
    ASSERT_TRUE(pad.ok()) << pad.error();
    Seen seen;
    ASSERT_NE(seen.controller, nullptr);
    SDL_GameControllerUpdate();
    EXPECT_EQ(SDL_GameControllerGetAxis(seen.controller, SDL_CONTROLLER_AXIS_TRIGGERLEFT), 0)
        << "a fresh controller's triggers are released";

    struct AxisCase {
        const char* name;
        float value;
        SDL_GameControllerAxis axis;
        int expected;
    };
    const AxisCase axes[] = {
        {"left_x", 1.0f, SDL_CONTROLLER_AXIS_LEFTX, 32767},
        {"left_y", -0.5f, SDL_CONTROLLER_AXIS_LEFTY, -16384},
        {"right_y", 2.0f, SDL_CONTROLLER_AXIS_RIGHTY, 32767},
        {"right_trigger", 1.0f, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767},
        {"right_trigger", 0.5f, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 16384},
        {"left_trigger", -1.0f, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 0},
    };
    for (const AxisCase& c : axes) {
        SCOPED_TRACE(c.name);
        const auto axis = VC::axis_named(c.name);
        ASSERT_TRUE(axis.has_value());
        (*pad)->set_axis(*axis, c.value);
        SDL_GameControllerUpdate();
        EXPECT_NEAR(SDL_GameControllerGetAxis(seen.controller, c.axis), c.expected, 1);
    }

    const std::pair<const char*, SDL_GameControllerButton> buttons[] = {
        {"a", SDL_CONTROLLER_BUTTON_A},
        {"xbox", SDL_CONTROLLER_BUTTON_GUIDE},
        {"view", SDL_CONTROLLER_BUTTON_BACK},
        {"dpad_left", SDL_CONTROLLER_BUTTON_DPAD_LEFT},
    };
    for (const auto& [name, button] : buttons) {
        SCOPED_TRACE(name);
        (*pad)->set_button(*VC::button_named(name), true);
        SDL_GameControllerUpdate();
        EXPECT_EQ(SDL_GameControllerGetButton(seen.controller, button), 1);
    }
    (*pad)->release_all();
    SDL_GameControllerUpdate();
    EXPECT_EQ(SDL_GameControllerGetButton(seen.controller, SDL_CONTROLLER_BUTTON_A), 0);
    EXPECT_EQ(SDL_GameControllerGetAxis(seen.controller, SDL_CONTROLLER_AXIS_LEFTX), 0);
    EXPECT_EQ(SDL_GameControllerGetAxis(seen.controller, SDL_CONTROLLER_AXIS_TRIGGERRIGHT), 0);

    EXPECT_FALSE(VC::axis_named("left").has_value());
    EXPECT_FALSE(VC::button_named("start").has_value());

    (*pad)->unplug();
    EXPECT_FALSE((*pad)->plugged_in());
    SDL_GameControllerUpdate();
    EXPECT_FALSE(SDL_GameControllerGetAttached(seen.controller));
    (*pad)->set_button(VC::Button::A, true);  // harmless once unplugged
}

}  // namespace
}  // namespace thumbrover
