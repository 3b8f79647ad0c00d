#include "core/common/files.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::slurp;
namespace fs = std::filesystem;
using testing::TempDir;

TEST(WriteFileAtomically, CreatesReplacesAndLeavesNoTemporaryFiles) {
    TempDir dir;
    const fs::path file = dir / "config.toml";
    ASSERT_TRUE(write_file_atomically(file, "one\n").ok());
    EXPECT_EQ(slurp(file), "one\n");
    ASSERT_TRUE(write_file_atomically(file, "two\n").ok());
    EXPECT_EQ(slurp(file), "two\n");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(WriteFileAtomically, KeepsSymlinkAndPermissions) {
    TempDir dir;
    const fs::path real = dir / "real.toml";
    const fs::path link = dir / "config.toml";
    ASSERT_TRUE(write_file_atomically(real, "old").ok());
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    fs::create_symlink("real.toml", link);

    ASSERT_TRUE(write_file_atomically(link, "new").ok());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(real), "new");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(WriteFileAtomically, ReportsFailuresWithPath) {
    TempDir dir;
    const fs::path missing_folder = dir / "nope" / "config.toml";
    auto r = write_file_atomically(missing_folder, "x");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(),
              "could not write " + missing_folder.string() + ": No such file or directory");

    fs::create_directory(dir / "folder");
    auto r2 = write_file_atomically(dir / "folder", "x");
    ASSERT_FALSE(r2.ok());
    EXPECT_EQ(r2.error(), "could not write " + (dir / "folder").string() + ": Is a directory");
}

TEST(ReadFile, ReadsLimitsAndReports) {
    TempDir dir;
    const fs::path file = dir / "a";
    ASSERT_TRUE(write_file_atomically(file, std::string(100, 'x')).ok());
    auto ok = read_file(file);
    ASSERT_TRUE(ok.ok());
    EXPECT_EQ(ok.value().size(), 100u);

    auto too_big = read_file(file, 99);
    ASSERT_FALSE(too_big.ok());
    EXPECT_NE(too_big.error().find("larger than 99 bytes"), std::string::npos);

    auto missing = read_file(dir / "b");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error(),
              "could not read " + (dir / "b").string() + ": No such file or directory");

    auto folder = read_file(dir.path());
    ASSERT_FALSE(folder.ok());
    EXPECT_NE(folder.error().find("Is a directory"), std::string::npos);
}

}  // namespace
}  // namespace thumbrover
