#include "core/settings/app_folder.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

#include "core/bindings/unicode_text.hpp"
#include "core/common/diag.hpp"

namespace thumbrover {
namespace {

namespace fs = std::filesystem;

std::optional<std::string_view> environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string_view(value);
}

fs::path home_folder(std::optional<std::string_view> home) {
    // An empty HOME would make every path relative to whatever folder the program was started
    // in; the root folder is the documented stand-in for a missing home.
    if (!home || home->empty()) return fs::path("/");
    return fs::path(*home);
}

bool running_on_macos() {
    struct utsname name {};
    if (::uname(&name) != 0) return false;
    return std::string_view(name.sysname) == "Darwin";
}

}  // namespace

fs::path xdg_app_dir(std::optional<std::string_view> xdg_config_home,
                     std::optional<std::string_view> home) {
    if (xdg_config_home && !xdg_config_home->empty() && xdg_config_home->front() == '/')
        return fs::path(*xdg_config_home) / "thumbrover";
    return home_folder(home) / ".config" / "thumbrover";
}

fs::path mac_app_dir(std::optional<std::string_view> home) {
    return home_folder(home) / "Library" / "Application Support" / "Thumbrover";
}

fs::path app_dir() {
    if (running_on_macos()) return mac_app_dir(environment("HOME"));
    return xdg_app_dir(environment("XDG_CONFIG_HOME"), environment("HOME"));
}

Result<void> create_app_dir(const fs::path& dir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) return Error{"could not create " + dir.string() + ": " + ec.message()};
    // create_directories is quiet when the path exists as a file; the folder must really be one.
    if (!fs::is_directory(dir, ec))
        return Error{"could not create " + dir.string() + ": " + errno_text(ENOTDIR)};
    return {};
}

void remove_stale_saves(const fs::path& dir) {
    (void)remove_stale_temporary_files(
        dir, {"config.toml", "config.toml.bak", "update.toml", "enabled", "setup-done"});
}

Result<InstanceLock> InstanceLock::acquire(const fs::path& dir) {
    const fs::path path = dir / "lock";
    const auto not_regular = [&] {
        return Error{"could not open " + path.string() + ": " + std::string(kNotRegularFile)};
    };
    // Without O_NONBLOCK, a FIFO put in its place would hold the start until a reader came.
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!fd.valid()) {
        // The error a FIFO or socket without a reader gives.
        if (errno == ENXIO) return not_regular();
        return Error{"could not open " + path.string() + ": " + errno_text(errno)};
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return Error{"could not open " + path.string() + ": " + errno_text(errno)};
    if (!S_ISREG(st.st_mode)) return not_regular();
    int rc = 0;
    do {
        rc = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        if (errno == EWOULDBLOCK) return Error{std::string(kAlreadyRunning)};
        return Error{"could not lock " + path.string() + ": " + errno_text(errno)};
    }
    return InstanceLock(std::move(fd));
}

bool read_enabled(const fs::path& dir) {
    auto text = read_file(dir / "enabled", 4096);
    if (!text) {
        // A missing file is the usual case and says nothing; a FIFO or device there is odd
        // enough to mention.
        if (is_not_regular_file_error(text.error())) diag(text.error());
        return true;
    }
    return unicode_text::trim(*text) != "false";
}

Result<void> write_enabled(const fs::path& dir, bool enabled) {
    return write_file_atomically(dir / "enabled", enabled ? "true" : "false");
}

bool setup_done(const fs::path& dir) {
    std::error_code ec;
    return fs::exists(dir / "setup-done", ec);
}

Result<void> write_setup_done(const fs::path& dir) {
    return write_file_atomically(dir / "setup-done", "");
}

}  // namespace thumbrover
