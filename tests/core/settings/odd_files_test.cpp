// Things that are not regular files, found where the program keeps its own: each reader must
// refuse them at once, say so on one line naming the path, and carry on as for an unreadable file.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/common/diag.hpp"
#include "core/common/files.hpp"
#include "core/settings/app_folder.hpp"
#include "core/settings/config_command.hpp"
#include "core/settings/config_file.hpp"
#include "core/update/stored_state.hpp"
#include "test_support.hpp"

namespace thumbrover {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

struct OddKind {
    std::string name;
    std::function<bool(const fs::path&)> make;
};

bool make_fifo(const fs::path& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

bool make_socket(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

bool link_to(const fs::path& target, const fs::path& path) {
    std::error_code ec;
    fs::create_symlink(target, path, ec);
    return !ec;
}

const std::vector<OddKind>& odd_kinds() {
    static const std::vector<OddKind> kinds = {
        {"fifo", make_fifo},
        {"socket", make_socket},
        {"endless device", [](const fs::path& p) { return link_to("/dev/zero", p); }},
        {"link to a fifo",
         [](const fs::path& p) {
             return make_fifo(p.string() + "-target") && link_to(p.string() + "-target", p);
         }},
    };
    return kinds;
}

std::string line(const std::string& message) {
    return std::string(program_name()) + ": " + message + "\n";
}

TEST(OddFiles, TheSettingsReadersRefuseThemWithoutWaiting) {
    for (const OddKind& kind : odd_kinds()) {
        SCOPED_TRACE(kind.name);
        TempDir dir;
        const fs::path file = dir / "config.toml";
        ASSERT_TRUE(kind.make(file));

        const ConfigReading reading = read_config(file);
        EXPECT_EQ(reading.status, ConfigStatus::Unreadable);
        EXPECT_EQ(reading.problem, kNotRegularFile);
        EXPECT_EQ(load_config(file), Config{});

        const std::string_view check_args[] = {"check", file.c_str()};
        const CommandOutcome check = run_config_command(check_args, file);
        EXPECT_EQ(check.status, 1);
        EXPECT_EQ(check.err, line(file.string() + ": not a regular file"));

        std::vector<std::string> notices;
        CaptureStderr();
        const Config started = load_config_at_start(
            file,
            [&](const std::string& heading, const std::string&) { notices.push_back(heading); });
        EXPECT_EQ(GetCapturedStderr(), line(file.string() + ": not a regular file"));
        EXPECT_EQ(started, Config{});
        EXPECT_EQ(notices, std::vector<std::string>{std::string(kUnreadableHeading)});
        EXPECT_FALSE(fs::is_regular_file(file)) << "left as it is for the user to mend";
    }
}

TEST(OddFiles, TheStateFileReadersRefuseThemWithoutWaiting) {
    for (const OddKind& kind : odd_kinds()) {
        SCOPED_TRACE(kind.name);
        TempDir dir;
        for (const char* name : {"update.toml", "enabled", "lock"})
            ASSERT_TRUE(kind.make(dir / name)) << name;

        CaptureStderr();
        EXPECT_EQ(load_stored_update(dir / "update.toml"), StoredUpdate{});
        EXPECT_EQ(GetCapturedStderr(), line("could not read " + (dir / "update.toml").string() +
                                            ": not a regular file"));

        CaptureStderr();
        EXPECT_TRUE(read_enabled(dir.path()));
        EXPECT_EQ(GetCapturedStderr(),
                  line("could not read " + (dir / "enabled").string() + ": not a regular file"));

        const auto lock = InstanceLock::acquire(dir.path());
        ASSERT_FALSE(lock.ok());
        EXPECT_EQ(lock.error(),
                  "could not open " + (dir / "lock").string() + ": not a regular file");
    }
}

}  // namespace
}  // namespace thumbrover
