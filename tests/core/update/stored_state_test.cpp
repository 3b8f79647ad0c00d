#include "core/update/stored_state.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "core/common/files.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::TempDir;

TEST(StoredUpdateText, OnlyCheckedAtIsOneLine) {
    EXPECT_EQ(stored_update_to_toml(StoredUpdate{1700000000, std::nullopt}),
              "checked_at = 1700000000\n");
}

TEST(StoredUpdateText, CheckedAtComesBeforeTheLatestTable) {
    const std::string text =
        stored_update_to_toml(StoredUpdate{42, Release{"0.2.0", "https://a/b", "fixes"}});
    EXPECT_EQ(text,
              "checked_at = 42\n"
              "\n"
              "[latest]\n"
              "notes = \"fixes\"\n"
              "url = \"https://a/b\"\n"
              "version = \"0.2.0\"\n");
}

TEST(StoredUpdateText, RoundTripsEveryShape) {
    const StoredUpdate shapes[] = {
        {},
        {0, std::nullopt},
        {-5, std::nullopt},
        {9223372036854775807, std::nullopt},
        {std::nullopt, Release{"1.0", "https://x/y", ""}},
        {1700000000, Release{"v0.3.0-rc1", "https://thumbrover.app/d?x=1&y=\"2\"",
                             "Line one\nline \"two\" with 'quotes', ''' and \\ and \t tab\n"
                             "émoji 🎮 <b>markup</b> \x01\x7f"}},
    };
    for (const StoredUpdate& stored : shapes) {
        const std::string text = stored_update_to_toml(stored);
        EXPECT_EQ(stored_update_from_toml(text), stored) << text;
    }
}

struct Reading {
    std::string name;
    std::string text;
    StoredUpdate expected;
};

class StoredUpdateReading : public ::testing::TestWithParam<Reading> {};

// Tests print their parameter with a failure and in the test list: its name, not its bytes.
void PrintTo(const Reading& c, std::ostream* os) {
    *os << c.name;
}

TEST_P(StoredUpdateReading, AcceptsTheRecordOrForgetsEverything) {
    EXPECT_EQ(stored_update_from_toml(GetParam().text), GetParam().expected);
}

const Release some_release{"0.2.0", "https://a/b", "n"};

std::string deep_dotted_key() {
    std::string key;
    for (int i = 0; i < 100000; ++i)
        key += "a.";
    return key + "a";
}

INSTANTIATE_TEST_SUITE_P(
    Table, StoredUpdateReading,
    ::testing::Values(
        Reading{"Empty", "", {}},
        Reading{"Full",
                "checked_at = 7\n[latest]\nversion = \"0.2.0\"\nurl = \"https://a/b\"\n"
                "notes = \"n\"\n",
                {7, some_release}},
        Reading{"UnknownKeysIgnored",
                "checked_at = 7\nfuture = true\n[latest]\nversion = \"0.2.0\"\n"
                "url = \"https://a/b\"\nnotes = \"n\"\nsize = 3\n[other]\nx = 1\n",
                {7, some_release}},
        Reading{"LatestOnly",
                "[latest]\nversion = \"0.2.0\"\nurl = \"https://a/b\"\nnotes = \"n\"\n",
                {std::nullopt, some_release}},
        Reading{"SyntaxError", "checked_at = \n", {}},
        Reading{"CheckedAtIsText", "checked_at = \"7\"\n", {}},
        Reading{"CheckedAtIsFloat", "checked_at = 7.5\n", {}},
        Reading{"CheckedAtIsDate", "checked_at = 2024-01-01T00:00:00Z\n", {}},
        Reading{"LatestNotATable", "checked_at = 7\nlatest = \"0.2.0\"\n", {}},
        Reading{"LatestMissingNotes",
                "checked_at = 7\n[latest]\nversion = \"0.2.0\"\nurl = \"https://a/b\"\n",
                {}},
        Reading{"LatestVersionNotText",
                "checked_at = 7\n[latest]\nversion = 2\nurl = \"https://a/b\"\nnotes = \"\"\n",
                {}},
        Reading{"NotUtf8", "checked_at = 7\n# \xff\xfe\n", {}},
        Reading{"Binary", std::string("\0\x01\x02garbage", 10), {}},
        // A key of 100 000 parts once took the parser's stack, and the program with it, at
        // every start.
        Reading{"DottedKeyNestedTooDeep", "checked_at = 7\n" + deep_dotted_key() + " = 1\n", {}},
        Reading{"HeaderNestedTooDeep", "checked_at = 7\n[" + deep_dotted_key() + "]\n", {}}),
    [](const auto& param_info) { return param_info.param.name; });

TEST(StoredUpdateFile, SavesIntoMissingFoldersAndLoadsBack) {
    TempDir dir;
    const auto path = dir / "a" / "b" / "update.toml";
    const StoredUpdate stored{1700000000, Release{"0.2.0", "https://a/b", "notes"}};
    ASSERT_TRUE(save_stored_update(path, stored));
    EXPECT_EQ(load_stored_update(path), stored);

    const StoredUpdate replaced{1700000100, std::nullopt};
    ASSERT_TRUE(save_stored_update(path, replaced));
    EXPECT_EQ(load_stored_update(path), replaced);
    EXPECT_EQ(*read_file(path), "checked_at = 1700000100\n");
}

TEST(StoredUpdateFile, MissingOrUnreadableCountsAsNeverChecked) {
    TempDir dir;
    EXPECT_EQ(load_stored_update(dir / "update.toml"), StoredUpdate{});
    std::filesystem::create_directory(dir / "folder.toml");
    EXPECT_EQ(load_stored_update(dir / "folder.toml"), StoredUpdate{});
}

TEST(StoredUpdateFile, SaveFailureIsReportedWithThePath) {
    TempDir dir;
    // A file where the folder should be.
    ASSERT_TRUE(write_file_atomically(dir / "blocker", "x"));
    const auto saved = save_stored_update(dir / "blocker" / "update.toml", StoredUpdate{1, {}});
    ASSERT_FALSE(saved);
    EXPECT_NE(saved.error().find((dir / "blocker").string()), std::string::npos) << saved.error();
}

}  // namespace
}  // namespace thumbrover
