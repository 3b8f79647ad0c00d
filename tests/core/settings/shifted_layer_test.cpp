#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "core/settings/config_command.hpp"
#include "core/settings/config_file.hpp"

namespace thumbrover {
namespace {

constexpr const char* kChords =
    "[buttons]\n"
    "left_trigger = \"shift-layer\"\n"
    "[shifted]\n"
    "right_bumper = \"ctrl+tab\"\n"
    "left_bumper = \"ctrl+shift+tab\"\n"
    "b_hold = \"none\"\n"
    "a = \"none\"\n"
    "[apps.vlc.buttons]\n"
    "x = \"mute\"\n"
    "[apps.vlc.shifted]\n"
    "right_bumper = \"next-track\"\n"
    "y_hold = \"f5\"\n";

TEST(ShiftedLayer, ReadWrittenAndReadBackWithoutLosingAnything) {
    const Config read = parse_config(kChords).value();
    EXPECT_TRUE(is_shift_input(binding_of(read.buttons, Button::LeftTrigger)));
    const auto rb = button_index(Button::RightBumper);
    EXPECT_EQ(read.shifted.press[rb], parse_action("ctrl+tab"));
    EXPECT_EQ(read.shifted.hold[button_index(Button::B)], Action());
    EXPECT_FALSE(read.shifted.press[button_index(Button::X)].has_value());

    const std::string text = config_to_text(read);
    EXPECT_NE(text.find("left_trigger = \"shift-layer\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n[shifted]\na = \"none\"\nb_hold = \"none\"\n"
                        "left_bumper = \"ctrl+shift+tab\"\nright_bumper = \"ctrl+tab\"\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[apps.\"vlc\".buttons]\nx = \"mute\"\n[apps.\"vlc\".shifted]\n"
                        "y_hold = \"f5\"\nright_bumper = \"next-track\"\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(parse_config(text).value(), read);
    EXPECT_EQ(config_to_text(parse_config(text).value()), text);
}

TEST(ShiftedLayer, FilesWithoutItAreWrittenAsBefore) {
    // The comment and the table appear only when the layer says something.
    Config config;
    AppProfile vlc;
    vlc.id = "vlc";
    config.apps.push_back(vlc);
    EXPECT_EQ(config_to_text(config).find("shifted"), std::string::npos);
    config.shifted.press[0] = Action();
    EXPECT_NE(config_to_text(config).find("\n[shifted]\na = \"none\"\n"), std::string::npos);
}

TEST(ShiftedLayer, TheShiftInputsHoldIsOffAndStaysOffInTheFile) {
    // B's default hold (Escape) gives way when the file makes B the shift without naming a hold,
    // and the file written back says so, or reading it would bring Escape back.
    const Config read = parse_config("[buttons]\nb = \"shift-layer\"\n").value();
    EXPECT_EQ(binding_of(read.buttons, Button::B).hold, Action());
    EXPECT_NE(config_to_text(read).find("b = \"shift-layer\"\nb_hold = \"none\"\n"),
              std::string::npos);

    // A hold set on the record otherwise (a window) is never performed and never written.
    Config set;
    binding_of(set.buttons, Button::A) = {Action(ActionKind::Shift), Action(ActionKind::Mute)};
    set.shifted.press[0] = Action(ActionKind::Shift);
    set.shifted.hold[button_index(Button::Xbox)] = Action(ActionKind::Mute);
    const Config back = parse_config(config_to_text(set)).value();
    EXPECT_EQ(binding_of(back.buttons, Button::A).hold, Action());
    EXPECT_TRUE(back.shifted.empty());
}

TEST(ShiftedLayer, AProfilesLayerLiesOverTheMainOne) {
    const Config config = parse_config(kChords).value();
    const Config in_vlc = config_for_app(config, "VLC");
    const auto rb = button_index(Button::RightBumper);
    const auto lb = button_index(Button::LeftBumper);
    const auto y = button_index(Button::Y);
    EXPECT_EQ(in_vlc.shifted.press[rb], Action(ActionKind::NextTrack));
    EXPECT_EQ(in_vlc.shifted.press[lb], config.shifted.press[lb]);
    EXPECT_EQ(in_vlc.shifted.hold[y], parse_action("f5"));

    // Under shift each slot the layer leaves out is the input's own, from the profile too.
    const Bindings shifted = shifted_bindings(in_vlc.buttons, in_vlc.shifted);
    EXPECT_EQ(shifted[rb].press, Action(ActionKind::NextTrack));
    EXPECT_EQ(shifted[button_index(Button::X)].press, Action(ActionKind::Mute));
    EXPECT_EQ(shifted[button_index(Button::B)],
              (Binding{Action(ActionKind::RightClick), Action()}));
    EXPECT_EQ(shifted[y], (Binding{Action(ActionKind::MissionControl), *parse_action("f5")}));
    EXPECT_FALSE(config.apps[0].overrides_nothing());
}

TEST(ShiftedLayer, RefusalsNameTheTable) {
    const std::pair<std::string, std::string> cases[] = {
        {"[shifted]\nq = \"mute\"\n", "line 2, column 1: unknown button `q` in `[shifted]`"},
        {"[shifted]\na = \"jump\"\n",
         "line 2, column 5: unknown action `jump` for `a` in `[shifted]`"},
        {"[shifted]\na = 1\n",
         "line 2, column 5, key `shifted.a`: invalid type: integer `1`, expected a string"},
        {"shifted = 1\n",
         "line 1, column 11, key `shifted`: invalid type: integer `1`, expected a table"},
        {"[shifted]\nrb = \"shift-layer\"\nright_bumper = \"shift-layer\"\n",
         "line 2, column 1: unknown button `rb` in `[shifted]`"},
        {"[shifted]\nright_bumper = \"shift-layer\"\n",
         "line 2, column 16: `shift-layer` for `right_bumper` in `[shifted]`: the shifted actions "
         "cannot shift again"},
        {"[buttons]\na_hold = \"shift-layer\"\n",
         "line 2, column 10: `shift-layer` for `a_hold` in `[buttons]`: only a press action can "
         "shift"},
        {"[buttons]\nxbox = \"shift-layer\"\n",
         "line 2, column 8: `shift-layer` for `xbox` in `[buttons]`: holding the Xbox button turns "
         "Thumbrover on or off, so it cannot shift"},
        // The hold may come before the press that makes the input shift.
        {"[buttons]\nleft_trigger_hold = \"mute\"\nleft_trigger = \"shift-layer\"\n",
         "line 2, column 21: `left_trigger_hold` in `[buttons]`: `left_trigger` is "
         "`shift-layer`, which has no hold action"},
        {"[buttons]\nleft_trigger_hold = \"none\"\nleft_trigger = \"shift-layer\"\n", "<accepted>"},
        {"[apps.vlc.buttons]\na = \"shift-layer\"\na_hold = \"f1\"\n",
         "line 3, column 10: `a_hold` in `[apps.\"vlc\".buttons]`: `a` is `shift-layer`, which "
         "has no hold action"},
        {"[apps.vlc.buttons]\nxbox = \"shift-layer\"\n",
         "line 2, column 8: `shift-layer` for `xbox` in `[apps.\"vlc\".buttons]`: holding the Xbox "
         "button turns Thumbrover on or off, so it cannot shift"},
        {"[apps.vlc.shifted]\nb_hold = \"shift-layer\"\n",
         "line 2, column 10: `shift-layer` for `b_hold` in `[apps.\"vlc\".shifted]`: the shifted "
         "actions cannot shift again"},
        {"[apps.vlc.shifted]\nbb = \"mute\"\n",
         "line 2, column 1: unknown button `bb` in `[apps.\"vlc\".shifted]`"},
        {"[apps.vlc]\nshifted = []\n",
         "line 2, column 11, key `apps.\"vlc\".shifted`: invalid type: sequence, expected a table"},
        // The Shift key keeps its old name and may stand anywhere, the layer included.
        {"[buttons]\nxbox = \"shift\"\na_hold = \"shift\"\n[shifted]\nb = \"shift\"\n",
         "<accepted>"},
        {"[shifted]\nxbox_hold = \"mute\"\n", "<accepted>"},
    };
    for (const auto& [text, expected] : cases) {
        auto config = parse_config(text);
        EXPECT_EQ(config.ok() ? "<accepted>" : config.error(), expected) << text;
    }
}

TEST(ShiftedLayer, TheDefaultsShowWhereTheLayerGoes) {
    const std::string_view defaults[] = {"defaults"};
    const CommandOutcome shown = run_config_command(defaults, "/nonexistent/config.toml");
    const std::string file = config_to_text(Config{});
    ASSERT_TRUE(shown.out.starts_with(file));
    EXPECT_NE(shown.out.find("\n# [shifted]\n", file.size()), std::string::npos) << shown.out;
    // Only comments are added, so what it shows is still the default settings.
    EXPECT_EQ(parse_config(shown.out).value(), Config{});
}

}  // namespace
}  // namespace thumbrover
