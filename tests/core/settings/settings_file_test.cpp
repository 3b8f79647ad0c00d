#include "core/settings/settings_file.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/common/files.hpp"
#include "core/settings/config_file.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::put;
namespace fs = std::filesystem;
using thumbrover::testing::TempDir;

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

}  // namespace
}  // namespace thumbrover
