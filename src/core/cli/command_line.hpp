#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "core/settings/config_command.hpp"

namespace thumbrover {

// `thumbrover`'s command line, looked at before anything is created. None means "start the
// program"; otherwise the answer is printed and the process ends with its status: "--help" and
// "--version" answer on standard output with 0, "--restore-cursor" first ends at once with 0,
// anything else is refused with a usage line and 2.
[[nodiscard]] std::optional<CommandOutcome> program_command_line(
    std::span<const std::string_view> args);

// The value of the last `--output=` among the arguments ("xtest" or "uinput" once the command
// line has been accepted), or none.
[[nodiscard]] std::optional<std::string_view> requested_output(
    std::span<const std::string_view> args);

// `thumbroverctl`'s own options and command word. None means that `args[0]` names a command
// ("config", "replay", "demo") that takes the remaining words.
[[nodiscard]] std::optional<CommandOutcome> ctl_command_line(
    std::span<const std::string_view> args);

}  // namespace thumbrover
