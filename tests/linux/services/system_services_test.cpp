#include "linux/system_services.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "core/common/files.hpp"
#include "linux/output_choice.hpp"
#include "test_support.hpp"

extern char** environ;

namespace thumbrover {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing::TempDir;

void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

std::string exec_line(const std::string& entry) {
    const auto at = entry.find("\nExec=");
    if (at == std::string::npos) return {};
    const auto end = entry.find('\n', at + 1);
    return entry.substr(at + 1, end - at - 1);
}

TEST(AutostartEntry, QuotesTheExecutableAsDesktopEntriesRequire) {
    struct Case {
        const char* path;
        const char* exec;
    };
    const Case cases[] = {
        {"/usr/bin/thumbrover", R"(Exec="/usr/bin/thumbrover")"},
        {"/opt/My Apps/thumbrover", R"(Exec="/opt/My Apps/thumbrover")"},
        {R"(/a"b/t)", R"(Exec="/a\"b/t")"},
        {"/a$HOME`x`/t", R"(Exec="/a\$HOME\`x\`/t")"},
        {R"(/a\b/t)", R"(Exec="/a\\\\b/t")"},
        {"/100%/t", R"(Exec="/100%%/t")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(exec_line(autostart_entry(c.path)), c.exec);
    }
    const std::string entry = autostart_entry("/usr/bin/thumbrover");
    EXPECT_THAT(entry, ::testing::StartsWith("[Desktop Entry]\nType=Application\n"));
    EXPECT_THAT(entry, HasSubstr("\nName=Thumbrover\n"));
}

class LoginItemTest : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path config = dir / "config";
    fs::path system = dir / "xdg";
    XdgLoginItem item{config, {dir / "nowhere", system}, "/usr/bin/thumbrover"};
    fs::path entry = config / "autostart" / "thumbrover.desktop";
    fs::path system_entry = system / "autostart" / "thumbrover.desktop";
};

TEST_F(LoginItemTest, SwitchingOnWritesTheEntryAndOffRemovesIt) {
    EXPECT_EQ(item.entry_path(), entry);
    EXPECT_FALSE(item.enabled());

    ASSERT_TRUE(item.set_enabled(true).ok());
    EXPECT_TRUE(item.enabled());
    auto text = read_file(entry);
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(*text, autostart_entry("/usr/bin/thumbrover"));

    ASSERT_TRUE(item.set_enabled(true).ok()) << "switching on twice";
    EXPECT_TRUE(item.enabled());

    ASSERT_TRUE(item.set_enabled(false).ok());
    EXPECT_FALSE(item.enabled());
    EXPECT_FALSE(fs::exists(entry));
    ASSERT_TRUE(item.set_enabled(false).ok()) << "switching off twice";
}

TEST_F(LoginItemTest, ReadsWhatTheDesktopWillReallyDo) {
    struct Case {
        const char* what;
        std::optional<std::string> user;
        bool system_entry;
        bool expected;
    };
    const std::string on = autostart_entry("/usr/bin/thumbrover");
    const Case cases[] = {
        {"nothing anywhere", std::nullopt, false, false},
        {"user entry", on, false, true},
        {"user entry hidden", on + "Hidden=true\n", false, false},
        {"user entry switched off the GNOME way",
         "[Desktop Entry]\nExec=x\nX-GNOME-Autostart-enabled=false\n", false, false},
        {"Hidden in another group does not count", on + "[Desktop Action x]\nHidden=true\n", false,
         true},
        {"only the system entry", std::nullopt, true, true},
        {"user entry hiding the system one", on + "Hidden=true\n", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(config);
        fs::remove_all(system);
        if (c.user) write(entry, *c.user);
        if (c.system_entry) write(system_entry, on);
        EXPECT_EQ(item.enabled(), c.expected);
    }
}

TEST_F(LoginItemTest, SwitchingOffASystemWideEntryHidesItForThisUserOnly) {
    write(system_entry, autostart_entry("/usr/bin/thumbrover"));
    ASSERT_TRUE(item.enabled());
    ASSERT_TRUE(item.set_enabled(false).ok());
    EXPECT_FALSE(item.enabled());
    EXPECT_TRUE(fs::exists(system_entry));
    ASSERT_TRUE(item.set_enabled(true).ok());
    EXPECT_TRUE(item.enabled());
}

TEST_F(LoginItemTest, AFolderThatCannotBeWrittenFailsAndStaysOff) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
    fs::create_directories(config);
    fs::permissions(config, fs::perms::owner_read | fs::perms::owner_exec);
    const Result<void> result = item.set_enabled(true);
    EXPECT_FALSE(result.ok());
    EXPECT_THAT(result.error(), HasSubstr(config.string()));
    EXPECT_FALSE(item.enabled());
}

TEST_F(LoginItemTest, AFileWhereTheFolderShouldBeFailsWithTheReason) {
    write(config / "autostart", "not a folder");
    const Result<void> result = item.set_enabled(true);
    ASSERT_FALSE(result.ok());
    EXPECT_THAT(result.error(), HasSubstr("autostart"));
    EXPECT_FALSE(item.enabled());
}

struct Started {
    std::string program;
    std::vector<std::string> args;
};

TEST(LinuxDesktop, HandsTargetsToXdgOpenAndCommandsToTheShellUnquoted) {
    std::vector<Started> started;
    LinuxDesktop desktop([&](const std::string& program, const std::vector<std::string>& args) {
        started.push_back({program, args});
        return Result<void>{};
    });
    ASSERT_TRUE(desktop.open("/home/me/my settings/config.toml").ok());
    ASSERT_TRUE(desktop.start_shell(desktop.restart_command(), "/opt/a \"b\"/thumbrover").ok());
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].program, "xdg-open");
    EXPECT_THAT(started[0].args, ::testing::ElementsAre("/home/me/my settings/config.toml"));
    EXPECT_EQ(started[1].program, "/bin/sh");
    EXPECT_THAT(started[1].args,
                ::testing::ElementsAre("-c", "sleep 1; exec \"$0\"", "/opt/a \"b\"/thumbrover"));
    EXPECT_EQ(desktop.bundle_path(), std::nullopt);
}

TEST(LinuxDesktop, PassesOnTheStartersFailure) {
    LinuxDesktop desktop([](const std::string&, const std::vector<std::string>&) {
        return Result<void>{Error{"No such file or directory"}};
    });
    const Result<void> result = desktop.open("x");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error(), "No such file or directory");
}

TEST(LinuxDesktop, TheRestartLineStartsAProgramWhosePathHasSpacesAndQuotesAsItWasStarted) {
    TempDir dir;
    const fs::path folder = dir / "my \"odd\" $HOME `x` folder";
    fs::create_directories(folder);
    const fs::path program = folder / "thumb rover";
    const fs::path marker = dir / "started";
    write(program, "#!/bin/sh\necho \"$0\" \"$@\" > '" + marker.string() + "'\n");
    fs::permissions(program, fs::perms::owner_all);

    pid_t child = 0;
    LinuxDesktop desktop([&](const std::string& name, const std::vector<std::string>& args) {
        std::vector<char*> argv{const_cast<char*>(name.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (::posix_spawn(&child, name.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
            return Result<void>{Error{"spawn failed"}};
        return Result<void>{};
    });
    // The session's own choice is made again; an output named at start is named again.
    const struct {
        OutputKind kind;
        bool requested;
        std::string arguments;
    } cases[] = {
        {OutputKind::Uinput, false, ""},
        {OutputKind::Uinput, true, " --output=uinput"},
        {OutputKind::Xtest, true, " --output=xtest"},
    };
    for (const auto& c : cases) {
        set_chosen_output(c.kind, c.requested);
        ASSERT_TRUE(desktop.start_shell(desktop.restart_command(), program.string()).ok());
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        auto text = read_file(marker);
        ASSERT_TRUE(text.ok()) << "the program did not start";
        EXPECT_EQ(*text, program.string() + c.arguments + "\n");
    }
    set_chosen_output(OutputKind::Xtest);
}

TEST(RunningExecutable, IsThisTestProgram) {
    const auto path = running_executable();
    ASSERT_TRUE(path.has_value());
    EXPECT_TRUE(path->is_absolute());
    EXPECT_EQ(path->filename(), "test_linux_services");
    EXPECT_EQ(LinuxDesktop({}).executable_path(), path);
}

TEST(X11InputPermission, GrantedWithAnXTestDisplayAndNotWithoutOne) {
    X11InputPermission permission;
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display";
    EXPECT_TRUE(permission.granted());
    {
        const testing::ScopedEnv elsewhere("DISPLAY", ":4711");
        EXPECT_FALSE(permission.granted());
    }
    permission.request();
    EXPECT_TRUE(permission.granted());
}

}  // namespace
}  // namespace thumbrover
