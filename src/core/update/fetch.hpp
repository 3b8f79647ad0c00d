#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/common/result.hpp"
#include "core/common/stop_signal.hpp"
#include "core/update/release.hpp"

namespace thumbrover {

// The version endpoint this build asks, fixed when the program is configured.
[[nodiscard]] std::string_view update_endpoint() noexcept;

// The largest answer the endpoint may give; a release record is a few hundred bytes.
inline constexpr std::size_t max_release_bytes = 64 * 1024;

// Asks the endpoint with `curl -fsSL -m 20 {endpoint}` and returns the release it names, checked
// with validate_release. Errors: the system's text when curl cannot be started; curl's own
// message when it fails (HTTP error, time-out, no network); the JSON error; "bad version ..."
// or "bad download link ...". Blocks for up to about 20 seconds: never call it on the main thread.
// A stop asked for through `stop` ends curl at once and fails with kFetchStopped.
[[nodiscard]] Result<Release> fetch_release(std::string_view endpoint,
                                            const std::string& program = "curl",
                                            StopToken stop = {});

inline constexpr std::string_view kFetchStopped = "the check was stopped";

}  // namespace thumbrover
