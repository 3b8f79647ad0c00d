#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <string>

#include "core/engine/replay.hpp"
#include "core/settings/config_file.hpp"
#include "ctl.hpp"

namespace thumbrover::ctl {

int replay_command(std::span<const std::string_view> args) {
    const auto read_stdin = []() -> Result<std::string> {
        std::string text((std::istreambuf_iterator<char>(std::cin)),
                         std::istreambuf_iterator<char>());
        if (std::cin.bad()) return Error{"could not read the scenario from standard input"};
        return text;
    };
    // The examples an installed copy brings, found beside it whatever its prefix.
    std::error_code error;
    const std::filesystem::path examples =
        std::filesystem::read_symlink("/proc/self/exe", error).parent_path().parent_path() /
        "share/doc/thumbrover/examples";
    const bool installed = !error && std::filesystem::is_directory(examples, error);
    const CommandOutcome outcome = run_replay_command(
        args, read_stdin, config_path(), installed ? examples.string() : std::string());
    // The output of the lines before a mistake comes first, then the report.
    std::fwrite(outcome.out.data(), 1, outcome.out.size(), stdout);
    std::fflush(stdout);
    std::fwrite(outcome.err.data(), 1, outcome.err.size(), stderr);
    return outcome.status;
}

}  // namespace thumbrover::ctl
