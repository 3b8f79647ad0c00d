#include "macos/gamepad_elements.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <optional>

namespace thumbrover {
namespace {

// A controller whose elements read as the test sets them; a button left out of `buttons` is one
// the profile lacks.
struct FakePad {
    std::map<GamepadButton, bool> buttons;
    std::map<GamepadAxis, float> axes;

    [[nodiscard]] GamepadReader reader() const {
        return {
            [this](GamepadButton b) -> std::optional<bool> {
                const auto it = buttons.find(b);
                if (it == buttons.end()) return std::nullopt;
                return it->second;
            },
            [this](GamepadAxis a) {
                const auto it = axes.find(a);
                return it == axes.end() ? 0.0f : it->second;
            },
        };
    }
};

FakePad full_pad() {
    FakePad pad;
    for (const ButtonSource& source : kButtonSources)
        pad.buttons[source.element] = false;
    return pad;
}

TEST(GamepadElements, EachButtonLandsAtItsSnapshotIndex) {
    // The engine's button numbers: A B X Y, bumpers, View Menu Xbox, stick clicks.
    const struct {
        GamepadButton element;
        std::size_t index;
    } cases[] = {
        {GamepadButton::A, 0},
        {GamepadButton::B, 1},
        {GamepadButton::X, 2},
        {GamepadButton::Y, 3},
        {GamepadButton::LeftShoulder, 4},
        {GamepadButton::RightShoulder, 5},
        {GamepadButton::Options, 6},
        {GamepadButton::Menu, 7},
        {GamepadButton::Home, 8},
        {GamepadButton::LeftThumbstickButton, 9},
        {GamepadButton::RightThumbstickButton, 10},
    };
    for (const auto& c : cases) {
        FakePad pad = full_pad();
        pad.buttons[c.element] = true;
        const ControllerSnapshot snapshot = read_snapshot(pad.reader());
        for (std::size_t i = 0; i < kSnapshotButtons; ++i)
            EXPECT_EQ(snapshot.buttons[i], i == c.index) << kButtonSources[c.index].property;
        EXPECT_EQ(snapshot.axes, (std::array<float, kSnapshotAxes>{}));
    }
}

TEST(GamepadElements, AxesGoToTheirIndexWithUpTurnedNegative) {
    const struct {
        GamepadAxis element;
        float reported;
        std::size_t index;
        float expected;
    } cases[] = {
        {GamepadAxis::LeftThumbstickX, 0.5f, 0, 0.5f},
        {GamepadAxis::LeftThumbstickY, 1.0f, 1, -1.0f},  // pushed up
        {GamepadAxis::RightThumbstickX, -0.25f, 2, -0.25f},
        {GamepadAxis::RightThumbstickY, -0.75f, 3, 0.75f},  // pulled down
        {GamepadAxis::LeftTrigger, 0.3f, 4, 0.3f},
        {GamepadAxis::RightTrigger, 1.0f, 5, 1.0f},
        {GamepadAxis::DpadX, -1.0f, 6, -1.0f},
        {GamepadAxis::DpadY, 1.0f, 7, -1.0f},  // D-pad up
    };
    for (const auto& c : cases) {
        FakePad pad = full_pad();
        pad.axes[c.element] = c.reported;
        const ControllerSnapshot snapshot = read_snapshot(pad.reader());
        for (std::size_t i = 0; i < kSnapshotAxes; ++i) {
            EXPECT_EQ(snapshot.axes[i], i == c.index ? c.expected : 0.0f)
                << kAxisSources[c.index].property << " at " << i;
        }
    }
}

TEST(GamepadElements, MissingOptionalButtonsReadReleased) {
    FakePad pad;  // a profile with none of the buttons
    pad.axes[GamepadAxis::LeftTrigger] = 1.0f;
    const ControllerSnapshot snapshot = read_snapshot(pad.reader());
    EXPECT_EQ(snapshot.buttons, (std::array<bool, kSnapshotButtons>{}));
    EXPECT_EQ(snapshot.axes[4], 1.0f);
}

TEST(GamepadElements, ValuesOutsideTheirRangeAreBroughtIn) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        GamepadAxis element;
        float reported;
        std::size_t index;
        float expected;
    } cases[] = {
        {GamepadAxis::LeftThumbstickX, 1.5f, 0, 1.0f},
        {GamepadAxis::LeftThumbstickY, -inf, 1, 1.0f},
        {GamepadAxis::RightThumbstickX, nan, 2, 0.0f},
        {GamepadAxis::LeftTrigger, -0.01f, 4, 0.0f},
        {GamepadAxis::RightTrigger, 2.0f, 5, 1.0f},
        {GamepadAxis::DpadY, nan, 7, 0.0f},
    };
    for (const auto& c : cases) {
        FakePad pad = full_pad();
        pad.axes[c.element] = c.reported;
        const float value = read_snapshot(pad.reader()).axes[c.index];
        EXPECT_FALSE(std::isnan(value)) << kAxisSources[c.index].property;
        EXPECT_EQ(value, c.expected) << kAxisSources[c.index].property;
    }
}

}  // namespace
}  // namespace thumbrover
