#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "core/bindings/actions.hpp"
#include "core/bindings/buttons.hpp"
#include "core/ui/buttons_window.hpp"
#include "qt/buttons_window.hpp"
#include "window_test_support.hpp"

namespace thumbrover::testing {
namespace {

const std::int64_t kAPress = binding_tag(Button::A, BindingSide::Press);
const std::int64_t kBHold = binding_tag(Button::B, BindingSide::Hold);

class ButtonsWindowTest : public WindowsTest {
  protected:
    ButtonsWindow& open() {
        windows_.open_buttons();
        return *windows_.buttons_window();
    }

    // Picks "Other key or shortcut…", the last entry of every binding pop-up.
    void start_capture(ButtonsWindow& window, std::int64_t tag) {
        QComboBox& popup = *window.binding_popup(tag);
        choose(popup, popup.count() - 1);
        QApplication::processEvents();
        ASSERT_TRUE(window.capturing());
    }

    // A key press as the keyboard delivers it to the focused window.
    static void press(ButtonsWindow& window, int key, Qt::KeyboardModifiers modifiers = {}) {
        QKeyEvent down(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&window, &down);
        QKeyEvent up(QEvent::KeyRelease, key, modifiers);
        QApplication::sendEvent(&window, &up);
    }

    Action binding(Button button, BindingSide side) {
        const Config config = file_config();
        const Binding& b = binding_of(config.buttons, button);
        return side == BindingSide::Press ? b.press : b.hold;
    }
};

Action shortcut(std::vector<Key> modifiers, Key key) {
    return Action(make_shortcut(std::move(modifiers), key));
}

TEST_F(ButtonsWindowTest, PopupsListTheModelsChoicesWithSeparatorsAndSelectTheBinding) {
    Config config;
    binding_of(config.buttons, Button::A).press = shortcut({Key(KeyKind::Meta)}, Key::letter('w'));
    ASSERT_TRUE(write_config(file_, config));
    ButtonsWindow& window = open();

    const std::vector<std::string> items = popup_items(*window.binding_popup(kAPress));
    const std::vector<Choice> choices =
        binding_choices(binding_of(config.buttons, Button::A).press,
                        OfferedActions{.on_screen_keyboard = true}, true);
    ASSERT_EQ(items.size(), choices.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i], choices[i].kind == ChoiceKind::Separator ? "---" : choices[i].title);
    // Linux opens its on-screen keyboard, so it is offered, after the launcher.
    EXPECT_EQ(items[7], "On-screen keyboard");
    // The shortcut is listed once, after Right, and is the one selected.
    EXPECT_EQ(window.binding_popup(kAPress)->currentIndex(), static_cast<int>(items.size()) - 3);
    EXPECT_EQ(items.end()[-2], "---");
    EXPECT_EQ(items.back(), "Other key or shortcut\u2026");

