#include "core/ui/settings_file.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/common/files.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

namespace fs = std::filesystem;
using thumbrover::testing::TempDir;

void put(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string contents(const fs::path& path) {
    auto text = read_file(path);
    return text ? *text : "<" + text.error() + ">";
}

Config changed() {
    Config config;
    config.pointer_speed = 1500.0f;
    return config;
}

TEST(SaveWindowSettings, AFileWithAMistakeIsKeptBesideItBeforeItIsReplaced) {
    TempDir dir;
    const fs::path file = dir / "config.toml";
    const fs::path backup = dir / "config.toml.bak";
    const std::string mistaken = "# my careful notes\npointer_sped = 900.0\n";
    put(file, mistaken);
    put(backup, "an older copy");

    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(save_window_settings(file, changed()).ok());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "thumbrover: kept the settings file with a mistake as " + backup.string() + "\n");
    EXPECT_EQ(contents(backup), mistaken);
    EXPECT_EQ(contents(file), config_to_text(changed()));

    // The file is sound now: the next change keeps nothing and says nothing.
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(save_window_settings(file, Config{}).ok());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(contents(backup), mistaken);
    EXPECT_EQ(contents(file), config_to_text(Config{}));
}

TEST(SaveWindowSettings, SoundOrMissingFilesAreWrittenWithoutACopy) {
    for (bool exists : {false, true}) {
        TempDir dir;
        const fs::path file = dir / "config.toml";
        if (exists) put(file, config_to_text(Config{}));
        ::testing::internal::CaptureStderr();
        ASSERT_TRUE(save_window_settings(file, changed()).ok());
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_FALSE(fs::exists(dir / "config.toml.bak"));
        EXPECT_EQ(load_config(file), changed());
    }
}

TEST(SaveWindowSettings, AFileThatCannotBeReadIsNeitherKeptNorReplaced) {
    TempDir dir;
    const fs::path file = dir / "config.toml";
    fs::create_directory(file);
    put(file / "inside", "x");
    const Result<void> saved = save_window_settings(file, changed());
    ASSERT_FALSE(saved.ok());
    EXPECT_TRUE(saved.error().starts_with("could not write " + file.string() + ": "))
        << saved.error();
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_EQ(contents(file / "inside"), "x");
    EXPECT_FALSE(fs::exists(dir / "config.toml.bak"));
}

struct RecordingCircle final : CircleScaleTarget {
    std::vector<float> scales;
    void change_circle_scale(float scale) override { scales.push_back(scale); }
};

TEST(AppSettingsEffects, AWindowChangeReachesFileCircleAndEngine) {
    TempDir dir;
    const fs::path file = dir / "config.toml";
    put(file, "circle_scale = 2.5\nhold_ms = 700\n");
    RecordingCircle circle;
    std::vector<Config> sent;
    std::vector<std::string> notices;
    AppSettingsEffects effects(
        file, circle, [&](const Config& c) { sent.push_back(c); },
        [&](const std::string& h, const std::string& b) { notices.push_back(h + " | " + b); });
    SettingsStore store(effects);

    EXPECT_EQ(store.get().hold_ms, 700u);
    put(file, "circle_scale = 2.5\nhold_ms = 900\n");  // edited by hand while the window is shut
    store.reload();
    store.set_stick_role(Stick::Left, StickRole::None);

    Config expected;
    expected.circle_scale = 2.5f;
    expected.hold_ms = 900;
    expected.left_stick = StickRole::None;
    EXPECT_EQ(load_config(file), expected);
    EXPECT_EQ(circle.scales, std::vector<float>{2.5f});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], expected);
    EXPECT_TRUE(notices.empty());
}

TEST(AppSettingsEffects, AChangeThatCannotBeSavedIsStillAppliedAndShownOnce) {
    TempDir dir;
    put(dir / "not-a-folder", "");
    const fs::path file = dir / "not-a-folder" / "config.toml";
    RecordingCircle circle;
    std::vector<Config> sent;
    std::vector<std::string> notices;
    AppSettingsEffects effects(
        file, circle, [&](const Config& c) { sent.push_back(c); },
        [&](const std::string& h, const std::string& b) { notices.push_back(h + " | " + b); });
    SettingsStore store(effects);

    ::testing::internal::CaptureStderr();
    store.set_number(slider_specs()[0], 1200);
    store.set_number(slider_specs()[0], 1300);
    const std::string errors = ::testing::internal::GetCapturedStderr();

    EXPECT_NE(errors.find("thumbrover: could not write " + file.string() + ": "),
              std::string::npos);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(
        notices[0].starts_with("Thumbrover could not save your settings | Could not write "))
        << notices[0];
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].pointer_speed, 1300.0f);
    EXPECT_EQ(circle.scales.size(), 2u);
}

}  // namespace
}  // namespace thumbrover
