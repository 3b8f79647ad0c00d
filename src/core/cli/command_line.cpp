#include "core/cli/command_line.hpp"

#include <string>

namespace thumbrover {
namespace {

constexpr std::string_view kProgramUsage =
    "Usage: thumbrover [--help | --version | --output=xtest|uinput]\n";

constexpr std::string_view kOutputOption = "--output=";

constexpr std::string_view kProgramHelp =
    "Turns a game controller into a mouse and media remote. It runs in the system tray; starting\n"
    "it again while it runs shows the running copy's Settings window.\n"
    "\n"
    "Settings are kept in $XDG_CONFIG_HOME/thumbrover/config.toml (~/.config/thumbrover);\n"
    "`thumbroverctl config check` finds mistakes in it.\n"
    "\n"
    "Options:\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "  --output=xtest|uinput\n"
    "             how input is posted on Linux: through the X server (XTEST, the choice in an\n"
    "             X11 session) or through virtual devices in the kernel (uinput, the choice\n"
    "             in a Wayland session)\n";

constexpr std::string_view kCtlUsage = "Usage: thumbroverctl [--help | --version] COMMAND [ARGS]\n";

constexpr std::string_view kCtlHelp =
    "Checks Thumbrover's settings files and previews what its input engine does.\n"
    "\n"
    "Commands:\n"
    "  config defaults          print the default settings file\n"
    "  config check [FILE]      check a settings file for mistakes\n"
    "  config normalize [FILE]  print a settings file as the program would write it\n"
    "  replay [--config FILE] [--off] [SCENARIO]\n"
    "                           run the input engine on a timed scenario\n"
    "  demo [SCRIPT]            run the program with a scripted virtual controller\n"
    "\n"
    "`thumbroverctl COMMAND --help` describes one command.\n"
    "\n"
    "Options:\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

bool is_help(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

CommandOutcome refused(std::string_view program, std::string_view problem, std::string_view usage) {
    return {2, "", std::string(program) + ": " + std::string(problem) + "\n" + std::string(usage)};
}

std::string quoted(std::string_view arg) {
    return "`" + std::string(arg) + "`";
}

}  // namespace

std::optional<CommandOutcome> program_command_line(std::span<const std::string_view> args) {
    if (args.empty()) return std::nullopt;
    // The restart path passes it alone; whatever follows is not looked at.
    if (args[0] == "--restore-cursor") return CommandOutcome{};
    bool help = false;
    bool version = false;
    for (const std::string_view arg : args) {
        if (is_help(arg)) {
            help = true;
        } else if (arg.starts_with(kOutputOption)) {
            const std::string_view value = arg.substr(kOutputOption.size());
            if (value != "xtest" && value != "uinput") {
                return refused("thumbrover",
                               "unknown output " + quoted(value) + " (xtest or uinput)",
                               kProgramUsage);
            }
        } else if (arg == "--version") {
            version = true;
        } else {
            const bool option = arg.size() > 1 && arg.front() == '-';
            return refused("thumbrover",
                           (option ? "unknown option " : "unexpected argument ") + quoted(arg),
                           kProgramUsage);
        }
    }
    if (help) return CommandOutcome{0, std::string(kProgramUsage) + std::string(kProgramHelp), ""};
    if (version) return CommandOutcome{0, "thumbrover " THUMBROVER_VERSION "\n", ""};
    // Only options that shape the run: start the program.
    return std::nullopt;
}

std::optional<std::string_view> requested_output(std::span<const std::string_view> args) {
    std::optional<std::string_view> value;
    for (const std::string_view arg : args)
        if (arg.starts_with(kOutputOption)) value = arg.substr(kOutputOption.size());
    return value;
}

std::optional<CommandOutcome> ctl_command_line(std::span<const std::string_view> args) {
    if (args.empty()) return refused("thumbroverctl", "a command is needed", kCtlUsage);
    const std::string_view first = args[0];
    if (is_help(first) || first == "help")
        return CommandOutcome{0, std::string(kCtlUsage) + std::string(kCtlHelp), ""};
    if (first == "--version")
        return CommandOutcome{0, "thumbroverctl " THUMBROVER_VERSION "\n", ""};
    if (first == "config" || first == "replay" || first == "demo") return std::nullopt;
    if (first.size() > 1 && first.front() == '-')
        return refused("thumbroverctl", "unknown option " + quoted(first), kCtlUsage);
    return refused("thumbroverctl", "unknown command " + quoted(first), kCtlUsage);
}

}  // namespace thumbrover
