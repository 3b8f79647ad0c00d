#include "core/settings/config_file.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include "core/bindings/labels.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/common/text.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::put;
using testing::slurp;
namespace fs = std::filesystem;
using testing::TempDir;

Config parsed(const std::string& text) {
    auto config = parse_config(text);
    EXPECT_TRUE(config.ok()) << config.error();
    return config.ok() ? *config : Config{};
}

// What the parser says of a text it refuses; "<accepted>" for one it takes.
std::string refusal(const std::string& text) {
    auto config = parse_config(text);
    return config.ok() ? "<accepted>" : config.error();
}

std::string line_of(const std::string& text, int number) {
    std::size_t start = 0;
    for (int i = 1; i < number; ++i)
        start = text.find('\n', start) + 1;
    return text.substr(start, text.find('\n', start) - start);
}

// ---------------------------------------------------------------- writing

TEST(ConfigToText, DefaultsMatchTheGoldenFile) {
    const std::string text = config_to_text(Config{}, mac_labels());
    EXPECT_EQ(text, slurp(fs::path(THUMBROVER_TEST_DATA) / "default-config.toml"));
    // The template: 40 lines of text and their line feeds.
    EXPECT_EQ(text.find("a = \"left-click\""), 1955u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 40 + 18);
}

// Linux's comment calls the Meta modifier Super; the lines and the values are the same.
TEST(ConfigToText, LinuxCommentNamesSuper) {
    const std::string text = config_to_text(Config{}, linux_labels());
    EXPECT_EQ(line_of(text, 38),
              "# volume-down, mute, none, or a key or shortcut such as \"escape\", "
              "\"enter\", \"f5\", \"super+w\" or");
    EXPECT_EQ(line_of(text, 39), "# \"ctrl+shift+t\" (modifiers: ctrl, alt, shift, super).");
    std::string mac = config_to_text(Config{}, mac_labels());
    for (std::size_t at = mac.find("cmd"); at != std::string::npos; at = mac.find("cmd"))
        mac.replace(at, 3, "super");
    EXPECT_EQ(text, mac);
}

TEST(ConfigToText, PutsEveryValueOnItsTemplateLine) {
    Config c;
    c.pointer_speed = 1000.0f;
    c.precise_factor = 0.25f;
    c.scroll_speed = -3.0f;
    c.stick_deadzone = 0.1f;
    c.stick_curve = 1e20f;
    c.circle_scale = 1.5e-5f;
    c.left_stick = StickRole::None;
    c.right_stick = StickRole::Pointer;
    c.hold_ms = 0;
    c.xbox_hold_ms = 12;
    c.alt_tab_commit_ms = 34;
    c.steering_idle_ms = 56;
    c.volume_delay_ms = 78;
    c.volume_repeat_ms = 90;
    binding_of(c.buttons, Button::B).hold = Action();
    binding_of(c.buttons, Button::A).hold = Action(ActionKind::Mute);
    binding_of(c.buttons, Button::Xbox).hold = Action(ActionKind::Mute);
    const std::string text = config_to_text(c);
    const std::pair<int, std::string> expected[] = {
        {7, "pointer_speed = 1000.0"},
        {9, "precise_factor = 0.25"},
        {11, "scroll_speed = -3.0"},
        {13, "stick_deadzone = 0.1"},
        {15, "stick_curve = 1e20"},
        {17, "circle_scale = 1.5e-5"},
        {19, "left_stick = \"none\""},
        {20, "right_stick = \"pointer\""},
        {23, "hold_ms = 0"},
        {25, "xbox_hold_ms = 12"},
        {27, "alt_tab_commit_ms = 34"},
        {29, "steering_idle_ms = 56"},
        {31, "volume_delay_ms = 78"},
        {32, "volume_repeat_ms = 90"},
        {41, "a = \"left-click\""},
        {42, "a_hold = \"mute\""},
        {43, "b = \"right-click\""},
        {44, "b_hold = \"none\""},
        {59, "xbox = \"launcher\""},
    };
    for (const auto& [number, line] : expected)
        EXPECT_EQ(line_of(text, number), line) << number;
    EXPECT_EQ(text.find("\nxbox_hold ="), std::string::npos);
}

TEST(ConfigToText, TheUpdateCheckIsWrittenOnlyWhenItIsOff) {
    // A file that never mentions it reads and writes as before the setting existed.
    EXPECT_EQ(config_to_text(parsed("check_for_updates = true\n")), config_to_text(Config{}));
    const Config off = parsed("check_for_updates = false\n");
    EXPECT_FALSE(off.check_for_updates);
    const std::string text = config_to_text(off);
    EXPECT_EQ(line_of(text, 32), "volume_repeat_ms = 150");
    EXPECT_TRUE(line_of(text, 33).starts_with("# Whether to ask once a day"));
    EXPECT_EQ(line_of(text, 34), "check_for_updates = false");
    EXPECT_EQ(parsed(text), off);
    // Restoring the sliders' defaults leaves the user's choice about the network alone.
    Config restored = off;
    restore_default_settings(restored);
    EXPECT_FALSE(restored.check_for_updates);
    EXPECT_EQ(parse_config("check_for_updates = 1\n").error(),
              "line 1, column 21, key `check_for_updates`: invalid type: integer `1`, expected a "
              "boolean");
}

