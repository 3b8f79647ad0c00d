#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "core/bindings/buttons.hpp"
#include "core/settings/config.hpp"
#include "core/ui/access.hpp"
#include "core/ui/settings_window.hpp"
#include "qt/buttons_window.hpp"
#include "qt/settings_window.hpp"
#include "qt/setup_window.hpp"
#include "qt/window_widgets.hpp"
#include "window_test_support.hpp"

namespace thumbrover::testing {
namespace {

QPushButton* find_button(QWidget& window, const QString& title) {
    for (auto* button : window.findChildren<QPushButton*>())
        if (button->text().replace(QStringLiteral("&&"), QStringLiteral("&")) == title)
            return button;
    return nullptr;
}

constexpr std::size_t kPointerSpeed = 0;
constexpr std::size_t kDeadzone = 2;
constexpr std::size_t kScrollSpeed = 5;
constexpr std::size_t kHoldMs = 6;

class SettingsWindowTest : public WindowsTest {
  protected:
    SettingsWindow& open() {
        windows_.open_settings();
        return *windows_.settings_window();
    }
};

struct SliderCase {
    std::size_t index;
    int position;  // where the user leaves the slider
    std::string file_line;
    std::string label;
};

TEST_F(SettingsWindowTest, EverySliderMovementIsSnappedSavedShownAndSentToTheEngine) {
    SettingsWindow& window = open();
    const std::vector<SliderCase> cases = {
        {kScrollSpeed, 1829, "scroll_speed = 1800.0", "15.0 notches/s"},
        // 30.5 steps of 60, rounded away from zero.
        {kScrollSpeed, 1830, "scroll_speed = 1860.0", "15.5 notches/s"},
        {kDeadzone, 125, "stick_deadzone = 0.13", "13 %"},
        {kHoldMs, 155, "hold_ms = 160", "160 ms"},
        {kHoldMs, 154, "hold_ms = 150", "150 ms"},
        {kPointerSpeed, 1234, "pointer_speed = 1234.0", "1234 px/s"},
    };
    for (const SliderCase& c : cases) {
        SCOPED_TRACE(c.file_line);
        window.slider(c.index)->setValue(c.position);
        EXPECT_EQ(window.value_label(c.index)->text().toStdString(), c.label);
        // The slider stays where the user put it.
        EXPECT_EQ(window.slider(c.index)->value(), c.position);
        EXPECT_NE(file_text().find(c.file_line + "\n"), std::string::npos) << file_text();
        const std::vector<Config> sent = sent_to_engine();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent.back(), file_config());
    }
    EXPECT_EQ(file_config().scroll_speed, 1860.0f);
}

TEST_F(SettingsWindowTest, OpeningShowsTheFileAndSendsNothing) {
    Config config;
    config.scroll_speed = 2400.0f;
    config.circle_scale = 2.5f;
    ASSERT_TRUE(write_config(file_, config));
    SettingsWindow& window = open();
    EXPECT_EQ(window.slider(kScrollSpeed)->value(), 2400);
    EXPECT_EQ(window.value_label(kScrollSpeed)->text(), QStringLiteral("20.0 notches/s"));
    EXPECT_EQ(window.value_label(4)->text(), QString::fromUtf8("2.5\u00d7"));
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(sent_to_engine().empty());
    EXPECT_TRUE(circle_.scales.empty());
}

TEST_F(SettingsWindowTest, AHandEditShowsOnTheNextOpening) {
    SettingsWindow& window = open();
    window.slider(kHoldMs)->setValue(500);
    window.close();
    EXPECT_FALSE(window.isVisible());

    std::string text = file_text();
    const std::string line = "hold_ms = 500";
    ASSERT_NE(text.find(line), std::string::npos);
    text.replace(text.find(line), line.size(), "hold_ms = 700");
    write_text(file_, text);

    windows_.open_settings();
    EXPECT_EQ(windows_.settings_window(), &window);  // kept, not rebuilt
    EXPECT_EQ(window.slider(kHoldMs)->value(), 700);
    EXPECT_EQ(window.value_label(kHoldMs)->text(), QStringLiteral("700 ms"));
    // The drag before, then the edit, which is in use at once.
    const std::vector<Config> sent = sent_to_engine();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent.back().hold_ms, 700u);
}

