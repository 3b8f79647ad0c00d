#pragma once

#include <filesystem>

#include "core/common/result.hpp"
#include "core/settings/config.hpp"

namespace thumbrover {

// The settings a window opens with: the file's, or the defaults whatever is wrong with it.
[[nodiscard]] Config load_window_settings(const std::filesystem::path& file);

// Writes settings changed in a window. A file that exists but has a mistake is first kept as
// `{file}.bak` (replacing an older copy, and saying so on standard error), since the new file
// replaces the whole of it and a hand edit with one typo must not be lost. A file that exists but
// cannot be read cannot be kept, so it is not replaced either; that fails like a failed write.
[[nodiscard]] Result<void> save_window_settings(const std::filesystem::path& file,
                                                const Config& config);

}  // namespace thumbrover