TEST(FormatSettingFloat, ShortestTextInPlainOrExponentNotation) {
    const std::pair<float, std::string> cases[] = {
        {800.0f, "800.0"},
        {0.3f, "0.3"},
        {0.12f, "0.12"},
        {0.1f, "0.1"},
        {1.0f, "1.0"},
        {0.0f, "0.0"},
        {-0.0f, "-0.0"},
        {-2.5f, "-2.5"},
        {123456.75f, "123456.75"},
        {1e-4f, "0.0001"},
        {0.00012345f, "0.00012345"},
        {9.99e-5f, "9.99e-5"},
        {1.5e-5f, "1.5e-5"},
        {-1.5e-5f, "-1.5e-5"},
        {1e15f, "1000000000000000.0"},
        {1e16f, "1e16"},
        {1.2345e17f, "1.2345e17"},
        {16777216.0f, "16777216.0"},
        {std::numeric_limits<float>::max(), "3.4028235e38"},
        {std::numeric_limits<float>::denorm_min(), "1e-45"},
        {std::numeric_limits<float>::infinity(), "inf"},
        {-std::numeric_limits<float>::infinity(), "-inf"},
        {std::numeric_limits<float>::quiet_NaN(), "nan"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(format_setting_float(value), text) << text;
}

TEST(FormatSettingFloat, EveryTextReadsBackToTheSameFloat) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> bits;
    int checked = 0;
    while (checked < 20000) {
        const float value = std::bit_cast<float>(bits(random));
        if (!std::isfinite(value)) continue;
        ++checked;
        const std::string text = format_setting_float(value);
        auto config = parse_config("stick_curve = " + text + "\n");
        ASSERT_TRUE(config.ok()) << text << ": " << config.error();
        ASSERT_EQ(std::bit_cast<std::uint32_t>(config->stick_curve),
                  std::bit_cast<std::uint32_t>(value))
            << text;
    }
}

TEST(ConfigToText, MillisecondsBeyondTheFileFormatAreCappedSoTheFileStillLoads) {
    Config c;
    c.hold_ms = std::numeric_limits<std::uint64_t>::max();
    c.volume_repeat_ms = std::uint64_t{1} << 63;
    const std::string text = config_to_text(c);
    EXPECT_EQ(line_of(text, 23), "hold_ms = 9223372036854775807");
    EXPECT_EQ(line_of(text, 32), "volume_repeat_ms = 9223372036854775807");
    const Config back = parsed(text);
    EXPECT_EQ(back.hold_ms, 9223372036854775807u);
}

// ---------------------------------------------------------------- round trips

Action random_action(std::mt19937& random) {
    std::uniform_int_distribution<int> pick(0, 20);
    const int choice = pick(random);
    if (choice < 15) return Action(static_cast<ActionKind>(choice));
    // Only keys the file can spell (kinds 0 to 20) can come back from it.
    std::uniform_int_distribution<int> kind(0, 20);
    auto make_key = [&] {
        const auto k = static_cast<KeyKind>(kind(random));
        if (k == KeyKind::Letter) return Key::letter(static_cast<char>('a' + random() % 26));
        if (k == KeyKind::Digit) return Key::digit(static_cast<std::uint8_t>(random() % 10));
        if (k == KeyKind::F) return Key::function(static_cast<std::uint8_t>(1 + random() % 12));
        return Key(k);
    };
    std::vector<Key> modifiers;
    for (KeyKind m : {KeyKind::Ctrl, KeyKind::Shift, KeyKind::Alt, KeyKind::Meta})
        if (random() % 3 == 0) modifiers.emplace_back(m);
    return Action(make_shortcut(std::move(modifiers), make_key()));
}

Config random_config(std::mt19937& random) {
    std::uniform_int_distribution<std::uint32_t> bits;
    std::uniform_int_distribution<std::uint64_t> millis(0,
                                                        std::numeric_limits<std::int64_t>::max());
    auto finite_float = [&] {
        for (;;) {
            const float f = std::bit_cast<float>(bits(random));
            if (!std::isnan(f)) return f;
        }
    };
    auto role = [&] { return static_cast<StickRole>(random() % 3); };
    Config c;
    for (float* f : {&c.pointer_speed, &c.precise_factor, &c.scroll_speed, &c.stick_deadzone,
                     &c.stick_curve, &c.circle_scale})
        *f = finite_float();
    c.left_stick = role();
    c.right_stick = role();
    for (std::uint64_t* ms : {&c.hold_ms, &c.xbox_hold_ms, &c.alt_tab_commit_ms,
                              &c.steering_idle_ms, &c.volume_delay_ms, &c.volume_repeat_ms})
        *ms = random() % 2 ? millis(random) : random() % 5000;
    c.check_for_updates = random() % 2 == 0;
    for (Button b : all_buttons()) {
        binding_of(c.buttons, b).press = random_action(random);
        binding_of(c.buttons, b).hold = b == Button::Xbox ? Action() : random_action(random);
    }
    // A shifted layer of a few entries, of any action but the shift itself.
    for (int n = static_cast<int>(random() % 4); n > 0; --n) {
        const std::size_t i = random() % kButtonCount;
        auto& slot = random() % 2 || i == button_index(Button::Xbox) ? c.shifted.press[i]
                                                                     : c.shifted.hold[i];
        slot = random_action(random);
    }
    return c;
}

TEST(ConfigRoundTrip, RandomConfigsReloadEqualAndTheTextIsAFixedPoint) {
    std::mt19937 random(2024);
    for (int i = 0; i < 500; ++i) {
        const Config c = random_config(random);
        const std::string text = config_to_text(c);
        auto back = parse_config(text);
        ASSERT_TRUE(back.ok()) << back.error() << "\n" << text;
        ASSERT_EQ(*back, c) << text;
        ASSERT_EQ(config_to_text(*back), text);
    }
}

TEST(ConfigRoundTrip, NonFiniteDecimalsAreWrittenSoThatTheyReadBack) {
    const Config c = parsed(
        "pointer_speed = nan\nprecise_factor = +nan\nscroll_speed = -nan\n"
        "stick_deadzone = inf\nstick_curve = -inf\ncircle_scale = +inf\n");
    EXPECT_TRUE(std::isnan(c.pointer_speed));
    EXPECT_TRUE(std::isnan(c.precise_factor));
    EXPECT_TRUE(std::isnan(c.scroll_speed));
    EXPECT_EQ(c.stick_deadzone, std::numeric_limits<float>::infinity());
    EXPECT_EQ(c.stick_curve, -std::numeric_limits<float>::infinity());
    EXPECT_EQ(c.circle_scale, std::numeric_limits<float>::infinity());
    const std::string text = config_to_text(c);
    EXPECT_EQ(line_of(text, 7), "pointer_speed = nan");
    EXPECT_EQ(line_of(text, 15), "stick_curve = -inf");
    const Config back = parsed(text);
    EXPECT_TRUE(std::isnan(back.pointer_speed));
    EXPECT_EQ(back.stick_curve, -std::numeric_limits<float>::infinity());
    EXPECT_EQ(config_to_text(back), text);
}

TEST(ConfigRoundTrip, DecimalsBeyondTheFloatRangeBecomeInfinity) {
    EXPECT_EQ(parsed("pointer_speed = 1e300\n").pointer_speed,
              std::numeric_limits<float>::infinity());
    EXPECT_EQ(parsed("pointer_speed = -1e39\n").pointer_speed,
              -std::numeric_limits<float>::infinity());
    EXPECT_EQ(parsed("pointer_speed = 3.4028235e38\n").pointer_speed,
              std::numeric_limits<float>::max());
    EXPECT_EQ(parsed("pointer_speed = 1e-60\n").pointer_speed, 0.0f);
}

// ---------------------------------------------------------------- hand edits

TEST(ConfigHandEdits, AreReadAndComeBackInTemplateForm) {
    const std::string edited =
        "# my own notes\n"
        "[buttons]\n"
        "xbox = \"mute\"   # the big button\n"
        "a_hold = \"Cmd + Shift + T\"\n"
        "b_hold = \"\"\n";
    const std::string reordered =
        "volume_repeat_ms = 90\n"
        "right_stick = \"none\"\n"
        "b_hold_ms = 300\n"
        "pointer_speed = 1000\n"
        "stick_deadzone = 2.0\n"
        "scroll_speed = -5\n" +
        edited;
    const Config c = parsed(reordered);
    EXPECT_EQ(c.volume_repeat_ms, 90u);
    EXPECT_EQ(c.right_stick, StickRole::None);
    EXPECT_EQ(c.hold_ms, 300u);
    EXPECT_EQ(c.pointer_speed, 1000.0f);
    EXPECT_EQ(c.stick_deadzone, 2.0f);
    EXPECT_EQ(c.scroll_speed, -5.0f);
    EXPECT_EQ(binding_of(c.buttons, Button::Xbox).press, Action(ActionKind::Mute));
    EXPECT_TRUE(binding_of(c.buttons, Button::B).hold.is_none());

    const std::string text = config_to_text(c);
    EXPECT_EQ(line_of(text, 7), "pointer_speed = 1000.0");
    EXPECT_EQ(line_of(text, 23), "hold_ms = 300");
    EXPECT_EQ(text.find("b_hold_ms"), std::string::npos);
    EXPECT_EQ(text.find("my own notes"), std::string::npos);
    EXPECT_NE(text.find("\na_hold = \"shift+cmd+t\"\n"), std::string::npos);
    EXPECT_NE(text.find("\nb_hold = \"none\"\n"), std::string::npos);
    EXPECT_EQ(parsed(text), c);
}

TEST(ConfigHandEdits, MissingKeysKeepTheirDefaults) {
    for (const std::string text : {"", "\n\n# nothing here\n", "[buttons]\n"}) {
        EXPECT_EQ(parsed(text), Config{}) << text;
    }
    Config expected;
    expected.pointer_speed = 1000.0f;
    EXPECT_EQ(parsed("pointer_speed = 1000.0"), expected);
    EXPECT_EQ(parsed(config_to_text(Config{})), Config{});
}

TEST(ConfigHandEdits, DottedAndInlineTablesAreTheSameTable) {
    const Config dotted = parsed("buttons.a = \"mute\"\n");
    const Config inline_table = parsed("buttons = { a = \"mute\" }\n");
    EXPECT_EQ(binding_of(dotted.buttons, Button::A).press, Action(ActionKind::Mute));
    EXPECT_EQ(dotted, inline_table);
}

// ---------------------------------------------------------------- mistakes

constexpr const char* kExpected =
    "one of `pointer_speed`, `precise_factor`, `scroll_speed`, `stick_deadzone`, `stick_curve`, "
    "`circle_scale`, `left_stick`, `right_stick`, `b_hold_ms`, `hold_ms`, `xbox_hold_ms`, "
    "`alt_tab_commit_ms`, `steering_idle_ms`, `volume_delay_ms`, `volume_repeat_ms`, "
    "`check_for_updates`, `buttons`, `shifted`, `apps`";

TEST(ConfigMistakes, ReportTheLineColumnKeyAndExactMessage) {
    const std::pair<std::string, std::string> cases[] = {
        {"pointer_sped = 900.0\n",
         std::string("line 1, column 1: unknown field `pointer_sped`, expected ") + kExpected},
        {"Hold_ms = 3\n",
         std::string("line 1, column 1: unknown field `Hold_ms`, expected ") + kExpected},
        {"hold_ms = 300\nb_hold_ms = 200\n", "line 2, column 1: duplicate field `hold_ms`"},
        {"b_hold_ms = 200\nhold_ms = 300\n", "line 2, column 1: duplicate field `hold_ms`"},
        {"hold_ms = -1\n",
         "line 1, column 11, key `hold_ms`: invalid value: integer `-1`, expected u64"},
        {"b_hold_ms = -7\n",
         "line 1, column 13, key `b_hold_ms`: invalid value: integer `-7`, expected u64"},
        {"hold_ms = 400.0\n",
         "line 1, column 11, key `hold_ms`: invalid type: floating point `400.0`, expected u64"},
        {"xbox_hold_ms = \"x\"\n",
         "line 1, column 16, key `xbox_hold_ms`: invalid type: string \"x\", expected u64"},
        {"volume_delay_ms = true\n",
         "line 1, column 19, key `volume_delay_ms`: invalid type: boolean `true`, expected u64"},
        {"pointer_speed = \"fast\"\n",
         "line 1, column 17, key `pointer_speed`: invalid type: string \"fast\", expected f32"},
        {"stick_curve = [1.0]\n",
         "line 1, column 15, key `stick_curve`: invalid type: sequence, expected f32"},
        {"circle_scale = { a = 1 }\n",
         "line 1, column 16, key `circle_scale`: invalid type: map, expected f32"},
        {"stick_deadzone = 1979-05-27\n",
         "line 1, column 18, key `stick_deadzone`: invalid type: datetime `1979-05-27`, "
         "expected f32"},
        {"left_stick = \"Pointer\"\n",
         "line 1, column 14, key `left_stick`: unknown variant `Pointer`, expected one of "
         "`pointer`, `scroll`, `none`"},
        {"right_stick = \" pointer\"\n",
         "line 1, column 15, key `right_stick`: unknown variant ` pointer`, expected one of "
         "`pointer`, `scroll`, `none`"},
        {"left_stick = 1\n",
         "line 1, column 14, key `left_stick`: invalid type: integer `1`, expected one of "
         "`pointer`, `scroll`, `none`"},
        {"[buttons]\nA = \"left-click\"\n", "line 2, column 1: unknown button `A`"},
        {"[buttons]\n_hold = \"mute\"\n", "line 2, column 1: unknown button `_hold`"},
        {"[buttons]\na_hold = \"hold\"\n", "line 2, column 10: unknown action `hold` for `a_hold`"},
        {"[buttons]\nb = \"Left-Click\"\n",
         "line 2, column 5: unknown action `Left-Click` for `b`"},
        {"[buttons]\na = 5\n",
         "line 2, column 5, key `buttons.a`: invalid type: integer `5`, expected a string"},
        {"[buttons]\nnope = 5\n", "line 2, column 1: unknown button `nope`"},
        {"buttons = \"a\"\n",
         "line 1, column 11, key `buttons`: invalid type: string \"a\", expected a table"},
        {"pointer_speed = \"tab\\there \\\"q\\\"\"\n",
         "line 1, column 17, key `pointer_speed`: invalid type: string \"tab\\there \\\"q\\\"\", "
         "expected f32"},
        // Reports stay on one line and never pass control characters to a terminal.
        {"[buttons]\na = \"x\\ny\\u001b[2J\"\n",
         "line 2, column 5: unknown action `x\\ny\\u{1b}[2J` for `a`"},
        {"\"new\\nline\" = 1\n",
         std::string("line 1, column 1: unknown field `new\\nline`, expected ") + kExpected},
        // A setting written after the [buttons] header belongs to that table.
        {config_to_text(Config{}) + "hold_ms = 300\n",
         "line 59, column 1: unknown button `hold_ms`"},
        // The first mistake in the file is the one reported, whatever the key order.
        {"zeta = 1\nalpha = 2\n",
         std::string("line 1, column 1: unknown field `zeta`, expected ") + kExpected},
        {"[buttons]\ny = \"bad action\"\na = \"also bad\"\n",
         "line 2, column 5: unknown action `bad action` for `y`"},
    };
    for (const auto& [text, report] : cases)
        EXPECT_EQ(refusal(text), report) << text;
}

TEST(ConfigMistakes, MalformedInputIsAReportNeverACrash) {
    std::string deep = "x = ";
    for (int i = 0; i < 1000; ++i)
        deep += "{ a = ";
    deep += "1";
    for (int i = 0; i < 1000; ++i)
        deep += " }";
    std::string garbage;
    std::mt19937 random(1);
    for (int i = 0; i < 4096; ++i)
        garbage.push_back(static_cast<char>(random() % 256));
    const std::pair<std::string, std::string> cases[] = {
        {"a = 1\na = 2\n", "line 2, column "},
        {"hold_ms = 300\nhold_ms = 300\n", "line 2, column "},
        {"[buttons]\n[buttons]\n", "line 2, column "},
        {"hold_ms = 99999999999999999999\n", "line 1, column "},
        {"hold_ms = -99999999999999999999\n", "line 1, column "},
        {"left_stick = \"\xff\xfe\"\n", "line 1, column "},
        {"pointer_speed = \n", "line 1, column "},
        {"pointer_speed = 1.0.0\n", "line 1, column "},
        {std::string("hold_ms = 1\0\n", 13), "line 1, column "},
        {deep, "line 1, column "},
        {garbage, "line "},
    };
    for (const auto& [text, prefix] : cases) {
        auto config = parse_config(text);
        ASSERT_FALSE(config.ok()) << text.substr(0, 60);
        EXPECT_THAT(config.error(), ::testing::StartsWith(prefix));
        EXPECT_EQ(config.error().find('\n'), std::string::npos) << "one line: " << config.error();
    }
}

std::string repeated(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

TEST(ConfigMistakes, DeeplyDottedKeysAreRefusedBeforeTheyReachTheParser) {
    const std::string deep = repeated("a.", 50000) + "a";
    const std::string refused = "line 1, column 514: nested more than 256 levels deep";
    const std::pair<std::string, std::string> cases[] = {
        {deep + " = 1\n", refused},
        {"[" + deep + "]\n", "line 1, column 513: nested more than 256 levels deep"},
        {"[buttons]\n" + deep + " = \"mute\"\n",
         "line 2, column 514: nested more than 256 levels deep"},
        {"x = { " + deep + " = 1 }\n", "line 1, column 518: nested more than 256 levels deep"},
    };
    for (const auto& [text, report] : cases)
        EXPECT_EQ(refusal(text), report);
}

// Breadth is not depth: a long line of values or keys is refused, if at all, for what it says.
TEST(ConfigMistakes, WideButShallowTextsAreNotReportedAsNesting) {
    std::string inline_keys;
    for (int i = 0; i < 300; ++i)
        inline_keys += (i == 0 ? " k" : ", k") + std::to_string(i) + ".v = 1";
    const std::pair<std::string, std::string> cases[] = {
        {"x = [" + repeated("[1], ", 1000) + "]\n",
         std::string("line 1, column 1: unknown field `x`, expected ") + kExpected},
        {"pointer_speed = [" + repeated("1.5, ", 1000) + "]\n",
         "line 1, column 17, key `pointer_speed`: invalid type: sequence, expected f32"},
        {"[buttons]\na = {" + inline_keys + " }\n",
         "line 2, column 5, key `buttons.a`: invalid type: map, expected a string"},
    };
    for (const auto& [text, report] : cases)
        EXPECT_EQ(refusal(text), report);
}

// What refusing a text costs stays small however large it is: the parse stops counting at ten
// thousand items, and a message repeats at most the start of a huge value or name.
TEST(ConfigMistakes, HugeTextsAreRefusedCheaplyWithShortReports) {
    std::string headers;
    headers.reserve(16 * 1024 * 1024 + 16);
    for (int i = 0; headers.size() < 16 * 1024 * 1024; ++i)
        headers += "[t" + std::to_string(i) + "]\n";
    // Clipping does not depend on the size; a megabyte keeps the test quick.
    const std::string huge(1024 * 1024, 'x');
    const std::string clipped(kMaxEchoBytes, 'x');
    std::string pairs;
    for (int i = 0; i < 20000; ++i)
        pairs += "k" + std::to_string(i) + " = 1\n";
    const std::pair<std::string, std::string> cases[] = {
        {headers, "line 10001, column 1: more than 10000 keys, tables and values"},
        {pairs, "line 10001, column 8: more than 10000 keys, tables and values"},
        {"x = [" + repeated("1, ", 20000) + "]\n",
         "line 1, column 30001: more than 10000 keys, tables and values"},
        {"left_stick = \"" + huge + "\"\n",
         "line 1, column 14, key `left_stick`: unknown variant `" + clipped +
             "\u2026`, expected one of `pointer`, `scroll`, `none`"},
        {"hold_ms = \"" + huge + "\"\n",
         "line 1, column 11, key `hold_ms`: invalid type: string \"" + clipped +
             "\u2026\", expected u64"},
        {huge + " = 1\n",
         "line 1, column 1: unknown field `" + clipped + "\u2026`, expected " + kExpected},
        {"[buttons]\na = \"" + huge + "\"\n",
         "line 2, column 5: unknown action `" + clipped + "\u2026` for `a`"},
    };
    for (const auto& [text, report] : cases)
        EXPECT_EQ(refusal(text), report);
}

// toml++ words a repeated quoted key with a garbled name; the report gives it as written.
TEST(ConfigMistakes, ARepeatedKeyIsNamedAsWritten) {
    const std::pair<std::string, std::string> cases[] = {
        {"\"ababc\" = 1\n\"ababc\" = 2\n",
         "line 2, column 11: Error while parsing key-value pair: cannot redefine existing "
         "integer '\"ababc\"'"},
        {"'ab' = 1\n'ab'\t= 2\n",
         "line 2, column 8: Error while parsing key-value pair: cannot redefine existing integer "
         "''ab''"},
        {"[buttons]\n\"a\" = \"mute\"\n\"a\" = \"mute\"\n",
         "line 3, column 7: Error while parsing key-value pair: cannot redefine existing string "
         "'\"a\"'"},
        {"x = { \"k\" = 1, \"k\" = 2 }\n",
         "line 1, column 22: Error while parsing key-value pair: cannot redefine existing integer "
         "'\"k\"'"},
        {"[\"x y\"]\n[\"x y\"]\n",
         "line 2, column 1: Error while parsing table header: cannot redefine existing table "
         "'\"x y\"'"},
        {"hold_ms = 1\nhold_ms = 2\n",
         "line 2, column 11: Error while parsing key-value pair: cannot redefine existing integer "
         "'hold_ms'"},
    };
    for (const auto& [text, report] : cases)
        EXPECT_EQ(refusal(text), report);
}

// Some editors save UTF-8 with a byte-order mark; only at the very start is it not a mistake.
TEST(ConfigFile, AByteOrderMarkAtTheStartIsSkipped) {
    Config faster;
    faster.pointer_speed = 900.0f;
    const std::string mark = "\xEF\xBB\xBF";
    auto marked = parse_config(mark + "pointer_speed = 900.0\n");
    ASSERT_TRUE(marked.ok()) << marked.error();
    EXPECT_EQ(*marked, faster);
    auto only_mark = parse_config(mark);
    ASSERT_TRUE(only_mark.ok()) << only_mark.error();
    EXPECT_EQ(*only_mark, Config{});
    auto located = parse_config(mark + "hold_ms = -1\n");
    ASSERT_FALSE(located.ok());
    EXPECT_TRUE(located.error().starts_with("line 1, column 11, key `hold_ms`")) << located.error();
    EXPECT_FALSE(parse_config("hold_ms = 1\n" + mark + "\n").ok());
    EXPECT_FALSE(parse_config(mark + mark + "hold_ms = 1\n").ok());
}

TEST(ConfigFile, AFileMuchLargerThanSettingsIsRefusedUnread) {
    testing::TempDir dir;
    const auto file = dir / "config.toml";
    std::string text = config_to_text(Config{});
    while (text.size() <= kMaxConfigBytes)
        text += "# padding\n";
    testing::put(file, text);
    const ConfigReading reading = read_config(file);
    EXPECT_EQ(reading.status, ConfigStatus::Unreadable);
    EXPECT_EQ(reading.problem, "the file is larger than 1048576 bytes");
}

TEST(ConfigMistakes, DotsInStringsAndCommentsAreNotNesting) {
    const std::string dots = repeated(".", 1000);
    // The report repeats only the start of a long value.
    const auto variant = [](const std::string& value) {
        return "unknown variant `" + clipped_echo(value) +
               "`, expected one of `pointer`, `scroll`, `none`";
    };
    const std::pair<std::string, std::string> cases[] = {
        {"# " + dots + "\nleft_stick = \"" + dots + "\"\n",
         "line 2, column 14, key `left_stick`: " + variant(dots)},
        {"left_stick = '" + dots + "'\n", "line 1, column 14, key `left_stick`: " + variant(dots)},
        {"left_stick = \"\"\"" + dots + "\"\"\"\n",
         "line 1, column 14, key `left_stick`: " + variant(dots)},
        {"left_stick = \"\\\"" + dots + "\"\n",
         "line 1, column 14, key `left_stick`: " + variant("\"" + dots)},
        {"left_stick = \"\"\"\n" + dots + "\n" + dots + "\"\"\"\n",
         "line 1, column 14, key `left_stick`: " + variant(dots + "\n" + dots)},
    };
    for (const auto& [text, report] : cases)
        EXPECT_EQ(refusal(text), report);
    // A hundred key parts still reach the reader, which refuses them as an unknown field.
    auto hundred = parse_config(repeated("a.", 100) + "a = 1\n");
    ASSERT_FALSE(hundred.ok());
    EXPECT_TRUE(hundred.error().starts_with("line 1, column 1: unknown field `a`"));
}

TEST(ConfigMistakes, MutatedFilesEitherLoadOrGiveAOneLineReport) {
    const std::string original = config_to_text(Config{});
    constexpr std::string_view alphabet = "=.[]{}\"'#\\\n ,-+0123456789abxe_";
    std::mt19937 random(99);
    for (int round = 0; round < 3000; ++round) {
        std::string text = original;
        const int edits = 1 + static_cast<int>(random() % 6);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % text.size();
            const char c = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
                case 0:
                    text[at] = c;
                    break;
                case 1:
                    text.insert(at, 1, c);
                    break;
                default:
                    text.erase(at, 1 + random() % 8);
            }
        }
        auto config = parse_config(text);
        if (config.ok()) {
            ASSERT_TRUE(parse_config(config_to_text(*config)).ok()) << text;
        } else {
            ASSERT_TRUE(config.error().starts_with("line ")) << config.error();
            ASSERT_EQ(config.error().find('\n'), std::string::npos) << config.error();
        }
    }
}

