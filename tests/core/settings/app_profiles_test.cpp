#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "core/settings/config_file.hpp"

namespace thumbrover {
namespace {

constexpr const char* kVlc =
    "[apps.\"org.videolan.vlc\"]\n"
    "name = \"VLC\"\n"
    "left_stick = \"scroll\"\n"
    "[apps.\"org.videolan.vlc\".buttons]\n"
    "a = \"play-pause\"\n"
    "b_hold = \"none\"\n"
    "left_bumper = \"left\"\n";

TEST(AppProfiles, ReadWriteAndReadBackTheSameRecord) {
    auto read = parse_config(kVlc);
    ASSERT_TRUE(read.ok()) << read.error();
    // The main part of the file is untouched by a profile, and the profile comes after [buttons]
    // under one comment, in the same shape as read; what each value means is checked below.
    const std::string text = config_to_text(*read);
    const std::string main_part = config_to_text(Config{});
    ASSERT_TRUE(text.starts_with(main_part));
    const std::string tail = text.substr(main_part.size());
    EXPECT_TRUE(tail.starts_with("\n# Bindings for one application while it is in front"));
    EXPECT_NE(tail.find("[apps.\"org.videolan.vlc\"]\nname = \"VLC\"\nleft_stick = \"scroll\"\n"
                        "[apps.\"org.videolan.vlc\".buttons]\na = \"play-pause\"\n"
                        "b_hold = \"none\"\nleft_bumper = \"left\"\n"),
              std::string::npos)
        << tail;
    EXPECT_EQ(parse_config(text).value(), *read);

    // Identities and names that need escaping survive too, and a second profile keeps its place.
    Config odd = *read;
    AppProfile quoted;
    quoted.id = "we\"ird\\app";
    quoted.name = "Tab\there \u00e9";
    odd.apps.push_back(quoted);
    EXPECT_EQ(parse_config(config_to_text(odd)).value(), odd);
}

TEST(AppProfiles, OverridesOnlyWhatTheProfileSets) {
    Config config = parse_config(kVlc).value();
    const Config in_vlc = config_for_app(config, "ORG.videolan.VLC");
    EXPECT_EQ(in_vlc.left_stick, StickRole::Scroll);
    EXPECT_EQ(binding_of(in_vlc.buttons, Button::A).press, Action(ActionKind::PlayPause));
    // B keeps its main press action; its hold is turned off.
    EXPECT_EQ(binding_of(in_vlc.buttons, Button::B),
              (Binding{Action(ActionKind::RightClick), Action()}));
    EXPECT_EQ(binding_of(in_vlc.buttons, Button::X), binding_of(config.buttons, Button::X));
    EXPECT_EQ(config_for_app(config, "firefox"), config);
    EXPECT_EQ(config_for_app(config, ""), config);
}

std::string many_apps(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "[apps.\"app" + std::to_string(i) + "\"]\nname = \"A\"\n";
    return text;
}

TEST(AppProfiles, MistakesNameTheApplication) {
    const std::pair<std::string, std::string> cases[] = {
        {"[apps.vlc.buttons]\nq = \"mute\"\n",
         "line 2, column 1: unknown button `q` in application `vlc`"},
        {"[apps.vlc.buttons]\na = \"jump\"\n",
         "line 2, column 5: unknown action `jump` for `a` in application `vlc`"},
        {"[apps.vlc.buttons]\na = 3\n",
         "line 2, column 5, key `apps.\"vlc\".buttons.a`: invalid type: integer `3`, expected a "
         "string"},
        {"[apps.vlc]\ncolour = 1\n",
         "line 2, column 1: unknown field `colour` in application `vlc`, expected one of `name`, "
         "`left_stick`, `right_stick`, `buttons`, `shifted`"},
        {"[apps.vlc]\nleft_stick = \"Pointer\"\n",
         "line 2, column 14, key `apps.\"vlc\".left_stick`: unknown variant `Pointer`, expected "
         "one of `pointer`, `scroll`, `none`"},
        {"[apps.Firefox]\n[apps.firefox]\n",
         "line 2, column 7: duplicate application `firefox`: the same as `Firefox`"},
        {"[apps.\"\"]\n", "line 1, column 7: an application identity cannot be empty"},
        {"[apps.\" vlc\"]\n",
         "line 1, column 7: application identity ` vlc` starts or ends with a blank"},
        {"[apps.\"a\\tb\"]\n",
         "line 1, column 7: application identity `a\\tb` holds a control character"},
        {"[apps.\"" + std::string(256, 'x') + "\"]\n", "line 1, column 7: application identity `" +
                                                           std::string(200, 'x') +
                                                           "\u2026` is longer than 255 bytes"},
        {"apps = 3\n", "line 1, column 8, key `apps`: invalid type: integer `3`, expected a table"},
        {"apps.vlc = 3\n",
         "line 1, column 12, key `apps.\"vlc\"`: invalid type: integer `3`, expected a table"},
        {many_apps(101),
         "line 201, column 7: too many applications: at most 100 may have their "
         "own bindings"},
        {many_apps(100), "<accepted>"},
    };
    for (const auto& [text, expected] : cases) {
        auto config = parse_config(text);
        EXPECT_EQ(config.ok() ? "<accepted>" : config.error(), expected) << text;
    }
}

}  // namespace
}  // namespace thumbrover
