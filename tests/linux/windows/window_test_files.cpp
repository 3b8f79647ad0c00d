#include <filesystem>

#include "core/settings/config.hpp"
#include "core/settings/config_file.hpp"

namespace thumbrover::testing {

std::filesystem::path settings_file_in(const std::filesystem::path& dir) {
    return config_path(dir);
}

Config load_settings_file(const std::filesystem::path& file) {
    return load_config(file);
}

bool write_settings_file(const std::filesystem::path& file, const Config& config) {
    return static_cast<bool>(write_config(file, config));
}

}  // namespace thumbrover::testing