TEST(ConfigMistakes, ALargeFileIsReadWhole) {
    std::string big;
    const std::string comment = "# " + std::string(78, 'x') + "\n";
    while (big.size() < 10 * 1024 * 1024)
        big += comment;
    Config expected;
    expected.hold_ms = 123;
    EXPECT_EQ(parsed(big + "hold_ms = 123\n"), expected);
    auto bad = parse_config(big + "hold_ms = oops\n");
    ASSERT_FALSE(bad.ok());
    const auto lines = std::count(big.begin(), big.end(), '\n');
    EXPECT_THAT(bad.error(),
                ::testing::StartsWith("line " + std::to_string(lines + 1) + ", column 11: "));
}

// ---------------------------------------------------------------- files

TEST(ReadConfig, TellsLoadedMissingUnreadableAndMistakeApart) {
    TempDir tmp;
    const fs::path file = tmp / "config.toml";
    EXPECT_EQ(read_config(file).status, ConfigStatus::Missing);

    put(file, "hold_ms = 5\n");
    ConfigReading ok = read_config(file);
    EXPECT_EQ(ok.status, ConfigStatus::Loaded);
    EXPECT_EQ(ok.config.hold_ms, 5u);
    EXPECT_EQ(ok.problem, "");

    put(file, "hold_ms = -5\n");
    ConfigReading mistake = read_config(file);
    EXPECT_EQ(mistake.status, ConfigStatus::Mistake);
    EXPECT_EQ(mistake.config, Config{});
    EXPECT_EQ(mistake.problem,
              "line 1, column 11, key `hold_ms`: invalid value: integer `-5`, expected u64");

    fs::remove(file);
    fs::create_directory(file);
    ConfigReading folder = read_config(file);
    EXPECT_EQ(folder.status, ConfigStatus::Unreadable);
    EXPECT_EQ(folder.problem, "Is a directory");
    EXPECT_EQ(load_config(file), Config{});
}

