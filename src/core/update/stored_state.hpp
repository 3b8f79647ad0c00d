#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/result.hpp"
#include "core/update/release.hpp"

namespace thumbrover {

// What `update.toml` remembers between runs: when the last successful check happened (seconds
// since 1970-01-01 UTC) and what it found.
struct StoredUpdate {
    std::optional<std::int64_t> checked_at;
    std::optional<Release> latest;

    friend bool operator==(const StoredUpdate&, const StoredUpdate&) = default;
};

// Reads the TOML text. Anything that is not the expected shape (a syntax error, `checked_at`
// not an integer, `latest` without one of its three strings) gives a record with neither value:
// the program then simply checks again. Unknown keys are ignored.
[[nodiscard]] StoredUpdate stored_update_from_toml(std::string_view text);

// The TOML text: `checked_at` first, then a `[latest]` table; absent values are left out.
[[nodiscard]] std::string stored_update_to_toml(const StoredUpdate& stored);

// Reads the file; a missing or unreadable file counts as never checked.
[[nodiscard]] StoredUpdate load_stored_update(const std::filesystem::path& path);

// Creates the folder (with its parents) when missing and replaces the file crash-safely.
[[nodiscard]] Result<void> save_stored_update(const std::filesystem::path& path,
                                              const StoredUpdate& stored);

}  // namespace thumbrover
