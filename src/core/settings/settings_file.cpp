#include "core/settings/settings_file.hpp"

#include "core/common/diag.hpp"
#include "core/settings/config_file.hpp"

namespace fs = std::filesystem;

namespace thumbrover {

Config load_window_settings(const fs::path& file) {
    return load_config(file);
}

Result<void> save_window_settings(const fs::path& file, const Config& config) {
    const ConfigReading current = read_config(file);
    if (current.status == ConfigStatus::Unreadable) {
        return Error{"could not write " + file.string() + ": the file there cannot be read (" +
                     current.problem + "), so it is left as it is"};
    }
    if (current.status == ConfigStatus::Mistake) {
        if (Result<void> kept = backup_mistaken_config(file); !kept) {
            return Error{"could not write " + file.string() +
                         ": its mistaken contents could not be kept first (" + kept.error() + ")"};
        }
        fs::path backup = file;
        backup += ".bak";
        diag("kept the settings file with a mistake as " + backup.string());
    }
    return write_config(file, config);
}

}  // namespace thumbrover
