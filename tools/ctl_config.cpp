#include <cerrno>
#include <cstdio>
#include <string>

#include "core/common/diag.hpp"
#include "core/common/files.hpp"
#include "core/settings/config_command.hpp"
#include "core/settings/config_file.hpp"
#include "ctl.hpp"

namespace thumbrover::ctl {

int config_command(std::span<const std::string_view> args) {
    const CommandOutcome outcome = run_config_command(args, config_path());
    if (!outcome.err.empty()) std::fwrite(outcome.err.data(), 1, outcome.err.size(), stderr);
    if (!outcome.out.empty()) {
        // A script reading the output must not mistake a cut-off text (full disk, closed pipe)
        // for a complete settings file.
        const bool written =
            std::fwrite(outcome.out.data(), 1, outcome.out.size(), stdout) == outcome.out.size();
        if (!written || std::fflush(stdout) != 0) {
            diag("could not write the output: " + errno_text(errno));
            return 1;
        }
    }
    return outcome.status;
}

}  // namespace thumbrover::ctl
