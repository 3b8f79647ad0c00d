#include "core/ui/app_settings_effects.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <variant>
#include <vector>

#include "core/engine/messages.hpp"
#include "core/settings/settings_file.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::put;
namespace fs = std::filesystem;
using thumbrover::testing::TempDir;

struct RecordingCircle final : CircleScaleTarget {
    std::vector<float> scales;
    void change_circle_scale(float scale) override { scales.push_back(scale); }
};

struct RecordingNotifier final : Notifier {
    std::vector<std::string> notices;
    void notify(std::string_view heading, std::string_view body) override {
        notices.push_back(std::string(heading) + " | " + std::string(body));
    }
};

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

TEST(AppSettingsEffects, AWindowChangeReachesFileCircleAndEngine) {
    TempDir dir;
    const fs::path file = dir / "config.toml";
    put(file, "circle_scale = 2.5\nhold_ms = 700\n");
    RecordingCircle circle;
    RecordingNotifier notifier;
    auto [sender, receiver] = make_channel<EngineMessage>();
    EngineLink link(sender, true);
    AppSettingsEffects effects(file, circle, notifier, [&link] { return &link; });
    SettingsStore store(effects);

    EXPECT_EQ(store.get().hold_ms, 700u);
    put(file, "circle_scale = 2.5\nhold_ms = 900\n");  // edited by hand while the window is shut
    store.reload();
    EXPECT_TRUE(received(receiver).empty());
    store.set_stick_role(Stick::Left, StickRole::None);
    store.reload();  // a window opening at once reads the change back
    EXPECT_EQ(store.get().left_stick, StickRole::None);

    Config expected;
    expected.circle_scale = 2.5f;
    expected.hold_ms = 900;
    expected.left_stick = StickRole::None;
    EXPECT_EQ(load_window_settings(file), expected);
    EXPECT_EQ(circle.scales, std::vector<float>{2.5f});
    EXPECT_EQ(received(receiver), std::vector<Config>{expected});
    EXPECT_TRUE(notifier.notices.empty());
}

TEST(AppSettingsEffects, ChangesBeforeTheEngineLinkExistAreDropped) {
    TempDir dir;
    RecordingCircle circle;
    RecordingNotifier notifier;
    auto [sender, receiver] = make_channel<EngineMessage>();
    EngineLink link(sender, true);
    EngineLink* published = nullptr;
    AppSettingsEffects effects(dir / "config.toml", circle, notifier, [&] { return published; });
    SettingsStore store(effects);

    store.set_stick_role(Stick::Right, StickRole::Pointer);
    effects.flush();
    EXPECT_TRUE(received(receiver).empty());
    EXPECT_EQ(load_window_settings(dir / "config.toml").right_stick, StickRole::Pointer);

    published = &link;
    store.set_stick_role(Stick::Right, StickRole::None);
    ASSERT_EQ(received(receiver).size(), 1u);
}

TEST(AppSettingsEffects, AChangeThatCannotBeSavedIsStillAppliedAndShownOnce) {
    TempDir dir;
    put(dir / "not-a-folder", "");
    const fs::path file = dir / "not-a-folder" / "config.toml";
    RecordingCircle circle;
    RecordingNotifier notifier;
    auto [sender, receiver] = make_channel<EngineMessage>();
    EngineLink link(sender, true);
    AppSettingsEffects effects(file, circle, notifier, [&link] { return &link; });
    SettingsStore store(effects);

    ::testing::internal::CaptureStderr();
    store.set_number(slider_specs()[0], 1200);
    store.set_number(slider_specs()[0], 1300);
    effects.flush();
    const std::string errors = ::testing::internal::GetCapturedStderr();

    EXPECT_NE(errors.find("thumbrover: could not write " + file.string() + ": "),
              std::string::npos);
    ASSERT_EQ(notifier.notices.size(), 1u);
    EXPECT_TRUE(notifier.notices[0].starts_with(
        "Thumbrover could not save your settings | Could not write "))
        << notifier.notices[0];
    const std::vector<Config> sent = received(receiver);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].pointer_speed, 1300.0f);
    EXPECT_EQ(circle.scales.size(), 2u);
}

}  // namespace
}  // namespace thumbrover
