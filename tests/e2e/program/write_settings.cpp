#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/settings/config.hpp"
#include "core/settings/config_file.hpp"

namespace thumbrover::testing {

void write_settings(const std::filesystem::path& dir, const std::function<void(Config&)>& change) {
    Config config;
    change(config);
    const Result<void> written = write_config(config_path(dir), config);
    ASSERT_TRUE(written.ok()) << written.error();
}

}  // namespace thumbrover::testing
