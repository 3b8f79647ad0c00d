#include "core/ui/settings_file.hpp"

#include <utility>

#include "core/common/diag.hpp"

namespace fs = std::filesystem;

namespace thumbrover {

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

AppSettingsEffects::AppSettingsEffects(fs::path file, CircleScaleTarget& circle,
                                       std::function<void(const Config&)> send, Notifier notify)
    : file_(std::move(file)), circle_(circle), send_(std::move(send)), notify_(std::move(notify)) {}

Config AppSettingsEffects::load() {
    return load_config(file_);
}

Result<void> AppSettingsEffects::save(const Config& config) {
    return save_window_settings(file_, config);
}

void AppSettingsEffects::change_circle_scale(float scale) {
    circle_.change_circle_scale(scale);
}

void AppSettingsEffects::send_config_changed(const Config& config) {
    if (send_) send_(config);
}

void AppSettingsEffects::notify(std::string_view heading, std::string_view body) {
    if (notify_) notify_(std::string(heading), std::string(body));
}

}  // namespace thumbrover
