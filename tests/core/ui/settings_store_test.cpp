#include "core/ui/settings_store.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording_effects.hpp"

namespace thumbrover {
namespace {

using testing::RecordingEffects;
using Calls = std::vector<std::string>;

const SliderSpec& slider(std::string_view field) {
    for (const SliderSpec& spec : slider_specs())
        if (spec.field == field) return spec;
    throw std::logic_error("no slider for " + std::string(field));
}

TEST(SettingsStore, LoadsOnFirstUseOnlyAndReloadPutsAHandEditInUse) {
    RecordingEffects effects;
    effects.file.pointer_speed = 1234.0f;
    SettingsStore store(effects);
    EXPECT_TRUE(effects.calls.empty());
    EXPECT_EQ(store.get().pointer_speed, 1234.0f);
    EXPECT_EQ(store.get().pointer_speed, 1234.0f);
    EXPECT_EQ(effects.calls, Calls{"load"});

    effects.file.pointer_speed = 999.0f;  // a hand edit
    EXPECT_EQ(store.get().pointer_speed, 1234.0f);
    store.reload();
    EXPECT_EQ(store.get().pointer_speed, 999.0f);
    // Used at once, and not written back.
    EXPECT_EQ(effects.calls, (Calls{"load", "load", "circle", "send"}));
    store.reload();
    EXPECT_EQ(effects.calls.size(), 5u);
}

TEST(SettingsStore, FollowingTheFileTakesCorrectEditsAndOnlyShowsMistakes) {
    RecordingEffects effects;
    SettingsStore store(effects);
    std::vector<SettingsFollowed> told;
    store.on_followed([&told](SettingsFollowed f) { told.push_back(f); });
    Config edited;
    edited.hold_ms = 700;
    const std::string report =
        "line 1, column 11, key `hold_ms`: invalid value: integer `-1`, "
        "expected u64";
    const std::string notified = "notify: Thumbrover settings have a mistake | config.toml, " +
                                 report + ". The settings in use stay as they were.";
    struct Step {
        std::optional<ConfigReading> outside;
        std::uint64_t hold_in_use;
        bool problem;
        Calls calls;  // the effects of this step
    };
    const Step steps[] = {
        {ConfigReading{ConfigStatus::Loaded, edited, {}}, 700, false, {"circle", "send"}},
        {ConfigReading{ConfigStatus::Mistake, Config{}, report}, 700, true, {notified}},
        // The same mistake saved again is not told twice; the file's own writes are nothing.
        {ConfigReading{ConfigStatus::Mistake, Config{}, report}, 700, true, {}},
        {std::nullopt, 700, true, {}},
        {ConfigReading{ConfigStatus::Loaded, Config{}, {}}, 400, false, {"circle", "send"}},
        {ConfigReading{ConfigStatus::Unreadable, Config{}, "Permission denied"},
         400,
         true,
         {"notify: Thumbrover could not read its settings | config.toml: Permission denied. The "
          "settings in use stay as they were."}},
    };
    static_cast<void>(store.get());
    for (const Step& step : steps) {
        SCOPED_TRACE(step.calls.empty() ? "nothing" : step.calls.front());
        effects.calls.clear();
        effects.outside = step.outside;
        store.follow_file();
        EXPECT_EQ(store.get().hold_ms, step.hold_in_use);
        EXPECT_EQ(store.file_problem().has_value(), step.problem);
        EXPECT_EQ(effects.calls, step.calls);
    }
    EXPECT_EQ(told.size(), 4u);

    // A change made in a window replaces a file with a mistake, and with it the problem.
    effects.outside = ConfigReading{ConfigStatus::Mistake, Config{}, report};
    store.follow_file();
    store.set_stick_role(Stick::Left, StickRole::None);
    EXPECT_FALSE(store.file_problem().has_value());
    EXPECT_EQ(effects.saved.back().hold_ms, 400u);

    // Reading the file when a window opens shows a mistake but tells nobody else of it.
    effects.calls.clear();
    effects.problem = std::pair(ConfigStatus::Mistake, report);
    store.reload();
    ASSERT_TRUE(store.file_problem().has_value());
    EXPECT_EQ(store.file_problem()->report, report);
    EXPECT_EQ(store.get().left_stick, StickRole::None);
    EXPECT_EQ(effects.calls, Calls{"load"});
}

TEST(SettingsStore, EveryChangeSavesThenHandsOnTheScaleThenSendsTheWholeRecord) {
    using Change = void (*)(SettingsStore&);
    const Change changes[] = {
        [](SettingsStore& s) { s.set_number(slider("circle_scale"), 2.04); },
        [](SettingsStore& s) { s.restore_defaults(); },
        [](SettingsStore& s) {
            s.set_binding(Button::Y, BindingSide::Hold, Action(ActionKind::Mute));
        },
        [](SettingsStore& s) { s.set_stick_role(Stick::Right, StickRole::None); },
        [](SettingsStore& s) { s.restore_default_buttons(); },
    };
    for (Change change : changes) {
        RecordingEffects effects;
        effects.file.pointer_speed = 1500.0f;
        SettingsStore store(effects);
        change(store);
        EXPECT_EQ(effects.calls, (Calls{"load", "save", "circle", "send"}));
        ASSERT_EQ(effects.saved.size(), 1u);
        ASSERT_EQ(effects.sent.size(), 1u);
        EXPECT_EQ(effects.saved[0], store.get());
        EXPECT_EQ(effects.sent[0], store.get());
        EXPECT_EQ(effects.scales[0], store.get().circle_scale);
    }
}

TEST(SettingsStore, ChangesLandInTheRightField) {
    RecordingEffects effects;
    SettingsStore store(effects);
    EXPECT_EQ(store.set_number(slider("circle_scale"), 2.04), static_cast<double>(2.0f));
    store.set_binding(Button::Y, BindingSide::Hold, Action(ActionKind::Mute));
    store.set_binding(Button::A, BindingSide::Press, Action(ActionKind::RightClick));
    store.set_stick_role(Stick::Left, StickRole::Scroll);
    store.set_stick_role(Stick::Right, StickRole::None);

    Config expected;
    expected.circle_scale = 2.0f;
    binding_of(expected.buttons, Button::Y).hold = Action(ActionKind::Mute);
    binding_of(expected.buttons, Button::A).press = Action(ActionKind::RightClick);
    expected.left_stick = StickRole::Scroll;
    expected.right_stick = StickRole::None;
    EXPECT_EQ(store.get(), expected);
    EXPECT_EQ(effects.scales, (std::vector<float>{2.0f, 2.0f, 2.0f, 2.0f, 2.0f}));
}

TEST(SettingsStore, TheTwoRestoresLeaveEachOthersFieldsAlone) {
    RecordingEffects effects;
    effects.file.pointer_speed = 2500.0f;
    effects.file.left_stick = StickRole::Scroll;
    effects.file.right_stick = StickRole::Pointer;
    binding_of(effects.file.buttons, Button::X).press = Action(ActionKind::Launcher);
    SettingsStore store(effects);

    store.restore_default_buttons();
    EXPECT_EQ(store.get().pointer_speed, 2500.0f);
    EXPECT_EQ(store.get().left_stick, StickRole::Pointer);
    EXPECT_EQ(store.get().right_stick, StickRole::Scroll);
    EXPECT_EQ(store.get().buttons, default_bindings());

    binding_of(effects.file.buttons, Button::X).press = Action(ActionKind::Launcher);
    store.reload();
    store.restore_defaults();
    EXPECT_EQ(store.get().pointer_speed, 800.0f);
    EXPECT_EQ(binding_of(store.get().buttons, Button::X).press, Action(ActionKind::Launcher));
}

TEST(SettingsStore, AFailedSaveStillAppliesAndIsShownOncePerRunOfFailures) {
    RecordingEffects effects;
    effects.fail_saves = true;
    SettingsStore store(effects);
    ::testing::internal::CaptureStderr();
    store.set_number(slider("pointer_speed"), 1000);
    store.set_number(slider("pointer_speed"), 1100);
    const std::string errors = ::testing::internal::GetCapturedStderr();

    const std::string notice =
        "notify: Thumbrover could not save your settings | Could not write "
        "/nowhere/config.toml: Permission denied. The change is used until Thumbrover quits.";
    EXPECT_EQ(effects.calls,
              (Calls{"load", "save", notice, "circle", "send", "save", "circle", "send"}));
    EXPECT_EQ(errors,
              "thumbrover: could not write /nowhere/config.toml: Permission denied\n"
              "thumbrover: could not write /nowhere/config.toml: Permission denied\n");
    ASSERT_EQ(effects.sent.size(), 2u);
    EXPECT_EQ(effects.sent[1].pointer_speed, 1100.0f);
    EXPECT_EQ(store.get().pointer_speed, 1100.0f);

    // After a save that works, the next failure is news again.
    effects.fail_saves = false;
    store.set_stick_role(Stick::Left, StickRole::None);
    effects.fail_saves = true;
    effects.calls.clear();
    ::testing::internal::CaptureStderr();
    store.set_stick_role(Stick::Left, StickRole::Pointer);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(effects.calls, (Calls{"save", notice, "circle", "send"}));
}

}  // namespace
}  // namespace thumbrover
