#include "core/common/files.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

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

// A pipe stays readable for tools that ask for any kind of file: `replay <(...)` must still work.
TEST(ReadFile, AnyKindReadsAPipeToItsEnd) {
    TempDir dir;
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(fifo) << "0 toggle\n"; });
    auto text = read_file(fifo, 1024, FileKinds::Any);
    writer.join();
    ASSERT_TRUE(text.ok()) << text.error();
    EXPECT_EQ(*text, "0 toggle\n");
    auto refused = read_file(fifo);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error(), "could not read " + fifo.string() + ": not a regular file");
    EXPECT_TRUE(is_not_regular_file_error(refused.error()));
}

TEST(RemoveStaleTemporaryFiles, RemovesOnlyOurOwnNamingLeftByOtherProcesses) {
    const std::string own = std::to_string(::getpid());
    const struct {
        std::string name;
        bool removed;
    } cases[] = {
        {".config.toml.tmp-123-0", true},
        {".update.toml.tmp-99-17", true},
        {".enabled.tmp-5-0", true},
        {".config.toml.tmp-" + own + "-3", false},  // a save of this process, under way
        {".config.toml.tmp-12x-0", false},
        {".config.toml.tmp-12-", false},
        {"config.toml.tmp-1-2", false},
        {".other.toml.tmp-1-2", false},
        {".config.toml", false},
        {"config.toml", false},
    };
    TempDir dir;
    for (const auto& c : cases)
        testing::put(dir / c.name, "x");
    fs::create_directory(dir / ".enabled.tmp-6-0");
    fs::create_symlink(dir / "config.toml", dir / ".config.toml.tmp-7-0");

    EXPECT_EQ(remove_stale_temporary_files(dir.path(), {"config.toml", "update.toml", "enabled"}),
              3u);
    for (const auto& c : cases)
        EXPECT_EQ(fs::exists(dir / c.name), !c.removed) << c.name;
    EXPECT_TRUE(fs::is_directory(dir / ".enabled.tmp-6-0")) << "only files are ours";
    EXPECT_TRUE(fs::is_symlink(dir / ".config.toml.tmp-7-0")) << "only files are ours";
}

}  // namespace
}  // namespace thumbrover
