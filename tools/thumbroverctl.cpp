#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/cli/command_line.hpp"
#include "core/common/diag.hpp"
#include "ctl.hpp"

int main(int argc, char** argv) {
    thumbrover::set_program_name("thumbroverctl");
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (const auto answer = thumbrover::ctl_command_line(args)) {
        std::fwrite(answer->out.data(), 1, answer->out.size(), stdout);
        std::fwrite(answer->err.data(), 1, answer->err.size(), stderr);
        return answer->status;
    }
    const std::string_view command = args[0];
    const std::span<const std::string_view> rest(args.data() + 1, args.size() - 1);
    if (command == "config") return thumbrover::ctl::config_command(rest);
    if (command == "replay") return thumbrover::ctl::replay_command(rest);
    if (command == "demo") return thumbrover::ctl::demo_command(rest);
    thumbrover::diag("unknown command `" + std::string(command) + "`; try `thumbroverctl --help`");
    return 2;
}
