#include "core/settings/app_folder.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "test_support.hpp"

namespace thumbrover {
namespace {

using testing::put;
using testing::slurp;
namespace fs = std::filesystem;
using testing::TempDir;

struct FolderCase {
    std::optional<std::string_view> xdg;
    std::optional<std::string_view> home;
    std::string linux_dir;
    std::string mac_dir;
};

TEST(AppDir, FollowsXdgOnLinuxAndApplicationSupportOnMac) {
    const FolderCase cases[] = {
        {std::nullopt, "/home/ann", "/home/ann/.config/thumbrover",
         "/home/ann/Library/Application Support/Thumbrover"},
        {std::nullopt, "/home/ann/", "/home/ann/.config/thumbrover",
         "/home/ann/Library/Application Support/Thumbrover"},
        {"/xdg", "/home/ann", "/xdg/thumbrover",
         "/home/ann/Library/Application Support/Thumbrover"},
        {"/xdg/", "/home/ann", "/xdg/thumbrover",
         "/home/ann/Library/Application Support/Thumbrover"},
        {"", "/home/ann", "/home/ann/.config/thumbrover",
         "/home/ann/Library/Application Support/Thumbrover"},
        {"relative/cfg", "/home/ann", "/home/ann/.config/thumbrover",
         "/home/ann/Library/Application Support/Thumbrover"},
        {std::nullopt, std::nullopt, "/.config/thumbrover",
         "/Library/Application Support/Thumbrover"},
        {std::nullopt, "", "/.config/thumbrover", "/Library/Application Support/Thumbrover"},
        {"/xdg", std::nullopt, "/xdg/thumbrover", "/Library/Application Support/Thumbrover"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.xdg.value_or("<unset>")) + " / " +
                     std::string(c.home.value_or("<unset>")));
        EXPECT_EQ(xdg_app_dir(c.xdg, c.home).string(), c.linux_dir);
        EXPECT_EQ(mac_app_dir(c.home).string(), c.mac_dir);
    }
}

TEST(AppDir, ReadsTheEnvironmentOnEveryCall) {
    testing::ScopedEnv xdg("XDG_CONFIG_HOME", "/first");
    const fs::path first = app_dir();
    xdg.set("/second");
    const fs::path second = app_dir();
    EXPECT_EQ(first, fs::path("/first/thumbrover"));
    EXPECT_EQ(second, fs::path("/second/thumbrover"));
}

TEST(CreateAppDir, CreatesParentsAndAcceptsAnExistingFolder) {
    TempDir tmp;
    const fs::path dir = tmp / "a" / "b" / "thumbrover";
    ASSERT_TRUE(create_app_dir(dir).ok());
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_TRUE(create_app_dir(dir).ok());
}

TEST(CreateAppDir, FailsWithTheReason) {
    TempDir tmp;
    put(tmp / "file", "x");
    auto under_file = create_app_dir(tmp / "file" / "thumbrover");
    ASSERT_FALSE(under_file.ok());
    EXPECT_EQ(under_file.error(),
              "could not create " + (tmp / "file" / "thumbrover").string() + ": Not a directory");

    auto is_file = create_app_dir(tmp / "file");
    ASSERT_FALSE(is_file.ok());
    EXPECT_EQ(is_file.error(), "could not create " + (tmp / "file").string() + ": Not a directory");
}

TEST(InstanceLock, ExcludesASecondOpenFileAndIsReleasedOnDestruction) {
    TempDir tmp;
    {
        auto first = InstanceLock::acquire(tmp.path());
        ASSERT_TRUE(first.ok()) << first.error();
        auto second = InstanceLock::acquire(tmp.path());
        ASSERT_FALSE(second.ok());
        EXPECT_EQ(second.error(), "Thumbrover is already running");

        // Moving the lock keeps it held.
        InstanceLock moved = std::move(*first);
        EXPECT_FALSE(InstanceLock::acquire(tmp.path()).ok());
    }
    EXPECT_TRUE(InstanceLock::acquire(tmp.path()).ok());
    EXPECT_EQ(slurp(tmp / "lock"), "");
}

// Runs `acquire` in a child process and gives its exit status: 0 locked, 1 already running.
int child_tries_lock(const fs::path& dir) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        auto lock = InstanceLock::acquire(dir);
        ::_exit(lock.ok() ? 0 : (lock.error() == "Thumbrover is already running" ? 1 : 2));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstanceLock, ExcludesAnotherProcessAndAStaleFileBlocksNobody) {
    TempDir tmp;
    put(tmp / "lock", "left over by a crashed copy");
    EXPECT_EQ(child_tries_lock(tmp.path()), 0);
    {
        auto held = InstanceLock::acquire(tmp.path());
        ASSERT_TRUE(held.ok());
        EXPECT_EQ(child_tries_lock(tmp.path()), 1);
    }
    EXPECT_EQ(child_tries_lock(tmp.path()), 0);
}

