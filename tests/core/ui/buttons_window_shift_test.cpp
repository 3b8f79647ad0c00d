#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/ui/buttons_window.hpp"
#include "fakes/front_app.hpp"
#include "recording_effects.hpp"

namespace thumbrover {
namespace {

using testing::RecordingEffects;
using Update = ButtonsWindowModel::Update;

constexpr std::size_t kLT = button_index(Button::LeftTrigger);
constexpr std::size_t kRB = button_index(Button::RightBumper);

class ButtonsWindowShift : public ::testing::Test {
  protected:
    void SetUp() override {
        AppProfile vlc;
        vlc.id = "vlc";
        vlc.name = "VLC";
        vlc.press[kRB] = Action(ActionKind::PlayPause);
        effects.file.apps.push_back(vlc);
        script.running = {{"vlc", "vlc"}};
        model.open();
    }
    const ButtonsWindowModel::Popup& popup(Button button, BindingSide side) {
        return *model.binding_popup(binding_tag(button, side));
    }
    // Chooses the entry titled `title`, which must be there.
    Update choose(Button button, BindingSide side, const std::string& title) {
        const auto& choices = popup(button, side).choices;
        const auto at = std::find_if(choices.begin(), choices.end(),
                                     [&](const Choice& c) { return c.title == title; });
        EXPECT_NE(at, choices.end()) << title;
        return model.binding_changed(binding_tag(button, side), at - choices.begin());
    }
    bool offers_shift(Button button, BindingSide side) {
        const auto& choices = popup(button, side).choices;
        return std::any_of(choices.begin(), choices.end(),
                           [](const Choice& c) { return is_shift(c.action); });
    }
    std::string current(Button button, BindingSide side) {
        const auto& p = popup(button, side);
        return p.choices[p.selected].title;
    }

