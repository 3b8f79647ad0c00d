#include "macos/desktop.hpp"

#include <utility>

namespace thumbrover {

MacDesktop::MacDesktop(Spawner spawner, PathLookup bundle, PathLookup executable)
    : spawner_(std::move(spawner)),
      bundle_(std::move(bundle)),
      executable_(std::move(executable)) {}

Result<void> MacDesktop::open(const std::string& target) {
    return spawner_("open", {target}, {});
}

Result<void> MacDesktop::start_shell(const std::string& command, const std::string& argument0) {
    return spawner_("/bin/sh", {"-c", command, argument0}, {});
}

std::string MacDesktop::restart_command() const {
    return "sleep 1; open \"$0\"";
}

std::optional<std::filesystem::path> MacDesktop::bundle_path() const {
    return bundle_();
}

std::optional<std::filesystem::path> MacDesktop::executable_path() const {
    return executable_();
}

}  // namespace thumbrover