    // Xbox has a press pop-up (tag 32) and no hold pop-up.
    EXPECT_NE(window.binding_popup(32), nullptr);
    EXPECT_EQ(window.binding_popup(33), nullptr);
    EXPECT_EQ(window.stick_popup(Stick::Left)->currentText(), QStringLiteral("Move the pointer"));
    EXPECT_EQ(window.stick_popup(Stick::Right)->currentText(), QStringLiteral("Scroll"));
}

TEST_F(ButtonsWindowTest, OnceAnInputShiftsALayerPopupShowsTheShiftedActions) {
    ButtonsWindow& window = open();
    QComboBox& layer = *window.layer_popup();
    EXPECT_TRUE(layer.isHidden());
    QComboBox& lt = *window.binding_popup(binding_tag(Button::LeftTrigger, BindingSide::Press));
    choose(lt, lt.findText(QStringLiteral("Shift (hold for the second actions)")));
    EXPECT_TRUE(is_shift(binding(Button::LeftTrigger, BindingSide::Press)));
    EXPECT_FALSE(layer.isHidden());
    EXPECT_EQ(popup_items(layer),
              (std::vector<std::string>{"Without shift", "While shift is held"}));
    EXPECT_FALSE(
        window.binding_popup(binding_tag(Button::LeftTrigger, BindingSide::Hold))->isEnabled());

    choose(layer, 1);
    EXPECT_EQ(window.press_heading()->text(), QStringLiteral("Press with shift"));
    QComboBox& rb = *window.binding_popup(binding_tag(Button::RightBumper, BindingSide::Press));
    EXPECT_EQ(rb.currentText(), QStringLiteral("Same as without shift (Next track)"));
    EXPECT_FALSE(lt.isEnabled());
    choose(rb, rb.findText(QStringLiteral("Key: Tab")));
    EXPECT_EQ(file_config().shifted.press[button_index(Button::RightBumper)], parse_action("tab"));
    EXPECT_EQ(binding(Button::RightBumper, BindingSide::Press), Action(ActionKind::NextTrack));
    EXPECT_EQ(sent_to_engine().size(), 2u);
    EXPECT_EQ(rb.currentText(), QStringLiteral("Key: Tab"));
    // One pair of columns keeps the window within a 1366-pixel screen.
    EXPECT_LE(window.sizeHint().width(), 1366);

    choose(layer, 0);
    EXPECT_EQ(rb.currentText(), QStringLiteral("Next track"));
}

TEST_F(ButtonsWindowTest, ChoosingAnActionSavesItAndSendsItToTheEngine) {
    ButtonsWindow& window = open();
    QComboBox& popup = *window.binding_popup(kBHold);
    const std::vector<std::string> items = popup_items(popup);
    const auto mute = std::find(items.begin(), items.end(), "Mute");
    ASSERT_NE(mute, items.end());
    choose(popup, static_cast<int>(mute - items.begin()));
    EXPECT_EQ(binding(Button::B, BindingSide::Hold), Action(ActionKind::Mute));
    EXPECT_EQ(sent_to_engine().size(), 1u);
    EXPECT_EQ(window.binding_popup(kBHold)->currentText(), QStringLiteral("Mute"));

    // A separator does nothing.
    choose(popup, static_cast<int>(std::find(items.begin(), items.end(), "---") - items.begin()));
    EXPECT_TRUE(sent_to_engine().empty());

    choose(*window.stick_popup(Stick::Left), 2);
    EXPECT_EQ(file_config().left_stick, StickRole::None);
    EXPECT_EQ(sent_to_engine().size(), 1u);
}

struct CaptureCase {
    const char* what;
    std::vector<std::pair<int, Qt::KeyboardModifiers>> keys;  // pressed in order
    Action expected;
};

TEST_F(ButtonsWindowTest, ACapturedShortcutBecomesTheBinding) {
    const std::vector<CaptureCase> cases = {
        // Ctrl and Shift go down first; they only prepare the shortcut.
        {"ctrl+shift+t",
         {{Qt::Key_Control, Qt::ControlModifier},
          {Qt::Key_Shift, Qt::ControlModifier | Qt::ShiftModifier},
          {Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier}},
         shortcut({Key(KeyKind::Ctrl), Key(KeyKind::Shift)}, Key::letter('t'))},
        {"super+shift+t stands for cmd",
         {{Qt::Key_T, Qt::MetaModifier | Qt::ShiftModifier}},
         shortcut({Key(KeyKind::Shift), Key(KeyKind::Meta)}, Key::letter('t'))},
        {"shift+escape is a shortcut, not a cancel",
         {{Qt::Key_Escape, Qt::ShiftModifier}},
         shortcut({Key(KeyKind::Shift)}, Key(KeyKind::Esc))},
        {"shift+tab arrives as backtab",
         {{Qt::Key_Backtab, Qt::ShiftModifier}},
         shortcut({Key(KeyKind::Shift)}, Key(KeyKind::Tab))},
        {"f5", {{Qt::Key_F5, Qt::NoModifier}}, shortcut({}, Key::function(5))},
        {"alt+page-down",
         {{Qt::Key_PageDown, Qt::AltModifier}},
         shortcut({Key(KeyKind::Alt)}, Key(KeyKind::PageDown))},
    };
    ButtonsWindow& window = open();
    for (const CaptureCase& c : cases) {
        SCOPED_TRACE(c.what);
        start_capture(window, kAPress);
        EXPECT_TRUE(window.prompt_label()->isVisibleTo(&window));
        EXPECT_EQ(window.prompt_label()->text(),
                  QString::fromUtf8("Press the key or shortcut for A (press). Esc cancels."));
        for (const auto& [key, modifiers] : c.keys)
            press(window, key, modifiers);
        EXPECT_FALSE(window.capturing());
        EXPECT_FALSE(window.prompt_label()->isVisibleTo(&window));
        EXPECT_EQ(binding(Button::A, BindingSide::Press), c.expected);
        EXPECT_EQ(sent_to_engine().size(), 1u);
        EXPECT_EQ(window.binding_popup(kAPress)->currentText().toStdString(),
                  action_label(c.expected));
    }
    EXPECT_NE(file_text().find("a = \"alt+page-down\"\n"), std::string::npos);
}

TEST_F(ButtonsWindowTest, TheKeyThatChoosesOtherKeyInTheOpenPopupIsNotCaptured) {
    ButtonsWindow& window = open();
    QComboBox& popup = *window.binding_popup(kAPress);
    popup.showPopup();
    QApplication::processEvents();
    QWidget* list = popup.view();
    for (const int key : {Qt::Key_End, Qt::Key_Return}) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(list, &down);
        QApplication::processEvents();
    }
    ASSERT_TRUE(window.capturing());
    EXPECT_TRUE(sent_to_engine().empty());
    press(window, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(binding(Button::A, BindingSide::Press),
              shortcut({Key(KeyKind::Ctrl), Key(KeyKind::Shift)}, Key::letter('t')));
}

TEST_F(ButtonsWindowTest, AnUnusableKeyKeepsTheCaptureWithThePrompt) {
    ButtonsWindow& window = open();
    start_capture(window, kBHold);
    EXPECT_EQ(window.prompt_label()->text(),
              QString::fromUtf8("Press the key or shortcut for B (hold). Esc cancels."));
    for (const auto& [key, modifiers] :
         std::vector<std::pair<int, Qt::KeyboardModifiers>>{{Qt::Key_F25, Qt::NoModifier},
                                                            {Qt::Key_Exclam, Qt::ControlModifier},
                                                            {Qt::Key_Launch0, Qt::NoModifier}}) {
        press(window, key, modifiers);
        EXPECT_TRUE(window.capturing());
        EXPECT_EQ(window.prompt_label()->text(),
                  QString::fromUtf8(
                      "That key cannot be used yet. Try another one, or press Esc to cancel."));
    }
    EXPECT_TRUE(sent_to_engine().empty());
    press(window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(binding(Button::B, BindingSide::Hold),
              shortcut({Key(KeyKind::Ctrl)}, Key::letter('q')));
}

TEST_F(ButtonsWindowTest, EscapeCancelsAndLeavesTheBindingAndTheFileAlone) {
    ButtonsWindow& window = open();
    const Action before = binding(Button::B, BindingSide::Hold);
    start_capture(window, kBHold);
    press(window, Qt::Key_Escape);
    EXPECT_FALSE(window.capturing());
    EXPECT_FALSE(window.prompt_label()->isVisibleTo(&window));
    EXPECT_EQ(binding(Button::B, BindingSide::Hold), before);
    EXPECT_TRUE(sent_to_engine().empty());
    EXPECT_EQ(window.binding_popup(kBHold)->currentText().toStdString(), action_label(before));

    // Keys after the capture reach the window as usual and bind nothing.
    press(window, Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(sent_to_engine().empty());
}

TEST_F(ButtonsWindowTest, ClosingTheWindowEndsACapture) {
    ButtonsWindow& window = open();
    start_capture(window, kAPress);
    window.close();
    EXPECT_FALSE(window.capturing());
    press(window, Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(sent_to_engine().empty());
    EXPECT_EQ(binding(Button::A, BindingSide::Press), Action(ActionKind::LeftClick));
}

TEST_F(ButtonsWindowTest, RestoreDefaultButtonsResetsBindingsAndSticksOnly) {
    Config config;
    config.pointer_speed = 2000.0f;
    config.hold_ms = 900;
    config.left_stick = StickRole::Scroll;
    config.right_stick = StickRole::None;
    binding_of(config.buttons, Button::A).press = Action(ActionKind::Mute);
    ASSERT_TRUE(write_config(file_, config));
    ButtonsWindow& window = open();
    EXPECT_EQ(window.stick_popup(Stick::Left)->currentText(), QStringLiteral("Scroll"));

    QPushButton* restore = nullptr;
    for (auto* button : window.findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("Restore Default Buttons")) restore = button;
    ASSERT_NE(restore, nullptr);
    // Asked first; Cancel changes nothing.
    auto asked = testing::answer_next_question(QStringLiteral("Cancel"));
    restore->click();
    EXPECT_TRUE(*asked);
    EXPECT_EQ(file_config(), config);
    EXPECT_TRUE(sent_to_engine().empty());

    asked = testing::answer_next_question(QStringLiteral("Restore Default Buttons"));
    restore->click();
    EXPECT_TRUE(*asked);

    Config expected = config;
    restore_default_buttons(expected);
    EXPECT_EQ(file_config(), expected);
    EXPECT_EQ(file_config().pointer_speed, 2000.0f);
    EXPECT_EQ(sent_to_engine(), std::vector<Config>{expected});
    EXPECT_EQ(window.stick_popup(Stick::Left)->currentText(), QStringLiteral("Move the pointer"));
    EXPECT_EQ(window.stick_popup(Stick::Right)->currentText(), QStringLiteral("Scroll"));
    EXPECT_EQ(window.binding_popup(kAPress)->currentText(), QStringLiteral("Left click"));
}

}  // namespace
}  // namespace thumbrover::testing
