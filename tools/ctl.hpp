#pragma once

#include <span>
#include <string_view>

namespace thumbrover::ctl {

// Each subcommand gets the arguments after its own name and returns the exit status.
int config_command(std::span<const std::string_view> args);
int replay_command(std::span<const std::string_view> args);
int demo_command(std::span<const std::string_view> args);

}  // namespace thumbrover::ctl
