#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "core/common/files.hpp"
#include "core/common/result.hpp"

namespace thumbrover {

// The per-user folder that holds config.toml, update.toml and the state files. Computed afresh
// from the environment on every call: the XDG rule everywhere except on macOS, where the
// Application Support rule applies (the running system is asked, so the core needs no build
// switch).
[[nodiscard]] std::filesystem::path app_dir();

// The two rules as pure functions of the environment values (nullopt: the variable is unset).
// An unset or empty HOME stands for "/". XDG_CONFIG_HOME counts only when it is an absolute
// path, as the XDG base directory rules require.
[[nodiscard]] std::filesystem::path xdg_app_dir(std::optional<std::string_view> xdg_config_home,
                                                std::optional<std::string_view> home);
[[nodiscard]] std::filesystem::path mac_app_dir(std::optional<std::string_view> home);

// Creates the folder and its missing parents (rwx for everybody, less the umask). An existing
// folder is fine. Fails with "could not create {path}: {reason}".
[[nodiscard]] Result<void> create_app_dir(const std::filesystem::path& dir);

// Removes what a copy that died while saving left in the folder: temporary files of its own
// files (settings, update record, state files). Called at start while holding the lock, so no
// other copy is writing there.
void remove_stale_saves(const std::filesystem::path& dir);

// The single-instance lock: an exclusive flock on `{dir}/lock`, held for the lifetime of this
// object. The lock dies with the process, so a stale file left by a crash blocks nobody.
class InstanceLock final {
  public:
    // Fails with "Thumbrover is already running" when another open file holds the lock, or
    // "could not open {path}: {reason}" / "could not lock {path}: {reason}".
    [[nodiscard]] static Result<InstanceLock> acquire(const std::filesystem::path& dir);

    InstanceLock(InstanceLock&&) noexcept = default;
    InstanceLock& operator=(InstanceLock&&) noexcept = default;

  private:
    explicit InstanceLock(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

inline constexpr std::string_view kAlreadyRunning = "Thumbrover is already running";

// The remembered on/off state. A missing or unreadable file means on; only the text "false"
// (Unicode white space around it ignored) means off.
[[nodiscard]] bool read_enabled(const std::filesystem::path& dir);
// Writes "true" or "false" without a line feed, crash-safely. Callers print
// "could not save state: {error}" on failure.
[[nodiscard]] Result<void> write_enabled(const std::filesystem::path& dir, bool enabled);

// Whether the first-run setup was finished: anything that exists at `{dir}/setup-done` counts.
[[nodiscard]] bool setup_done(const std::filesystem::path& dir);
// Creates the empty marker. Callers print "could not remember finished setup: {error}".
[[nodiscard]] Result<void> write_setup_done(const std::filesystem::path& dir);

}  // namespace thumbrover