TEST_F(SettingsWindowTest, AFileWithAMistakeIsKeptAsBackupBeforeTheFirstChangeReplacesIt) {
    const std::string broken = "# my own notes\npointer_speed = \"fast\"\nhold_ms = 700\n";
    write_text(file_, broken);
    SettingsWindow& window = open();
    // Settings are all or nothing: the window shows the defaults.
    EXPECT_EQ(window.value_label(kHoldMs)->text(), QStringLiteral("400 ms"));
    effects_.flush();
    EXPECT_FALSE(std::filesystem::exists(dir_ / "config.toml.bak"));
    EXPECT_EQ(read_text(file_), broken);

    window.slider(kScrollSpeed)->setValue(2400);
    EXPECT_NE(file_text().find("scroll_speed = 2400.0\n"), std::string::npos);
    EXPECT_EQ(read_text(dir_ / "config.toml.bak"), broken);
    EXPECT_EQ(file_config().hold_ms, 400u);
}

TEST_F(SettingsWindowTest, RestoreDefaultsResetsTheSettingsButKeepsTheButtons) {
    Config config;
    config.pointer_speed = 2000.0f;
    config.hold_ms = 900;
    config.left_stick = StickRole::Scroll;
    binding_of(config.buttons, Button::A).press =
        Action(make_shortcut({Key(KeyKind::Meta)}, Key::letter('w')));
    ASSERT_TRUE(write_config(file_, config));
    SettingsWindow& window = open();
    ASSERT_EQ(window.slider(kPointerSpeed)->value(), 2000);

    QPushButton* restore = find_button(window, QStringLiteral("Restore Defaults"));
    ASSERT_NE(restore, nullptr);
    const auto asked = testing::answer_next_question(QStringLiteral("Restore Defaults"));
    restore->click();
    EXPECT_TRUE(*asked);

    Config expected;
    expected.buttons = config.buttons;
    EXPECT_EQ(file_config(), expected);
    EXPECT_EQ(sent_to_engine(), std::vector<Config>{expected});
    EXPECT_EQ(window.slider(kPointerSpeed)->value(), 800);
    EXPECT_EQ(window.value_label(kPointerSpeed)->text(), QStringLiteral("800 px/s"));
    EXPECT_EQ(window.value_label(kHoldMs)->text(), QStringLiteral("400 ms"));
}

struct AccessCase {
    const PermissionWording* wording;
    bool granted_now;
    std::optional<bool> at_start;
    StatusSymbol symbol;
    const char* text;
    bool button_visible;
};

TEST_F(SettingsWindowTest, ThePermissionRowAndTheLoginBoxFollowTheSystem) {
    SettingsWindow& window = open();
    const PermissionWording* mac = &kAccessibilityWording;
    const PermissionWording* x11 = &kXDisplayWording;
    const std::vector<AccessCase> cases = {
        {mac, true, std::nullopt, kSymbolGranted, "Accessibility access is on", false},
        {mac, true, true, kSymbolGranted, "Accessibility access is on", false},
        {mac, true, false, kSymbolRestart,
         "Accessibility allowed \u2013 restart Thumbrover to use it", false},
        {mac, false, true, kSymbolWarning, "Accessibility access is off", true},
        {mac, false, false, kSymbolWarning, "Accessibility access is off", true},
        // On X11 there is no pane to open, so no button that would do nothing.
        {x11, true, true, kSymbolGranted, "The X display accepts input from Thumbrover", false},
        {x11, false, true, kSymbolWarning, "The X display does not accept input from Thumbrover",
         false},
    };
    for (const AccessCase& c : cases) {
        TrustAtStart trust;
        if (c.at_start) static_cast<void>(trust.record(*c.at_start));
        permission_.granted_now = c.granted_now;
        SettingsWindow other(store_, login_, permission_, trust, {}, *c.wording);
        EXPECT_EQ(other.access_symbol()->symbol(), c.symbol) << c.text;
        EXPECT_EQ(other.access_text()->text(), QString::fromUtf8(c.text));
        EXPECT_EQ(other.privacy_button()->isVisibleTo(&other), c.button_visible) << c.text;
    }
    // The program's own window speaks of the X display.
    permission_.granted_now = false;
    window.refresh_live_rows();
    EXPECT_EQ(window.access_text()->text(),
              QStringLiteral("The X display does not accept input from Thumbrover"));
    EXPECT_FALSE(window.privacy_button()->isVisibleTo(&window));

    // The periodic refresh picks up a change made elsewhere, and leaves the sliders alone.
    permission_.granted_now = true;
    login_.on = true;
    window.slider(kHoldMs)->blockSignals(true);
    window.slider(kHoldMs)->setValue(1000);
    window.slider(kHoldMs)->blockSignals(false);
    window.refresh_live_rows();
    EXPECT_TRUE(window.login_checkbox()->isChecked());
    EXPECT_EQ(window.slider(kHoldMs)->value(), 1000);
}

