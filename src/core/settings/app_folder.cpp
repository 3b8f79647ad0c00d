#include "core/settings/app_folder.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

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

std::string_view trim_blanks(std::string_view text) {
    constexpr std::string_view blanks = " \t\n\r\f\v";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
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

Result<InstanceLock> InstanceLock::acquire(const fs::path& dir) {
    const fs::path path = dir / "lock";
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.valid()) return Error{"could not open " + path.string() + ": " + errno_text(errno)};
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
    if (!text) return true;
    return trim_blanks(*text) != "false";
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
