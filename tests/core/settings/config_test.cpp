#include "core/settings/config.hpp"

#include <gtest/gtest.h>

#include <string>

namespace thumbrover {
namespace {

TEST(Config, DefaultsAreTheDocumentedValues) {
    const Config c;
    EXPECT_EQ(c.pointer_speed, 800.0f);
    EXPECT_EQ(c.precise_factor, 0.3f);
    EXPECT_EQ(static_cast<double>(c.precise_factor), 0.30000001192092896);
    EXPECT_EQ(c.scroll_speed, 1800.0f);
    EXPECT_EQ(static_cast<double>(c.stick_deadzone), 0.11999999731779099);
    EXPECT_EQ(c.stick_curve, 2.0f);
    EXPECT_EQ(c.circle_scale, 1.5f);
    EXPECT_EQ(c.left_stick, StickRole::Pointer);
    EXPECT_EQ(c.right_stick, StickRole::Scroll);
    EXPECT_EQ(c.hold_ms, 400u);
    EXPECT_EQ(c.xbox_hold_ms, 1000u);
    EXPECT_EQ(c.alt_tab_commit_ms, 800u);
    EXPECT_EQ(c.steering_idle_ms, 1000u);
    EXPECT_EQ(c.volume_delay_ms, 400u);
    EXPECT_EQ(c.volume_repeat_ms, 150u);
    EXPECT_EQ(c.buttons, default_bindings());
}

TEST(StickRole, TextFormsRoundTripAndAnythingElseIsRefused) {
    for (StickRole role : {StickRole::Pointer, StickRole::Scroll, StickRole::None}) {
        auto parsed = parse_stick_role(stick_role_name(role));
        ASSERT_TRUE(parsed.ok());
        EXPECT_EQ(*parsed, role);
    }
    EXPECT_EQ(stick_role_name(StickRole::Pointer), "pointer");
    EXPECT_EQ(stick_role_name(StickRole::Scroll), "scroll");
    EXPECT_EQ(stick_role_name(StickRole::None), "none");

    for (std::string text : {"Pointer", " pointer", "pointer ", "", "SCROLL", "off"}) {
        auto parsed = parse_stick_role(text);
        ASSERT_FALSE(parsed.ok()) << text;
        EXPECT_EQ(parsed.error(),
                  "unknown variant `" + text + "`, expected one of `pointer`, `scroll`, `none`");
    }
}

Config customised() {
    Config c;
    c.pointer_speed = 1234.0f;
    c.stick_deadzone = 0.5f;
    c.left_stick = StickRole::Scroll;
    c.right_stick = StickRole::None;
    c.hold_ms = 250;
    c.volume_repeat_ms = 90;
    binding_of(c.buttons, Button::A).hold = Action(ActionKind::Mute);
    binding_of(c.buttons, Button::Y).press = Action(ActionKind::Launcher);
    return c;
}

TEST(Config, RestoreDefaultSettingsKeepsTheButtons) {
    Config c = customised();
    const Bindings custom_buttons = c.buttons;
    restore_default_settings(c);
    Config expected;
    expected.buttons = custom_buttons;
    EXPECT_EQ(c, expected);
}

TEST(Config, RestoreDefaultButtonsAlsoResetsTheSticksOnly) {
    Config c = customised();
    restore_default_buttons(c);
    Config expected = customised();
    expected.buttons = default_bindings();
    expected.left_stick = StickRole::Pointer;
    expected.right_stick = StickRole::Scroll;
    EXPECT_EQ(c, expected);
    EXPECT_EQ(c.pointer_speed, 1234.0f);
    EXPECT_EQ(c.hold_ms, 250u);
}

TEST(Config, EqualityLooksAtEveryField) {
    const Config base;
    auto differs = [&](auto change) {
        Config c;
        change(c);
        return !(c == base);
    };
    EXPECT_TRUE(differs([](Config& c) { c.pointer_speed = 1.0f; }));
    EXPECT_TRUE(differs([](Config& c) { c.circle_scale = 1.0f; }));
    EXPECT_TRUE(differs([](Config& c) { c.right_stick = StickRole::None; }));
    EXPECT_TRUE(differs([](Config& c) { c.volume_repeat_ms = 1; }));
    EXPECT_TRUE(differs(
        [](Config& c) { binding_of(c.buttons, Button::Xbox).hold = Action(ActionKind::Mute); }));
    EXPECT_EQ(Config{}, base);
}

}  // namespace
}  // namespace thumbrover
