#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace thumbrover {

// What `thumbroverctl config ...` prints and returns, kept apart from the printing so that the
// wording is tested with the rest of the settings code.
struct CommandOutcome {
    int status = 0;
    std::string out;  // for standard output
    std::string err;  // whole diagnostic lines for standard error, already prefixed
};

// `args` are the words after "config": "defaults", "check [FILE]" or "normalize [FILE]".
// FILE defaults to `default_file` (the settings file of the application folder).
[[nodiscard]] CommandOutcome run_config_command(std::span<const std::string_view> args,
                                                const std::filesystem::path& default_file);

}  // namespace thumbrover
