#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bindings/keys.hpp"
#include "core/common/result.hpp"
#include "core/settings/config.hpp"

namespace thumbrover {

// The largest settings file read. A real one is about 2 KB; anything near this size was not
// meant as settings, and refusing it unread keeps its cost small.
inline constexpr std::size_t kMaxConfigBytes = 1024 * 1024;

// `{dir}/config.toml`; without an argument, in `app_dir()`.
[[nodiscard]] std::filesystem::path config_path(const std::filesystem::path& dir);
[[nodiscard]] std::filesystem::path config_path();

// The whole settings file: the fixed commented template with the current values, then the
// [buttons] lines. Always reads back to the same Config (non-finite decimals included). The
// comments name the Meta modifier as `labels` do.
[[nodiscard]] std::string config_to_text(const Config& config,
                                         const PlatformLabels& labels = native_labels());
// The default file with, where a [shifted] table would go, a commented word on how to add one:
// what `config defaults` shows. The program itself writes the defaults without it.
[[nodiscard]] std::string default_config_text();

// How a decimal setting appears in the file: the shortest text that reads back to the same
// float, with at least one digit after the point in plain notation; exponent notation (no plus
// sign) below 1e-4 and from 1e16 on; "nan", "inf" and "-inf" for the non-finite values.
[[nodiscard]] std::string format_setting_float(float value);

// Reads a settings text. On failure the error is the full one-line report: where the problem is
// ("line 23, column 11"), for a bad value the key it belongs to, and the message, for example
// "line 23, column 11, key `hold_ms`: invalid value: integer `-1`, expected u64".
[[nodiscard]] Result<Config> parse_config(std::string_view text);

// The report of every mistake of a settings text, in file order; empty when it has none. A text
// that is not TOML has one: where the TOML reading stopped.
[[nodiscard]] std::vector<std::string> config_mistakes(std::string_view text);

enum class ConfigStatus {
    Loaded,      // read without a mistake
    Missing,     // no file at the path
    Unreadable,  // exists but cannot be read (permissions, a folder, too large)
    Mistake,     // read, but not valid UTF-8, not TOML, or a setting is wrong
};

struct ConfigReading {
    ConfigStatus status = ConfigStatus::Missing;
    Config config;        // the file's settings when Loaded, else the defaults
    std::string problem;  // the reason or the report; empty when Loaded
};

[[nodiscard]] ConfigReading read_config(const std::filesystem::path& file);

// The file's settings, or the defaults whatever went wrong. Reports nothing.
[[nodiscard]] Config load_config(const std::filesystem::path& file);
[[nodiscard]] Config load_config();

// Writes the settings crash-safely (a temporary file renamed over the old one, keeping a symbolic
// link and the file's permissions). Fails with "could not write {path}: {reason}".
[[nodiscard]] Result<void> write_config(const std::filesystem::path& file, const Config& config);
// Like write_config, but prints the failure and carries on.
void save_config(const Config& config, const std::filesystem::path& file);
void save_config(const Config& config);

// Shows a desktop notification: heading, then body.
using NotifyFunction = std::function<void(const std::string& heading, const std::string& body)>;

inline constexpr std::string_view kMistakeHeading = "Thumbrover settings have a mistake";
inline constexpr std::string_view kUnreadableHeading = "Thumbrover could not read its settings";
inline constexpr std::string_view kUsingDefaultsBody = "Using the default settings for now.";
// After a hand edit with a mistake, while the program runs.
inline constexpr std::string_view kKeepingSettingsBody = "The settings in use stay as they were.";

// A notification's body about a settings file's problem: where it is and what it is, then what
// the program does about it ("config.toml, line 23, column 11, key `hold_ms`: invalid value: …
// Using the default settings for now.").
[[nodiscard]] std::string problem_notification_body(std::string_view problem,
                                                    std::string_view consequence);

// The engine's start-up load. A missing file is created with the defaults (and its folder with
// it). A file that cannot be read or has a mistake is left exactly as it is: the problem is
// printed as "{path}: {report}" and notified, and the defaults are used.
[[nodiscard]] Config load_config_at_start(const std::filesystem::path& file,
                                          const NotifyFunction& notify);
[[nodiscard]] Config load_config_at_start(const NotifyFunction& notify);

// Keeps a copy of the settings file as `{file}.bak`, for the user interface to call before it
// replaces a file with a mistake, so that a hand edit is never lost for good.
[[nodiscard]] Result<void> backup_mistaken_config(const std::filesystem::path& file);

}  // namespace thumbrover
