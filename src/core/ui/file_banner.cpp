#include "core/ui/file_banner.hpp"

namespace thumbrover {

std::string settings_file_banner(const SettingsFileProblem& problem) {
    if (problem.status == ConfigStatus::Unreadable) {
        return "config.toml cannot be read: " + problem.report +
               ". The settings shown here are in use; changes made here are used until Thumbrover "
               "quits but cannot be saved.";
    }
    return "config.toml has a mistake, " + problem.report +
           ". The settings shown here stay in use until it is corrected and saved. The next change "
           "made here replaces the file, keeping the one with the mistake as config.toml.bak.";
}

}  // namespace thumbrover