TEST(SaveConfig, WritesTheTextAndReportsFailures) {
    TempDir tmp;
    Config c;
    c.hold_ms = 333;
    const fs::path file = tmp / "config.toml";
    ASSERT_TRUE(write_config(file, c).ok());
    EXPECT_EQ(slurp(file), config_to_text(c));
    EXPECT_EQ(load_config(file), c);

    const fs::path impossible = tmp / "missing" / "config.toml";
    ::testing::internal::CaptureStderr();
    save_config(c, impossible);
    EXPECT_EQ(
        ::testing::internal::GetCapturedStderr(),
        "thumbrover: could not write " + impossible.string() + ": No such file or directory\n");
}

struct Notification {
    std::string heading;
    std::string body;
};

struct StartLoad {
    Config config;
    std::string stderr_text;
    std::vector<Notification> notifications;
};

StartLoad load_at_start(const fs::path& file) {
    StartLoad out;
    ::testing::internal::CaptureStderr();
    out.config =
        load_config_at_start(file, [&](const std::string& heading, const std::string& body) {
            out.notifications.push_back({heading, body});
        });
    out.stderr_text = ::testing::internal::GetCapturedStderr();
    return out;
}

TEST(LoadConfigAtStart, CreatesAMissingFileAndItsFolders) {
    TempDir tmp;
    const fs::path file = tmp / "a" / "b" / "config.toml";
    const StartLoad load = load_at_start(file);
    EXPECT_EQ(load.config, Config{});
    EXPECT_EQ(load.stderr_text, "");
    EXPECT_TRUE(load.notifications.empty());
    EXPECT_EQ(slurp(file), config_to_text(Config{}));
}

