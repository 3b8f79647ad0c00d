#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>

#include "sdl_pads.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::plug_in;

class SdlGamepadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gamepad_ = testing::open_sdl();
        ASSERT_TRUE(gamepad_);
        pad_ = plug_in("Thumbrover Test Pad");
        ASSERT_TRUE(pad_);
    }

    bool listed(ControllerId id) {
        const auto ids = gamepad_->controllers();
        return std::find(ids.begin(), ids.end(), id) != ids.end();
    }

    ControllerSnapshot read() {
        const auto snapshot = gamepad_->read(pad_->id());
        EXPECT_TRUE(snapshot.has_value());
        return snapshot.value_or(ControllerSnapshot{});
    }

    std::unique_ptr<SdlGamepad> gamepad_;
    std::unique_ptr<VirtualPad> pad_;
};

TEST_F(SdlGamepadTest, AVirtualXboxPadIsListedWithTheExtendedLayout) {
    EXPECT_TRUE(listed(pad_->id()));
    EXPECT_TRUE(gamepad_->has_extended_profile(pad_->id()));
    EXPECT_EQ(gamepad_->vendor_name(pad_->id()), "Thumbrover Test Pad");
    EXPECT_EQ(read(), ControllerSnapshot{});
}

TEST_F(SdlGamepadTest, EachButtonLandsOnItsOwnSnapshotIndex) {
    for (std::size_t button = 0; button < kSnapshotButtons; ++button) {
        pad_->set_button(button, true);
        ControllerSnapshot expected;
        expected.buttons[button] = true;
        EXPECT_EQ(read(), expected) << "button " << button;
        pad_->set_button(button, false);
    }
    EXPECT_EQ(read(), ControllerSnapshot{});
}

TEST_F(SdlGamepadTest, AxesKeepTheirRangesWithDownPositive) {
    const struct {
        std::size_t axis;
        float set;
        float expected;
    } cases[] = {
        {0, 1.0f, 1.0f}, {0, -1.0f, -1.0f}, {1, -1.0f, -1.0f}, {1, 0.5f, 0.5f}, {2, -0.25f, -0.25f},
        {3, 1.0f, 1.0f}, {4, 1.0f, 1.0f},   {4, 0.5f, 0.5f},   {5, 1.0f, 1.0f}, {6, -1.0f, -1.0f},
        {6, 1.0f, 1.0f}, {7, -1.0f, -1.0f}, {7, 1.0f, 1.0f},
    };
    for (const auto& c : cases) {
        pad_->set_axis(c.axis, c.set);
        const ControllerSnapshot snapshot = read();
        EXPECT_NEAR(snapshot.axes[c.axis], c.expected, 1.0f / 16384.0f)
            << "axis " << c.axis << " set to " << c.set;
        for (std::size_t other = 0; other < kSnapshotAxes; ++other) {
            if (other == c.axis) continue;
            EXPECT_EQ(snapshot.axes[other], 0.0f) << other;
        }
        EXPECT_EQ(snapshot.buttons, ControllerSnapshot{}.buttons) << "axis " << c.axis;
        // The engine's stick-only read sees the sticks exactly as the full read does.
        const StickAxes sticks = gamepad_->read_sticks(pad_->id()).value_or(StickAxes{9, 9, 9, 9});
        EXPECT_TRUE(std::equal(sticks.begin(), sticks.end(), snapshot.axes.begin()))
            << "axis " << c.axis;
        pad_->set_axis(c.axis, 0.0f);
    }
    EXPECT_EQ(read(), ControllerSnapshot{});
}