    RecordingEffects effects;
    SettingsStore store{effects};
    fakes::FrontAppScript script;
    fakes::ScriptedFrontApps apps{script};
    ButtonsWindowModel model{store, {}, &apps};
};

TEST_F(ButtonsWindowShift, TheLayerAppearsOnceAnInputShiftsAndEditsTheSecondActions) {
    EXPECT_FALSE(model.shows_layer());
    EXPECT_EQ(model.layer_changed(1), Update::Nothing);
    // Only press pop-ups of inputs other than the Xbox button offer the shift.
    EXPECT_TRUE(offers_shift(Button::B, BindingSide::Press));
    EXPECT_FALSE(offers_shift(Button::B, BindingSide::Hold));
    EXPECT_FALSE(offers_shift(Button::Xbox, BindingSide::Press));

    // B becomes the shift: its Escape hold goes, and its hold pop-up means nothing any more.
    EXPECT_EQ(choose(Button::B, BindingSide::Press, std::string(kShiftActionLabel)),
              Update::Popups);
    EXPECT_EQ(binding_of(store.get().buttons, Button::B),
              (Binding{Action(ActionKind::Shift), Action()}));
    EXPECT_TRUE(model.shows_layer());
    EXPECT_FALSE(popup(Button::B, BindingSide::Hold).enabled);
    EXPECT_TRUE(popup(Button::A, BindingSide::Hold).enabled);

    EXPECT_EQ(model.layer_changed(1), Update::Popups);
    EXPECT_EQ(model.press_heading(), "Press with shift");
    EXPECT_EQ(current(Button::RightBumper, BindingSide::Press),
              "Same as without shift (Next track)");
    EXPECT_EQ(current(Button::A, BindingSide::Hold), "Same as without shift (Nothing)");
    EXPECT_FALSE(popup(Button::B, BindingSide::Press).enabled);
    EXPECT_FALSE(offers_shift(Button::A, BindingSide::Press));

    EXPECT_EQ(choose(Button::RightBumper, BindingSide::Press, "Key: Tab"), Update::Popups);
    EXPECT_EQ(store.get().shifted.press[kRB], parse_action("tab"));
    EXPECT_EQ(choose(Button::A, BindingSide::Hold, "Nothing"), Update::Popups);
    EXPECT_EQ(store.get().shifted.hold[0], Action());
    EXPECT_EQ(current(Button::A, BindingSide::Hold), "Nothing");
    // The main bindings are untouched by the shifted ones.
    EXPECT_EQ(binding_of(store.get().buttons, Button::RightBumper).press,
              Action(ActionKind::NextTrack));

    // "Same as without shift" takes the entry away again.
    EXPECT_EQ(model.binding_changed(binding_tag(Button::RightBumper, BindingSide::Press), 0),
              Update::Popups);
    EXPECT_FALSE(store.get().shifted.press[kRB].has_value());

    // A capture begun among the shifted actions binds a shifted action.
    const auto& a = popup(Button::A, BindingSide::Press);
    EXPECT_EQ(model.binding_changed(binding_tag(Button::A, BindingSide::Press),
                                    static_cast<std::int64_t>(a.choices.size() - 1)),
              Update::CaptureStarted);
    EXPECT_EQ(model.prompt(), "Press the key or shortcut for A (press with shift). Esc cancels.");
    EXPECT_EQ(model.key_captured({7, {}}, [](std::uint32_t) { return Key(KeyKind::Home); }),
              Update::CaptureEnded);
    EXPECT_EQ(store.get().shifted.press[0], key_action(Key(KeyKind::Home)));
    EXPECT_EQ(binding_of(store.get().buttons, Button::A).press, Action(ActionKind::LeftClick));

    // Without a shift input the layer goes, and the pop-ups show the main actions again.
    EXPECT_EQ(model.restore_default_buttons(), Update::Popups);
    EXPECT_FALSE(model.shows_layer());
    EXPECT_EQ(model.layer(), Layer::Normal);
    EXPECT_TRUE(store.get().shifted.empty());
}

TEST_F(ButtonsWindowShift, AProfileShowsItsOwnShiftedActionsOverTheMainOnes) {
    store.set_binding(Button::LeftTrigger, BindingSide::Press, Action(ActionKind::Shift));
    store.set_shifted_binding(Button::A, BindingSide::Press, Action(ActionKind::Mute));
    model.refresh();
    ASSERT_EQ(model.layer_changed(1), Update::Popups);
    ASSERT_EQ(model.scope_changed(1), Update::Popups);
    ASSERT_EQ(model.app(), "vlc");
    EXPECT_EQ(model.layer(), Layer::Shifted);

    // Left out, a slot follows the shifted actions of all applications, else the profile's own.
    EXPECT_EQ(current(Button::A, BindingSide::Press), "Same as All applications (Mute)");
    EXPECT_EQ(current(Button::RightBumper, BindingSide::Press),
              "Same as without shift (Play / pause)");
    EXPECT_EQ(choose(Button::RightBumper, BindingSide::Press, "Key: Space"), Update::Popups);
    const AppProfile& vlc = *find_app_profile(store.get(), "vlc");
    EXPECT_EQ(vlc.shifted.press[kRB], parse_action("space"));
    EXPECT_FALSE(store.get().shifted.press[kRB].has_value());
    EXPECT_FALSE(popup(Button::LeftTrigger, BindingSide::Press).enabled);

    // A profile that turns the shift input into something else has no layer to show.
    ASSERT_EQ(model.layer_changed(0), Update::Popups);
    EXPECT_EQ(choose(Button::LeftTrigger, BindingSide::Press, "Mute"), Update::Popups);
    EXPECT_FALSE(model.shows_layer());
    EXPECT_EQ(model.scope_changed(0), Update::Popups);
    EXPECT_TRUE(model.shows_layer());
    EXPECT_EQ(find_app_profile(store.get(), "vlc")->press[kLT], Action(ActionKind::Mute));
}

}  // namespace
}  // namespace thumbrover
