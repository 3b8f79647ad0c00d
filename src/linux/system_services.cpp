#include "linux/system_services.hpp"
#include "linux/uinput_output.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <system_error>
#include <utility>

#include "core/common/files.hpp"
#include "core/settings/app_folder.hpp"
#include "linux/output_choice.hpp"
#include "linux/x11_display.hpp"

namespace thumbrover {
namespace {

namespace fs = std::filesystem;

constexpr const char* kEntryName = "thumbrover.desktop";

std::optional<std::string_view> environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string_view(value);
}

// An Exec argument: inside double quotes the characters ", `, $ and \ take a backslash; then the
// whole value is a desktop-entry string, where a backslash is itself written twice, and a
// percent sign is a field code unless doubled.
std::string quoted_exec_argument(const std::string& argument) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$') {
            quoted += "\\";
            quoted += c;
        } else if (c == '\\') {
            quoted += "\\\\\\\\";
        } else if (c == '%') {
            quoted += "%%";
        } else if (c == '\n') {
            quoted += "\\n";
        } else {
            quoted += c;
        }
    }
    quoted += '"';
    return quoted;
}

// The XDG rules: an entry marked Hidden is treated as deleted, and GNOME's own switch turns it
// off without deleting it.
bool entry_switched_on(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    bool in_main_group = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') {
            in_main_group = line == "[Desktop Entry]";
            continue;
        }
        if (!in_main_group) continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        while (!value.empty() && value.front() == ' ')
            value.erase(0, 1);
        if (key == "Hidden" && value == "true") return false;
        if (key == "X-GNOME-Autostart-enabled" && value == "false") return false;
    }
    return true;
}

}  // namespace

std::string autostart_entry(const fs::path& executable) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Thumbrover\n"
           "Comment=Use a game controller as a mouse and media remote\n"
           "Exec=" +
           quoted_exec_argument(executable.string()) +
           "\n"
           "Icon=thumbrover\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

XdgLoginItem::XdgLoginItem(fs::path config_home, std::vector<fs::path> system_dirs,
                           fs::path executable)
    : config_home_(std::move(config_home)),
      system_dirs_(std::move(system_dirs)),
      executable_(std::move(executable)) {}

XdgLoginItem XdgLoginItem::from_environment() {
    // The application folder follows the same XDG rule; its parent is the configuration home.
    fs::path config_home =
        xdg_app_dir(environment("XDG_CONFIG_HOME"), environment("HOME")).parent_path();
    std::vector<fs::path> system_dirs;
    const std::string dirs(environment("XDG_CONFIG_DIRS").value_or(""));
    std::istringstream parts(dirs);
    std::string part;
    while (std::getline(parts, part, ':'))
        if (!part.empty() && part.front() == '/') system_dirs.emplace_back(part);
    if (system_dirs.empty()) system_dirs.emplace_back("/etc/xdg");
    return XdgLoginItem(std::move(config_home), std::move(system_dirs),
                        running_executable().value_or(fs::path("thumbrover")));
}

fs::path XdgLoginItem::entry_path() const {
    return config_home_ / "autostart" / kEntryName;
}

bool XdgLoginItem::system_entry_exists() const {
    std::error_code ec;
    for (const fs::path& dir : system_dirs_)
        if (fs::exists(dir / "autostart" / kEntryName, ec)) return true;
    return false;
}

bool XdgLoginItem::enabled() {
    // The user's entry overrides a system one of the same name, whatever it says.
    auto text = read_file(entry_path(), 1024 * 1024);
    if (text) return entry_switched_on(*text);
    std::error_code ec;
    if (fs::exists(entry_path(), ec)) return false;
    return system_entry_exists();
}

Result<void> XdgLoginItem::set_enabled(bool on) {
    const fs::path path = entry_path();
    if (on || system_entry_exists()) {
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        if (ec)
            return Error{"could not create " + path.parent_path().string() + ": " + ec.message()};
        std::string entry = autostart_entry(executable_);
        if (!on) entry += "Hidden=true\n";
        return write_file_atomically(path, entry);
    }
    std::error_code ec;
    fs::remove(path, ec);
    if (ec) return Error{"could not remove " + path.string() + ": " + ec.message()};
    return {};
}