TEST(InstanceLock, ReportsAFolderThatCannotHoldTheFile) {
    TempDir tmp;
    auto lock = InstanceLock::acquire(tmp / "missing");
    ASSERT_FALSE(lock.ok());
    EXPECT_EQ(lock.error(), "could not open " + (tmp / "missing" / "lock").string() +
                                ": No such file or directory");
}

TEST(Enabled, OnlyTheWordFalseSwitchesOff) {
    struct Case {
        std::optional<std::string> content;
        bool enabled;
    };
    const Case cases[] = {
        {std::nullopt, true},
        {"false", false},
        {"false\n", false},
        {"  false  ", false},
        {"\tfalse\r\n", false},
        {"true", true},
        {"", true},
        {"FALSE", true},
        {"False", true},
        {"0", true},
        {"no", true},
        {"false false", true},
        // White space is Unicode's: a no-break space or an ideographic space counts, a
        // zero-width space (a format character) does not.
        {"false\u00a0", false},
        {"\u3000false\u2028", false},
        {"false\u200b", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.value_or("<missing>"));
        TempDir tmp;
        if (c.content) put(tmp / "enabled", *c.content);
        EXPECT_EQ(read_enabled(tmp.path()), c.enabled);
    }
}

TEST(Enabled, AFolderInThePlaceOfTheFileMeansOn) {
    TempDir tmp;
    fs::create_directory(tmp / "enabled");
    EXPECT_TRUE(read_enabled(tmp.path()));
}

TEST(Enabled, WritesTheWordWithoutALineFeedAndReadsItBack) {
    TempDir tmp;
    ASSERT_TRUE(write_enabled(tmp.path(), false).ok());
    EXPECT_EQ(slurp(tmp / "enabled"), "false");
    EXPECT_FALSE(read_enabled(tmp.path()));
    ASSERT_TRUE(write_enabled(tmp.path(), true).ok());
    EXPECT_EQ(slurp(tmp / "enabled"), "true");
    EXPECT_TRUE(read_enabled(tmp.path()));
    fs::remove(tmp / "enabled");
    EXPECT_TRUE(read_enabled(tmp.path()));
}

TEST(Enabled, WriteFailureIsReported) {
    TempDir tmp;
    fs::create_directory(tmp / "enabled");
    auto r = write_enabled(tmp.path(), false);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), "could not write " + (tmp / "enabled").string() + ": Is a directory");
}

TEST(SetupDone, AnythingAtThePathCounts) {
    TempDir tmp;
    EXPECT_FALSE(setup_done(tmp.path()));
    ASSERT_TRUE(write_setup_done(tmp.path()).ok());
    EXPECT_TRUE(setup_done(tmp.path()));
    EXPECT_EQ(slurp(tmp / "setup-done"), "");

    TempDir other;
    fs::create_directory(other / "setup-done");
    EXPECT_TRUE(setup_done(other.path()));
}

TEST(SetupDone, WriteFailureIsReported) {
    TempDir tmp;
    auto r = write_setup_done(tmp / "missing");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), "could not write " + (tmp / "missing" / "setup-done").string() +
                             ": No such file or directory");
}

}  // namespace
}  // namespace thumbrover