TEST(LoadConfigAtStart, LooksInTheApplicationFolderByDefault) {
    TempDir tmp;
    const testing::ScopedEnv xdg("XDG_CONFIG_HOME", tmp.path().string());
    const Config config = load_config_at_start(nullptr);
    const fs::path expected = tmp / "thumbrover" / "config.toml";
    EXPECT_EQ(config, Config{});
    EXPECT_EQ(config_path(), expected);
    EXPECT_EQ(slurp(expected), config_to_text(Config{}));
}

TEST(LoadConfigAtStart, UsesTheFileWhenItIsRight) {
    TempDir tmp;
    const fs::path file = tmp / "config.toml";
    put(file, "hold_ms = 250\n");
    const StartLoad load = load_at_start(file);
    EXPECT_EQ(load.config.hold_ms, 250u);
    EXPECT_EQ(load.stderr_text, "");
    EXPECT_TRUE(load.notifications.empty());
    EXPECT_EQ(slurp(file), "hold_ms = 250\n");
}

TEST(LoadConfigAtStart, AMistakeIsReportedAndTheFileLeftAlone) {
    struct Case {
        std::string content;
        std::string report;
    };
    const Case cases[] = {
        {"pointer_sped = 900.0\n[buttons]\na = \"mute\"\n",
         std::string("line 1, column 1: unknown field `pointer_sped`, expected ") + kExpected},
        {"left_stick = \"Pointer\"\n",
         "line 1, column 14, key `left_stick`: unknown variant `Pointer`, expected one of "
         "`pointer`, `scroll`, `none`"},
        {"hold_ms = 1\nhold_ms = 2\n", ""},
        {"# caf\xe9\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        TempDir tmp;
        const fs::path file = tmp / "config.toml";
        put(file, c.content);
        const StartLoad load = load_at_start(file);
        EXPECT_EQ(load.config, Config{});
        if (!c.report.empty()) {
            EXPECT_EQ(load.stderr_text, "thumbrover: " + file.string() + ": " + c.report + "\n");
        }
        EXPECT_THAT(load.stderr_text,
                    ::testing::StartsWith("thumbrover: " + file.string() + ": line "));
        ASSERT_EQ(load.notifications.size(), 1u);
        EXPECT_EQ(load.notifications[0].heading, "Thumbrover settings have a mistake");
        // Where the mistake is, so the user can mend it without looking for standard error.
        EXPECT_THAT(load.notifications[0].body, ::testing::StartsWith("config.toml, line "));
        EXPECT_THAT(load.notifications[0].body,
                    ::testing::EndsWith(". Using the default settings for now."));
        if (!c.report.empty()) {
            EXPECT_EQ(load.notifications[0].body,
                      "config.toml, " + c.report + ". Using the default settings for now.");
        }
        EXPECT_EQ(slurp(file), c.content);
    }
}

TEST(LoadConfigAtStart, AFileThatCannotBeReadIsReportedAndLeftAlone) {
    TempDir tmp;
    const fs::path file = tmp / "config.toml";
    fs::create_directory(file);
    const StartLoad load = load_at_start(file);
    EXPECT_EQ(load.config, Config{});
    EXPECT_EQ(load.stderr_text, "thumbrover: " + file.string() + ": Is a directory\n");
    ASSERT_EQ(load.notifications.size(), 1u);
    EXPECT_EQ(load.notifications[0].heading, "Thumbrover could not read its settings");
    EXPECT_EQ(load.notifications[0].body,
              "config.toml: Is a directory. Using the default settings for now.");
    EXPECT_TRUE(fs::is_directory(file));

    if (::geteuid() != 0) {
        TempDir locked;
        const fs::path secret = locked / "config.toml";
        put(secret, "hold_ms = 1\n");
        ::chmod(secret.c_str(), 0);
        const StartLoad denied = load_at_start(secret);
        EXPECT_EQ(denied.config, Config{});
        EXPECT_EQ(denied.stderr_text, "thumbrover: " + secret.string() + ": Permission denied\n");
        ::chmod(secret.c_str(), 0600);
        EXPECT_EQ(slurp(secret), "hold_ms = 1\n");
    }
}

TEST(LoadConfigAtStart, AFolderThatCannotBeCreatedIsReported) {
    TempDir tmp;
    put(tmp / "blocker", "");
    const fs::path file = tmp / "blocker" / "thumbrover" / "config.toml";
    const StartLoad load = load_at_start(file);
    EXPECT_EQ(load.config, Config{});
    EXPECT_THAT(load.stderr_text,
                ::testing::StartsWith("thumbrover: could not write " + file.string() + ": "));
    EXPECT_TRUE(load.notifications.empty());
}

TEST(BackupMistakenConfig, KeepsTheTextBesideTheFile) {
    TempDir tmp;
    const fs::path file = tmp / "config.toml";
    put(file, "pointer_sped = 1\n");
    ASSERT_TRUE(backup_mistaken_config(file).ok());
    EXPECT_EQ(slurp(tmp / "config.toml.bak"), "pointer_sped = 1\n");
    put(file, "second = 2\n");
    ASSERT_TRUE(backup_mistaken_config(file).ok());
    EXPECT_EQ(slurp(tmp / "config.toml.bak"), "second = 2\n");
    EXPECT_FALSE(backup_mistaken_config(tmp / "missing.toml").ok());
}

}  // namespace
}  // namespace thumbrover
