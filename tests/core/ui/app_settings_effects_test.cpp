#include "core/ui/app_settings_effects.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "core/bindings/actions.hpp"
#include "core/engine/messages.hpp"
#include "core/settings/settings_file.hpp"
#include "fakes/circle.hpp"
#include "fakes/notifier.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::put;
using testing::slurp;
namespace fs = std::filesystem;
using thumbrover::testing::TempDir;

using fakes::RecordingCircle;
using fakes::RecordingNotifier;

// The ConfigChanged records waiting in the engine's channel.
std::vector<Config> received(EngineReceiver& receiver) {
    std::vector<Config> out;
    while (std::optional<EngineMessage> message = receiver.try_recv()) {
        auto* changed = std::get_if<ConfigChangedMessage>(&message->payload);
        EXPECT_NE(changed, nullptr);
        if (changed) out.push_back(*changed->config);
    }
    return out;
}

// The effects as the program wires them to `file`, with a circle, a notifier and an engine link
// that the test reads; the link is published unless the test withdraws it.
class Wired {
  public:
    explicit Wired(const fs::path& file) : Wired(file, make_channel<EngineMessage>()) {}

    RecordingCircle circle;
    RecordingNotifier notifier;
    EngineReceiver receiver;
    EngineLink link;
    EngineLink* published = &link;
    AppSettingsEffects effects;
    SettingsStore store{effects};

  private:
    Wired(const fs::path& file, std::pair<EngineSender, EngineReceiver> channel)
        : receiver(std::move(channel.second)),
          link(std::move(channel.first), true),
          effects(file, circle, notifier, [this] { return published; }) {}
};

TEST(AppSettingsEffects, AWindowChangeReachesFileCircleAndEngine) {
    TempDir dir;
    const fs::path file = dir / "config.toml";
    put(file, "circle_scale = 2.5\nhold_ms = 700\n");
    Wired wired(file);
    SettingsStore& store = wired.store;

    EXPECT_EQ(store.get().hold_ms, 700u);
    put(file, "circle_scale = 2.5\nhold_ms = 900\n");  // edited by hand while the window is shut
    store.reload();
    // The edit is in use at once.
    const std::vector<Config> edit = received(wired.receiver);
    ASSERT_EQ(edit.size(), 1u);
    EXPECT_EQ(edit[0].hold_ms, 900u);
    store.set_stick_role(Stick::Left, StickRole::None);
    store.reload();  // a window opening at once reads the change back
    EXPECT_EQ(store.get().left_stick, StickRole::None);

    Config expected;
    expected.circle_scale = 2.5f;
    expected.hold_ms = 900;
    expected.left_stick = StickRole::None;
    EXPECT_EQ(load_window_settings(file), expected);
    EXPECT_EQ(wired.circle.scales, (std::vector<float>{2.5f, 2.5f}));
    EXPECT_EQ(received(wired.receiver), std::vector<Config>{expected});
    EXPECT_TRUE(wired.notifier.shown().empty());
}

TEST(AppSettingsEffects, ChangesBeforeTheEngineLinkExistAreDropped) {
    TempDir dir;
    Wired wired(dir / "config.toml");
    wired.published = nullptr;

    wired.store.set_stick_role(Stick::Right, StickRole::Pointer);
    wired.effects.flush();
    EXPECT_TRUE(received(wired.receiver).empty());
    EXPECT_EQ(load_window_settings(dir / "config.toml").right_stick, StickRole::Pointer);

    wired.published = &wired.link;
    wired.store.set_stick_role(Stick::Right, StickRole::None);
    ASSERT_EQ(received(wired.receiver).size(), 1u);
}

TEST(AppSettingsEffects, AChangeThatCannotBeSavedIsStillAppliedAndShownOnce) {
    TempDir dir;
    put(dir / "not-a-folder", "");
    const fs::path file = dir / "not-a-folder" / "config.toml";
    Wired wired(file);

    ::testing::internal::CaptureStderr();
    wired.store.set_number(slider_specs()[0], 1200);
    wired.store.set_number(slider_specs()[0], 1300);
    wired.effects.flush();
    const std::string errors = ::testing::internal::GetCapturedStderr();

    EXPECT_NE(errors.find("thumbrover: could not write " + file.string() + ": "),
              std::string::npos);
    ASSERT_EQ(wired.notifier.texts().size(), 1u);
    EXPECT_TRUE(wired.notifier.texts()[0].starts_with(
        "Thumbrover could not save your settings / Could not write "))
        << wired.notifier.texts()[0];
    const std::vector<Config> sent = received(wired.receiver);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].pointer_speed, 1300.0f);
    EXPECT_EQ(wired.circle.scales.size(), 2u);
}

std::string replaced(std::string text, std::string_view from, std::string_view to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

struct HandEditCase {
    std::string name;
    // Turns the file's text into what the user saved from the editor; nullopt deletes it.
    std::function<std::optional<std::string>(const std::string&)> edit;
    Config expected;                    // in the file, the store and the engine afterwards
    std::optional<std::string> backup;  // what config.toml.bak holds afterwards
};

// A window is open with the settings loaded; the user edits the file by hand and saves it, then
// moves the left stick's pop-up. The change must land on top of the hand edit.
TEST(AppSettingsEffects, AHandEditSavedWhileAWindowIsOpenSurvivesTheNextChange) {
    Config before;
    before.pointer_speed = 1200.0f;
    Config edited = before;
    edited.pointer_speed = 1000.0f;
    edited.hold_ms = 250;
    edited.buttons[button_index(Button::A)].press = *parse_action("mute");
    edited.left_stick = StickRole::None;
    Config kept = before;
    kept.left_stick = StickRole::None;

    const std::string mistaken = "pointer_speed = 1000.0\npointer_sped = 5\n";
    const std::vector<HandEditCase> cases = {
        {"edit applied",
         [](const std::string& text) -> std::optional<std::string> {
             std::string out = replaced(text, "pointer_speed = 1200.0", "pointer_speed = 1000.0");
             out = replaced(out, "hold_ms = 400", "hold_ms = 250");
             return replaced(out, "a = \"left-click\"", "a = \"mute\"");
         },
         edited, std::nullopt},
        {"edit with a mistake kept aside",
         [&](const std::string&) -> std::optional<std::string> { return mistaken; }, kept,
         mistaken},
        {"file deleted", [](const std::string&) -> std::optional<std::string> { return {}; }, kept,
         std::nullopt},
    };
    for (const HandEditCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path file = dir / "config.toml";
        Wired wired(file);
        wired.store.set_number(slider_specs()[0], 1200.0);
        wired.effects.flush();
        (void)received(wired.receiver);

        const auto text = c.edit(slurp(file));
        if (text)
            put(file, *text);
        else
            fs::remove(file);
        ::testing::internal::CaptureStderr();
        wired.store.set_stick_role(Stick::Left, StickRole::None);
        wired.effects.flush();
        (void)::testing::internal::GetCapturedStderr();

        EXPECT_EQ(load_window_settings(file), c.expected);
        EXPECT_EQ(wired.store.get(), c.expected);
        EXPECT_EQ(received(wired.receiver), std::vector<Config>{c.expected});
        const fs::path backup = dir / "config.toml.bak";
        EXPECT_EQ(fs::exists(backup), c.backup.has_value());
        if (c.backup) {
            EXPECT_EQ(slurp(backup), *c.backup);
        }
    }
}

}  // namespace
}  // namespace thumbrover
