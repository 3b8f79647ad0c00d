#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ui/buttons_window.hpp"
#include "fakes/front_app.hpp"
#include "recording_effects.hpp"

namespace thumbrover {
namespace {

using testing::RecordingEffects;
using Update = ButtonsWindowModel::Update;

std::vector<std::string> scope_titles(const ButtonsWindowModel& model) {
    std::vector<std::string> out;
    for (const ScopeChoice& c : model.scope_choices())
        out.push_back(c.kind == ScopeKind::Separator ? "---" : c.title);
    return out;
}

class ButtonsWindowApps : public ::testing::Test {
  protected:
    void SetUp() override {
        AppProfile vlc;
        vlc.id = "vlc";
        vlc.name = "VLC";
        vlc.press[button_index(Button::A)] = Action(ActionKind::PlayPause);
        vlc.right_stick = StickRole::None;
        effects.file.apps.push_back(vlc);
        script.running = {{"firefox", "firefox"}, {"vlc", "vlc"}};
        model.open();
    }
    const ButtonsWindowModel::Popup& popup(Button button, BindingSide side) {
        return *model.binding_popup(binding_tag(button, side));
    }
    const AppProfile& vlc() { return *find_app_profile(store.get(), "vlc"); }

    RecordingEffects effects;
    SettingsStore store{effects};
    fakes::FrontAppScript script;
    fakes::ScriptedFrontApps apps{script};
    ButtonsWindowModel model{store, {}, &apps};
};

TEST_F(ButtonsWindowApps, AProfileShowsWhatItSetsAndWhatAllApplicationsDo) {
    EXPECT_EQ(scope_titles(model), (std::vector<std::string>{"All applications", "VLC", "---",
                                                             "Add the application\u2026"}));
    EXPECT_EQ(model.scope_changed(1), Update::Popups);
    EXPECT_EQ(model.app(), "vlc");

    const auto& a = popup(Button::A, BindingSide::Press);
    EXPECT_EQ(a.choices[0].title, "Same as All applications (Left click)");
    EXPECT_EQ(a.choices[a.selected].title, "Play / pause");
    EXPECT_TRUE(a.overridden);
    const auto& b = popup(Button::B, BindingSide::Hold);
    EXPECT_EQ(b.selected, 0u);
    EXPECT_FALSE(b.overridden);
    EXPECT_EQ(b.choices[0].title, "Same as All applications (Key: Esc)");
    EXPECT_EQ(model.stick_titles(Stick::Left).front(),
              "Same as All applications (Move the pointer)");
    EXPECT_EQ(model.stick_selection(Stick::Left), 0u);
    EXPECT_EQ(model.stick_selection(Stick::Right), 3u);  // Nothing, after the first entry

    // Choices change the profile only; "Same as All applications" takes the override away.
    const std::int64_t b_press = binding_tag(Button::B, BindingSide::Press);
    EXPECT_EQ(model.binding_changed(b_press, 2 + 13), Update::Popups);  // Mute
    EXPECT_EQ(vlc().press[button_index(Button::B)], Action(ActionKind::Mute));
    EXPECT_EQ(binding_of(store.get().buttons, Button::B).press, Action(ActionKind::RightClick));
    EXPECT_EQ(model.binding_changed(binding_tag(Button::A, BindingSide::Press), 0), Update::Popups);
    EXPECT_FALSE(vlc().press[button_index(Button::A)]);
    EXPECT_EQ(model.stick_changed(kLeftStickTag, 2), Update::Nothing);
    EXPECT_EQ(vlc().left_stick, StickRole::Scroll);
    EXPECT_EQ(model.stick_changed(kRightStickTag, 0), Update::Nothing);
    EXPECT_FALSE(vlc().right_stick);
    EXPECT_EQ(store.get().left_stick, StickRole::Pointer);
    EXPECT_EQ(effects.sent.back(), store.get());

    // Back to all applications: the main pop-ups again.
    EXPECT_EQ(model.scope_changed(0), Update::Popups);
    EXPECT_EQ(popup(Button::B, BindingSide::Press).choices[0].title, "Nothing");
}

TEST_F(ButtonsWindowApps, AddingListsRunningApplicationsWithoutAProfileAndRemovingGoesBack) {
    EXPECT_EQ(model.scope_changed(3), Update::ChooseApp);
    EXPECT_EQ(model.addable_apps(), (std::vector<RunningApp>{{"firefox", "firefox"}}));
    EXPECT_EQ(model.add_app({"firefox", "firefox"}), Update::Popups);
    EXPECT_EQ(model.app(), "firefox");
    EXPECT_EQ(scope_titles(model)[2], "firefox");
    EXPECT_EQ(model.scope_selection(), 2u);
    EXPECT_TRUE(find_app_profile(store.get(), "firefox")->overrides_nothing());
    EXPECT_TRUE(model.addable_apps().empty());

    // A capture under way ends when another scope is chosen.
    const auto& a = popup(Button::A, BindingSide::Press);
    EXPECT_EQ(model.binding_changed(binding_tag(Button::A, BindingSide::Press),
                                    static_cast<std::int64_t>(a.choices.size() - 1)),
              Update::CaptureStarted);
    EXPECT_EQ(model.scope_changed(1), Update::CaptureEnded);
    EXPECT_FALSE(model.capturing());

    EXPECT_EQ(model.remove_app(), Update::Popups);
    EXPECT_EQ(model.app(), std::nullopt);
    EXPECT_EQ(find_app_profile(store.get(), "vlc"), nullptr);
    EXPECT_EQ(scope_titles(model)[1], "firefox");
}

TEST_F(ButtonsWindowApps, WhereTheApplicationInFrontCannotBeToldNoneIsAdded) {
    script.available = false;
    model.open();
    EXPECT_EQ(model.front_app_note(), buttons_texts::kNoFrontApp);
    EXPECT_EQ(scope_titles(model), (std::vector<std::string>{"All applications", "VLC"}));
    EXPECT_TRUE(model.addable_apps().empty());
    // A profile removed from the file by hand while it is shown leaves all applications shown.
    EXPECT_EQ(model.scope_changed(1), Update::Popups);
    effects.file.apps.clear();
    model.open();
    EXPECT_EQ(model.app(), std::nullopt);
}

TEST_F(ButtonsWindowApps, TheNoteSaysWhatTheWatcherSaysElseWhetherTheFrontIsKnown) {
    struct Case {
        bool available;
        std::string note;
        std::string shown;
    };
    const std::string enable = "run `enable it` to follow the application in front";
    for (const Case& c :
         {Case{true, "", ""}, Case{false, "", std::string(buttons_texts::kNoFrontApp)},
          Case{false, enable, enable}, Case{true, enable, enable}}) {
        script.available = c.available;
        script.note = c.note;
        EXPECT_EQ(model.front_app_note(), c.shown) << c.available << " " << c.note;
    }
}

}  // namespace
}  // namespace thumbrover
