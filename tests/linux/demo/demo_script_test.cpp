#include "demo/demo_script.hpp"

#include <gtest/gtest.h>

namespace thumbrover {
namespace {

using namespace std::chrono_literals;
using Kind = DemoStep::Kind;

TEST(DemoScript, ReadsEveryKindOfStep) {
    const auto steps = parse_demo_script(
        "# a comment\n"
        "\n"
        "0 say Hello,  world \n"
        "10\tleft_x -0.5\n"
        "10 right_trigger 1\n"
        "250 a 1\r\n"
        "300 xbox 0\n"
        "400 screenshot\n"
        "500 unplug\n"
        "600 plug-in\n");
    ASSERT_TRUE(steps.ok()) << steps.error();
    ASSERT_EQ(steps->size(), 8u);
    const auto& s = *steps;
    EXPECT_EQ(s[0].kind, Kind::Say);
    EXPECT_EQ(s[0].text, "Hello,  world");
    EXPECT_EQ(s[0].line, 3);
    EXPECT_EQ(s[1].kind, Kind::Axis);
    EXPECT_EQ(s[1].index, 0u);
    EXPECT_FLOAT_EQ(s[1].value, -0.5f);
    EXPECT_EQ(s[1].at, 10ms);
    EXPECT_EQ(s[2].index, 5u);
    EXPECT_EQ(s[3].kind, Kind::Button);
    EXPECT_EQ(s[3].index, 0u);
    EXPECT_TRUE(s[3].pressed);
    EXPECT_EQ(s[4].index, 8u);
    EXPECT_FALSE(s[4].pressed);
    EXPECT_EQ(s[5].kind, Kind::Screenshot);
    EXPECT_EQ(s[6].kind, Kind::Unplug);
    EXPECT_EQ(s[7].kind, Kind::PlugIn);
    EXPECT_EQ(s[7].at, 600ms);
}

TEST(DemoScript, NamesTheLineAndTheMistake) {
    const std::pair<const char*, const char*> cases[] = {
        {"x a 1", "line 1: `x` is not a time in milliseconds"},
        {"-5 a 1", "line 1: `-5` is not a time in milliseconds"},
        {"10 a 1\n5 a 0", "line 2: the time goes backwards"},
        {"10", "line 1: nothing to do at 10 ms"},
        {"10 joystick 1", "line 1: unknown control `joystick`"},
        {"10 left_x 1.5", "line 1: `left_x` needs a value from -1 to 1"},
        {"10 left_x nan", "line 1: `left_x` needs a value from -1 to 1"},
        {"10 left_x", "line 1: `left_x` needs a value from -1 to 1"},
        {"10 a 2", "line 1: `a` needs 1 (pressed) or 0 (released)"},
        {"10 a 1 2", "line 1: unexpected `2`"},
        {"10 screenshot now", "line 1: `screenshot` takes no value"},
    };
    for (const auto& [text, error] : cases) {
        SCOPED_TRACE(text);
        const auto steps = parse_demo_script(text);
        ASSERT_FALSE(steps.ok());
        EXPECT_EQ(steps.error(), error);
    }
}

TEST(DemoScript, NamesFollowTheControllersNumbering) {
    ASSERT_EQ(demo_axis_names().size(), 8u);
    ASSERT_EQ(demo_button_names().size(), 11u);
    EXPECT_EQ(demo_axis_names()[3], "right_y");
    EXPECT_EQ(demo_axis_names()[7], "dpad_y");
    EXPECT_EQ(demo_button_names()[6], "view");
    EXPECT_EQ(demo_button_names()[8], "xbox");
    EXPECT_EQ(demo_button_names()[10], "right_stick");
}

TEST(DemoScript, TheDefaultTourReadsAndCoversWhatItPromises) {
    const auto steps = parse_demo_script(default_demo_script());
    ASSERT_TRUE(steps.ok()) << steps.error();
    int screenshots = 0;
    bool xbox_held_a_second = false;
    std::chrono::milliseconds xbox_down{-1};
    for (const DemoStep& step : *steps) {
        if (step.kind == Kind::Screenshot) ++screenshots;
        if (step.kind == Kind::Button && step.index == 8) {
            if (step.pressed)
                xbox_down = step.at;
            else
                xbox_held_a_second = step.at - xbox_down >= 1000ms;
        }
    }
    EXPECT_EQ(screenshots, 1);
    EXPECT_TRUE(xbox_held_a_second);
    EXPECT_LE(steps->back().at, 15s) << "make run must finish quickly";
}

}  // namespace
}  // namespace thumbrover
