#include "core/ui/settings_window.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "recording_effects.hpp"

namespace thumbrover {
namespace {

using testing::RecordingEffects;

constexpr std::int64_t kPointerSpeed = 0, kPrecise = 1, kDeadzone = 2, kCurve = 3, kCircle = 4,
                       kScroll = 5, kHold = 6, kXboxHold = 7, kRepeatEvery = 11;

TEST(Sliders, MovingASliderStoresTheSnappedValueAndShowsItsLabel) {
    struct Case {
        std::int64_t tag;
        double moved_to;
        double stored;  // as read back, widened from the field's type
        const char* label;
    };
    const Case cases[] = {
        {kScroll, 1829, 1800.0, "15.0 notches/s"},
        {kScroll, 1830, 1860.0, "15.5 notches/s"},  // 30.5 steps, away from zero
        {kDeadzone, 0.125, static_cast<double>(0.13f), "13 %"},
        {kHold, 155, 160, "160 ms"},
        {kHold, 154, 150, "150 ms"},
        {kPointerSpeed, 812.5, 813, "813 px/s"},
        {kPointerSpeed, 812.49, 812, "812 px/s"},
        {kPrecise, 0.35, static_cast<double>(0.35f), "35 %"},
        {kPrecise, 0.37, static_cast<double>(0.35f), "35 %"},
        {kCurve, 2.25, static_cast<double>(2.3f), "2.3"},
        {kCircle, 1.549, static_cast<double>(1.5f), "1.5\u00d7"},
        {kXboxHold, 1005, 1010, "1010 ms"},
        {kRepeatEvery, 50, 50, "50 ms"},
    };
    for (const Case& c : cases) {
        RecordingEffects effects;
        SettingsStore store(effects);
        const std::optional<std::string> label = settings_slider_changed(store, c.tag, c.moved_to);
        ASSERT_TRUE(label.has_value()) << c.tag;
        EXPECT_EQ(*label, c.label) << c.tag << " at " << c.moved_to;
        EXPECT_EQ(slider_specs()[static_cast<std::size_t>(c.tag)].read(store.get()), c.stored)
            << c.tag << " at " << c.moved_to;
    }
}

TEST(Sliders, FieldsKeepTheirOwnTypes) {
    RecordingEffects effects;
    SettingsStore store(effects);
    settings_slider_changed(store, kScroll, 1829);
    settings_slider_changed(store, kDeadzone, 0.125);
    settings_slider_changed(store, kHold, 155);
    EXPECT_EQ(store.get().scroll_speed, 1800.0f);
    EXPECT_EQ(store.get().stick_deadzone, 0.13f);
    EXPECT_EQ(store.get().hold_ms, 160u);
    // A single-precision field reads back widened, not as the decimal it was set from.
    EXPECT_EQ(slider_specs()[kPrecise].read(Config{}), 0.30000001192092896);
}

TEST(Sliders, ValuesOutsideTheRangeAreHeldToIt) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Config config;
    const auto& specs = slider_specs();
    for (const SliderSpec& spec : specs) {
        for (double wild : {nan, inf, -inf, 1e300, -1e300}) {
            spec.write(config, wild);
            const double stored = spec.read(config);
            EXPECT_GE(stored, spec.minimum - 1e-6) << spec.label << " " << wild;
            EXPECT_LE(stored, spec.maximum + 1e-6) << spec.label << " " << wild;
        }
    }
}

TEST(Sliders, TableOrderSectionsAndRanges) {
    const auto& specs = slider_specs();
    const char* labels[] = {"Pointer speed",
                            "Precise mode speed",
                            "Stick deadzone",
                            "Response curve",
                            "Steering circle size",
                            "Scroll speed",
                            "Hold actions start after",
                            "Hold Xbox to turn off after",
                            "App switcher picks after",
                            "Hide circle after",
                            "Repeat after",
                            "Repeat every"};
    for (std::size_t i = 0; i < kSliderCount; ++i)
        EXPECT_EQ(specs[i].label, labels[i]);
    // Sections come in window order and each slider's section is one of them, never going back.
    std::size_t section = 0;
    for (const SliderSpec& spec : specs) {
        while (section < slider_sections().size() && slider_sections()[section] != spec.section)
            ++section;
        ASSERT_LT(section, slider_sections().size()) << spec.label;
    }
    EXPECT_EQ(specs[kScroll].minimum, 300);
    EXPECT_EQ(specs[kScroll].maximum, 6000);
    EXPECT_EQ(specs[kDeadzone].maximum, 0.4);
    // Every default lies inside its slider's range.
    for (const SliderSpec& spec : specs) {
        EXPECT_GE(spec.read(Config{}), spec.minimum) << spec.label;
        EXPECT_LE(spec.read(Config{}), spec.maximum) << spec.label;
    }
}

TEST(Sliders, DefaultRowsShowTheDefaults) {
    const auto rows = slider_rows(Config{});
    const char* texts[] = {"800 px/s",  "30 %",           "12 %",   "2.0",
                           "1.5\u00d7", "15.0 notches/s", "400 ms", "1000 ms",
                           "800 ms",    "1000 ms",        "400 ms", "150 ms"};
    for (std::size_t i = 0; i < kSliderCount; ++i)
        EXPECT_EQ(rows[i].text, texts[i]) << i;
    EXPECT_EQ(rows[kPointerSpeed].value, 800.0);
}

TEST(Sliders, LabelFormats) {
    struct Case {
        ValueFormat format;
        double value;
        const char* text;
    };
    const Case cases[] = {
        {ValueFormat::PixelsPerSecond, 799.6, "800 px/s"},
        {ValueFormat::NotchesPerSecond, 1860, "15.5 notches/s"},
        {ValueFormat::NotchesPerSecond, 300, "2.5 notches/s"},
        {ValueFormat::Percent, static_cast<double>(0.3f), "30 %"},
        {ValueFormat::Times, 3.0, "3.0\u00d7"},
        {ValueFormat::Plain, 1.04, "1.0"},
        {ValueFormat::Milliseconds, 1500, "1500 ms"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(format_slider_value(c.format, c.value), c.text);
}

TEST(Sliders, ATagThatNamesNoSliderChangesNothing) {
    RecordingEffects effects;
    SettingsStore store(effects);
    for (std::int64_t tag : {std::int64_t{-1}, std::int64_t{12}, std::int64_t{1000}})
        EXPECT_FALSE(settings_slider_changed(store, tag, 500).has_value()) << tag;
    EXPECT_TRUE(effects.saved.empty());
    EXPECT_TRUE(effects.sent.empty());
}

TEST(SettingsWindow, RestoreDefaultsKeepsTheBindingsAndResetsEverySlider) {
    RecordingEffects effects;
    effects.file.pointer_speed = 2000.0f;
    effects.file.left_stick = StickRole::Scroll;
    effects.file.hold_ms = 900;
    binding_of(effects.file.buttons, Button::A).press = Action(ActionKind::Mute);
    SettingsStore store(effects);

    const auto rows = settings_restore_defaults(store);

    EXPECT_EQ(rows, slider_rows(Config{}));
    Config expected;
    binding_of(expected.buttons, Button::A).press = Action(ActionKind::Mute);
    EXPECT_EQ(store.get(), expected);
    ASSERT_EQ(effects.saved.size(), 1u);
    EXPECT_EQ(effects.saved[0], expected);
}

TEST(SettingsWindow, AccessibilityRowAndLoginCheckbox) {
    struct Case {
        bool now;
        std::optional<bool> at_start;
        AccessState state;
        const char* symbol;
        Tint tint;
        const char* text;
        bool button;
    };
    const Case cases[] = {
        {true, true, AccessState::Granted, "checkmark.circle.fill", Tint::Green,
         "Accessibility access is on", false},
        {true, std::nullopt, AccessState::Granted, "checkmark.circle.fill", Tint::Green,
         "Accessibility access is on", false},
        {true, false, AccessState::RestartNeeded, "arrow.clockwise.circle.fill", Tint::Orange,
         "Accessibility allowed \u2013 restart Thumbrover to use it", false},
        {false, true, AccessState::Missing, "exclamationmark.triangle.fill", Tint::Orange,
         "Accessibility access is off", true},
        {false, std::nullopt, AccessState::Missing, "exclamationmark.triangle.fill", Tint::Orange,
         "Accessibility access is off", true},
    };
    for (const Case& c : cases) {
        for (const LoginItemState login :
             {LoginItemState::Off, LoginItemState::On, LoginItemState::AwaitingApproval}) {
            const SettingsSystemRows rows = settings_system_rows(c.now, c.at_start, login);
            EXPECT_EQ(rows.access.state, c.state);
            EXPECT_EQ(rows.access.symbol.name, c.symbol);
            EXPECT_EQ(rows.access.symbol.tint, c.tint);
            EXPECT_EQ(rows.access.text, c.text);
            EXPECT_EQ(rows.access.button_visible, c.button);
            EXPECT_EQ(rows.login, login_checkbox(login));
        }
    }
}

TEST(SettingsWindow, OnAnXDisplayTheRowSpeaksOfTheDisplayAndOffersNoPane) {
    const struct {
        bool now;
        std::optional<bool> at_start;
        const char* text;
    } cases[] = {
        {true, true, "The X display accepts input from Thumbrover"},
        {true, false, "The X display accepts input \u2013 restart Thumbrover to use it"},
        {false, true, "The X display does not accept input from Thumbrover"},
    };
    for (const auto& c : cases) {
        const SettingsAccessRow row = settings_access_row(c.now, c.at_start, kXDisplayWording);
        EXPECT_EQ(row.text, c.text);
        EXPECT_FALSE(row.button_visible) << "no privacy pane to open";
    }
}

TEST(TrustAtStart, TheFirstAnswerIsKept) {
    TrustAtStart cell;
    EXPECT_EQ(cell.get(), std::nullopt);
    EXPECT_FALSE(cell.record(false));
    EXPECT_FALSE(cell.record(true));
    EXPECT_EQ(cell.get(), false);
}

}  // namespace
}  // namespace thumbrover
