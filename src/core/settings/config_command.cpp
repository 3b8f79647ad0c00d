#include "core/settings/config_command.hpp"

#include "core/common/diag.hpp"
#include "core/common/files.hpp"
#include "core/settings/config_file.hpp"
#include "core/settings/setting_ranges.hpp"

namespace thumbrover {
namespace {

constexpr std::string_view kUsage =
    "Usage: thumbroverctl config defaults\n"
    "       thumbroverctl config check [FILE]\n"
    "       thumbroverctl config normalize [FILE]\n";

std::string diag_line(std::string_view message) {
    return std::string(program_name()) + ": " + std::string(message) + "\n";
}

CommandOutcome usage(std::string_view problem) {
    return {2, "", diag_line(problem) + std::string(kUsage)};
}

}  // namespace

CommandOutcome run_config_command(std::span<const std::string_view> args,
                                  const std::filesystem::path& default_file) {
    if (args.empty()) return usage("`config` needs a subcommand");
    const std::string_view command = args[0];
    const auto rest = args.subspan(1);
    if (command == "--help" || command == "-h" || command == "help")
        return {0, std::string(kUsage), ""};
    if (command == "defaults") {
        if (rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h"))
            return {0, std::string(kUsage), ""};
        if (!rest.empty()) return usage("`config defaults` takes no arguments");
        return {0, default_config_text(), ""};
    }
    if (command != "check" && command != "normalize")
        return usage("unknown subcommand `" + std::string(command) + "`");
    for (const std::string_view arg : rest) {
        if (arg == "--help" || arg == "-h") return {0, std::string(kUsage), ""};
        if (arg.size() > 1 && arg.front() == '-')
            return usage("unknown option `" + std::string(arg) + "`");
    }
    if (rest.size() > 1)
        return usage("`config " + std::string(command) + "` takes at most one FILE");

    const std::filesystem::path file = rest.empty() ? default_file : std::filesystem::path(rest[0]);
    ConfigReading reading = read_config(file);
    // A new account has no settings file until the program first writes one; that is no mistake.
    // A file named on the command line must exist, though.
    if (reading.status == ConfigStatus::Missing && rest.empty()) {
        const std::string note = file.string() + ": no settings file yet; the defaults are in use";
        if (command == "check") return {0, note + "\n", ""};
        return {0, "", diag_line(note)};
    }
    if (reading.status == ConfigStatus::Mistake && command == "check") {
        // Every mistake at once, so that one round of editing can mend them all.
        std::string err;
        if (auto text = read_file(file, kMaxConfigBytes))
            for (const std::string& mistake : config_mistakes(*text))
                err += diag_line(file.string() + ": " + mistake);
        if (err.empty()) err = diag_line(file.string() + ": " + reading.problem);
        return {1, "", err};
    }
    if (reading.status != ConfigStatus::Loaded)
        return {1, "", diag_line(file.string() + ": " + reading.problem)};
    if (command == "check") {
        // Such values load as they are; the user is only told what they most likely meant.
        std::string err;
        for (const RangeWarning& warning : range_warnings(reading.config))
            err += diag_line(file.string() + ": warning: " + describe(warning));
        return {0, file.string() + ": ok\n", err};
    }
    return {0, config_to_text(reading.config), ""};
}

}  // namespace thumbrover