LinuxDesktop::LinuxDesktop(ProcessStarter start, Spawner watched)
    : start_(std::move(start)), watched_(std::move(watched)) {}

Result<void> LinuxDesktop::open_then(const std::string& target, Ended ended) {
    if (!watched_) return open(target);
    return watched_("xdg-open", {target},
                    SpawnOptions{.discard_stderr = false, .on_exit = std::move(ended)});
}

Result<void> LinuxDesktop::start_shell_then(const std::string& command,
                                            const std::string& argument0, Ended ended) {
    if (!watched_) return start_shell(command, argument0);
    return watched_("/bin/sh", {"-c", command, argument0},
                    SpawnOptions{.discard_stderr = false, .on_exit = std::move(ended)});
}

Result<void> LinuxDesktop::open(const std::string& target) {
    return start_("xdg-open", {target});
}

Result<void> LinuxDesktop::start_shell(const std::string& command, const std::string& argument0) {
    return start_("/bin/sh", {"-c", command, argument0});
}

std::string LinuxDesktop::restart_command() const {
    // The output named on the command line comes along: started with --output=uinput in an X11
    // session, a restart without it would post through XTEST.
    const std::string output = restart_output_argument();
    return "sleep 1; exec \"$0\"" + (output.empty() ? std::string() : " " + output);
}

std::optional<fs::path> LinuxDesktop::bundle_path() const {
    return std::nullopt;
}

std::optional<fs::path> LinuxDesktop::executable_path() const {
    return running_executable();
}

bool X11InputPermission::granted() {
    const char* name = std::getenv("DISPLAY");
    const std::string display_name = name == nullptr ? std::string() : std::string(name);
    if (checked_display_ == display_name) return granted_;
    checked_display_ = display_name;
    const auto display = X11Display::open();
    int event_base = 0;
    int error_base = 0;
    int major = 0;
    int minor = 0;
    granted_ = display.ok() && XTestQueryExtension(display->get(), &event_base, &error_base, &major,
                                                   &minor) == True;
    return granted_;
}

bool UinputPermission::granted() {
    const bool granted = !uinput_access_problem().has_value();
    if (granted) uinput_recheck_counter().fetch_add(1, std::memory_order_relaxed);
    return granted;
}

PermissionWording uinput_wording() {
    // Where access is there at start, the missing texts are those of the commonest loss of it.
    const UinputProblem problem =
        uinput_access_problem().value_or(describe_uinput_problem(EACCES, false));
    static const std::string setup_missing =
        "Needed to move the pointer, click and press keys in a Wayland session, but " +
        problem.what + ". Run this in a terminal; Thumbrover takes up the access at once:\n" +
        problem.fix;
    static const std::string log_missing =
        "the pointer will not move: " + problem.what + "; to fix it, run: " + problem.fix;
    return PermissionWording{
        .setup_title = "Input through /dev/uinput",
        .setup_granted =
            "Allowed. Thumbrover's virtual pointer and keyboard move the pointer, click and "
            "press keys.",
        .setup_restart = "Allowed.",
        .setup_missing = setup_missing,
        .settings_on = "Thumbrover can post input through /dev/uinput",
        .settings_restart = "Thumbrover can post input through /dev/uinput",
        .settings_off = "/dev/uinput is not writable: see Setup & Permissions",
        .log_granted = "/dev/uinput is writable: input goes through Thumbrover's virtual devices",
        .log_missing = log_missing,
        .has_settings_pane = false,
        .takes_effect_at_once = true,
    };
}

std::optional<fs::path> running_executable() {
    std::error_code ec;
    fs::path path = fs::read_symlink("/proc/self/exe", ec);
    if (ec || path.empty()) return std::nullopt;
    // A binary replaced on disk while running (an upgrade) reads as "path (deleted)"; the new
    // file at the same path is the one to start again.
    constexpr std::string_view kDeleted = " (deleted)";
    std::string text = path.string();
    if (text.size() > kDeleted.size() && text.ends_with(kDeleted)) {
        text.resize(text.size() - kDeleted.size());
        path = text;
    }
    return path;
}

}  // namespace thumbrover
