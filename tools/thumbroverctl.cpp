#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/diag.hpp"
#include "ctl.hpp"

namespace {

constexpr std::string_view kUsage =
    "usage: thumbroverctl COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  config defaults          print the default settings file\n"
    "  config check [FILE]      check a settings file for mistakes\n"
    "  config normalize [FILE]  print a settings file as the program would write it\n"
    "  replay [--config FILE] [--off] [SCENARIO]\n"
    "                           run the input engine on a timed scenario\n"
    "  demo [SCRIPT]            run the program with a scripted virtual controller\n";

}  // namespace

int main(int argc, char** argv) {
    thumbrover::set_program_name("thumbroverctl");
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage.data(), args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    const std::string_view command = args[0];
    const std::span<const std::string_view> rest(args.data() + 1, args.size() - 1);
    if (command == "config") return thumbrover::ctl::config_command(rest);
    if (command == "replay") return thumbrover::ctl::replay_command(rest);
    if (command == "demo") return thumbrover::ctl::demo_command(rest);
    thumbrover::diag("unknown command `" + std::string(command) + "`; try `thumbroverctl --help`");
    return 2;
}
