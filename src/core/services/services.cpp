#include "core/services/services.hpp"

#include <filesystem>

#include "core/common/diag.hpp"

namespace thumbrover {

LoginItemState toggle_login_item(LoginItem& login_item, bool checked) {
    if (checked && login_item.state() == LoginItemState::AwaitingApproval) {
        // Registered already, so registering again could only fail; the user allows it in the
        // system's list.
        const Result<void> opened = login_item.open_approval();
        if (!opened) diag("could not open the login items: " + opened.error());
        return LoginItemState::AwaitingApproval;
    }
    const Result<void> changed = login_item.set_enabled(checked);
    if (!changed) diag("could not change the login item: " + changed.error());
    // What the system made of it: a new registration may await approval too.
    return login_item.state();
}

bool open_with_system(Desktop& desktop, const std::string& target) {
    const Result<void> opened = desktop.open(target);
    if (!opened) diag("could not open " + target + ": " + opened.error());
    return opened.ok();
}

namespace {

// "/Applications/Thumbrover.app/" names the bundle as well as the path without the slash.
std::filesystem::path without_trailing_separators(std::filesystem::path path) {
    std::string text = path.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

}  // namespace

std::string restart_target(const Desktop& desktop) {
    if (const auto bundle = desktop.bundle_path()) {
        const std::filesystem::path trimmed = without_trailing_separators(*bundle);
        if (trimmed.extension() == ".app") return trimmed.string();
    }
    if (const auto executable = desktop.executable_path()) return executable->string();
    return {};
}

bool restart_program(Desktop& desktop, EngineRequests& engine) {
    const std::string target = restart_target(desktop);
    if (target.empty()) {
        diag("could not restart: the program's own path is unknown");
        return false;
    }
    const Result<void> started = desktop.start_shell(desktop.restart_command(), target);
    if (!started) {
        diag("could not restart: " + started.error());
        return false;
    }
    engine.send_quit();
    return true;
}

}  // namespace thumbrover