TEST_F(SdlGamepadTest, WhileTheSticksAreQuietACopyOfTheNodesStickReportsIsReadInsteadOfSdl) {
    const testing::TempDir dir;
    auto pad = testing::made_or_failed(VirtualPad::plug_in("Node Pad", dir / "node"));
    ASSERT_TRUE(pad);
    ASSERT_TRUE(gamepad_->has_extended_profile(pad->id()));
    SDL_GameController* sdl =
        SDL_GameControllerFromInstanceID(static_cast<SDL_JoystickID>(pad->id()));
    ASSERT_NE(sdl, nullptr);
    pad->set_axes({{0, 0.5f}, {3, -1.0f}});
    ASSERT_TRUE(gamepad_->read(pad->id()));
    gamepad_->quiet_sticks(true);
    for (const float x : {0.5f, -0.25f, 1.0f, -1.0f}) {
        pad->set_axes({{0, x}, {1, x / 2}, {4, 1.0f}});
        const auto sticks = gamepad_->read_sticks(pad->id());
        ASSERT_TRUE(sticks);
        // What SDL hands out is still what it read before: the copy was read, not SDL.
        EXPECT_EQ(SDL_GameControllerGetAxis(sdl, SDL_CONTROLLER_AXIS_LEFTX), 16384);
        const auto full = gamepad_->read(pad->id());
        ASSERT_TRUE(full);
        EXPECT_TRUE(std::equal(sticks->begin(), sticks->end(), full->axes.begin())) << x;
        pad->set_axis(0, 0.5f);
        ASSERT_TRUE(gamepad_->read(pad->id()));
    }
    // A copy that lost reports (here: its writer gave up on a reader that lagged far behind) is
    // read through SDL once its end is found, with nothing lost, and then replaced.
    ASSERT_TRUE(gamepad_->read_sticks(pad->id()));
    for (int i = 0; i < 5000; ++i)
        pad->set_axis(2, i % 2 == 0 ? 0.5f : -0.5f);
    pad->set_axis(2, 0.25f);
    ASSERT_TRUE(gamepad_->read_sticks(pad->id()));
    EXPECT_FLOAT_EQ(gamepad_->read_sticks(pad->id()).value_or(StickAxes{})[2], 8192.0f / 32767.0f);
    EXPECT_EQ(SDL_GameControllerGetAxis(sdl, SDL_CONTROLLER_AXIS_RIGHTX), 8192);
    pad->set_axis(2, 0.75f);
    EXPECT_FLOAT_EQ(gamepad_->read_sticks(pad->id()).value_or(StickAxes{})[2], 24575.0f / 32767.0f);
    EXPECT_EQ(SDL_GameControllerGetAxis(sdl, SDL_CONTROLLER_AXIS_RIGHTX), 8192);
    // A copy is let go once the sticks are no longer quiet, and its writer carries on.
    gamepad_->quiet_sticks(false);
    pad->set_axis(2, -0.75f);
    EXPECT_FLOAT_EQ(gamepad_->read(pad->id()).value_or(ControllerSnapshot{}).axes[2],
                    -24575.0f / 32767.0f);
    // Once the controller is gone its copy ends with it.
    gamepad_->quiet_sticks(true);
    ASSERT_TRUE(gamepad_->read_sticks(pad->id()));
    pad->unplug();
    EXPECT_FALSE(listed(pad->id()));
    EXPECT_EQ(gamepad_->read_sticks(pad->id()), std::nullopt);
    gamepad_->quiet_sticks(false);
}

TEST_F(SdlGamepadTest, RumbleIsPassedToTheController) {
    ASSERT_TRUE(gamepad_->rumble_once(pad_->id()).ok());
    EXPECT_EQ(pad_->rumbles(), 1);
}

TEST_F(SdlGamepadTest, AControllerWithoutABatteryReportsNone) {
    EXPECT_EQ(gamepad_->battery_level(pad_->id()), std::nullopt);
}

TEST_F(SdlGamepadTest, UnpluggingAndPluggingInAreBothNoticed) {
    const ControllerId first = pad_->id();
    ASSERT_TRUE(gamepad_->read(first));
    pad_->unplug();
    EXPECT_FALSE(listed(first));
    EXPECT_EQ(gamepad_->read(first), std::nullopt);
    EXPECT_EQ(gamepad_->read_sticks(first), std::nullopt);
    EXPECT_FALSE(gamepad_->has_extended_profile(first));
    EXPECT_EQ(gamepad_->rumble_once(first).error(), "controller has no haptics");
    gamepad_->release(first);

    auto second = plug_in("Second Pad");
    ASSERT_TRUE(second);
    EXPECT_NE(second->id(), first) << "an identity must never be handed to another controller";
    EXPECT_TRUE(listed(second->id()));
    second->set_button(0, true);
    const auto snapshot = gamepad_->read(second->id());
    ASSERT_TRUE(snapshot);
    EXPECT_TRUE(snapshot->buttons[0]);
}

TEST_F(SdlGamepadTest, AControllerThatWasOnlyLookedAtIsClosedWhenItGoes) {
    auto second = plug_in("Second Pad");
    ASSERT_TRUE(second);
    ASSERT_TRUE(gamepad_->has_extended_profile(second->id()));
    const ControllerId gone = second->id();
    second.reset();
    EXPECT_FALSE(listed(gone));
    // SDL keeps a joystick object alive while anyone still holds it open.
    EXPECT_EQ(SDL_GameControllerFromInstanceID(static_cast<SDL_JoystickID>(gone)), nullptr);
}

TEST_F(SdlGamepadTest, TwoControllersAreListedInTheOrderTheyCame) {
    auto second = plug_in("Second Pad");
    ASSERT_TRUE(second);
    const auto ids = gamepad_->controllers();
    const auto first_at = std::find(ids.begin(), ids.end(), pad_->id());
    const auto second_at = std::find(ids.begin(), ids.end(), second->id());
    ASSERT_NE(first_at, ids.end());
    ASSERT_NE(second_at, ids.end());
    EXPECT_LT(first_at, second_at);
    // Each is read on its own.
    second->set_axis(0, 1.0f);
    EXPECT_EQ(read().axes[0], 0.0f);
    EXPECT_EQ(gamepad_->read(second->id())->axes[0], 1.0f);
}

}  // namespace
}  // namespace thumbrover