TEST_F(SettingsWindowTest, WithoutARingTheCircleSizeIsGreyedOutWithTheReason) {
    SettingsWindow& window = open();
    auto* circle = window.findChild<QSlider*>(QStringLiteral("circle_scale"));
    ASSERT_NE(circle, nullptr);
    ASSERT_NE(window.ring_note(), nullptr);
    EXPECT_TRUE(circle->isEnabled());
    EXPECT_FALSE(window.ring_note()->isVisibleTo(&window));
    window.set_ring_unavailable(true);
    EXPECT_FALSE(circle->isEnabled());
    EXPECT_TRUE(window.ring_note()->isVisibleTo(&window));
    EXPECT_EQ(window.ring_note()->text().toStdString(), settings_texts::kRingUnavailable);
    // Only that slider: the others still work.
    EXPECT_TRUE(window.slider(kPointerSpeed)->isEnabled());
    window.set_ring_unavailable(false);
    EXPECT_TRUE(circle->isEnabled());
    EXPECT_FALSE(window.ring_note()->isVisibleTo(&window));
}

TEST_F(SettingsWindowTest, TheLoginBoxShowsWhatTheSystemReallyDoes) {
    SettingsWindow& window = open();
    window.login_checkbox()->click();
    EXPECT_EQ(login_.requests, std::vector<bool>{true});
    EXPECT_TRUE(window.login_checkbox()->isChecked());

    login_.refusal = "refused";
    window.login_checkbox()->click();
    EXPECT_EQ(login_.requests, (std::vector<bool>{true, false}));
    EXPECT_TRUE(window.login_checkbox()->isChecked());
    login_.refusal.reset();

    // Switched off in the system's list: a mixed box, and a click opens that list instead of
    // registering again; once allowed there, the box is a plain tick again.
    login_.awaiting = true;
    window.refresh_live_rows();
    EXPECT_EQ(window.login_checkbox()->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(window.login_checkbox()->toolTip().isEmpty());
    login_.calls.clear();
    window.login_checkbox()->click();
    EXPECT_EQ(login_.calls, (std::vector<std::string>{"state?", "open login items"}));
    EXPECT_EQ(login_.requests, (std::vector<bool>{true, false}));
    EXPECT_EQ(window.login_checkbox()->checkState(), Qt::PartiallyChecked);
    login_.awaiting = false;
    window.refresh_live_rows();
    EXPECT_EQ(window.login_checkbox()->checkState(), Qt::Checked);
    EXPECT_FALSE(window.login_checkbox()->isTristate());
    EXPECT_TRUE(window.login_checkbox()->toolTip().isEmpty());
}

TEST_F(SettingsWindowTest, ButtonsOpenTheOtherWindowsAndTheFile) {
    SettingsWindow& window = open();
    find_button(window, QString::fromUtf8("Customize Buttons\u2026"))->click();
    ASSERT_NE(windows_.buttons_window(), nullptr);
    EXPECT_TRUE(windows_.buttons_window()->isVisible());

    find_button(window, QString::fromUtf8("Setup & Permissions\u2026"))->click();
    ASSERT_NE(windows_.setup_window(), nullptr);
    EXPECT_TRUE(windows_.setup_window()->isVisible());

    find_button(window, QStringLiteral("Open Config File"))->click();
    EXPECT_EQ(desktop_.opened, std::vector<std::string>{file_.string()});
}

TEST(SliderPositions, SmallRangesMoveInThousandthsAndWideOnesInUnits) {
    windows_app();
    for (const SliderSpec& spec : slider_specs()) {
        SCOPED_TRACE(std::string(spec.label));
        const int lowest = slider_position(spec, spec.minimum);
        const int highest = slider_position(spec, spec.maximum);
        EXPECT_GE(highest - lowest, 300);  // fine enough for every snapping step
        EXPECT_DOUBLE_EQ(slider_value(spec, lowest), spec.minimum);
        EXPECT_NEAR(slider_value(spec, highest), spec.maximum, 1e-9);
    }
}

}  // namespace
}  // namespace thumbrover::testing
