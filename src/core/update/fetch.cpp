#include "core/update/fetch.hpp"
#include "core/common/stop_signal.hpp"

#include <chrono>

#include "core/bindings/unicode_text.hpp"
#include "core/common/spawn.hpp"
#include "core/common/text.hpp"

namespace thumbrover {
namespace {

// curl gives up after 20 seconds by itself; this only catches a curl that hangs anyway, so
// that the check can never stay in flight for the rest of the run.
constexpr std::chrono::seconds backstop_timeout{60};

std::string failure_text(const Captured& captured, const std::string& program) {
    std::string text(unicode_text::trim(to_valid_utf8(captured.err)));
    if (!text.empty()) return text;
    // curl always explains itself with -S; a stand-in or a crash may not.
    if (captured.exit_status) {
        return program + " exited with status " + std::to_string(*captured.exit_status);
    }
    if (captured.signal) {
        return program + " was stopped by signal " + std::to_string(*captured.signal);
    }
    return program + " ended without a status";
}

}  // namespace

std::string_view update_endpoint() noexcept {
    return THUMBROVER_UPDATE_URL;
}

Result<Release> fetch_release(std::string_view endpoint, const std::string& program,
                              StopToken stop) {
    CaptureLimits limits;
    limits.max_stdout = max_release_bytes;
    // curl explains a failure in one short line; more would only swamp the diagnostic.
    limits.max_stderr = 4096;
    limits.timeout = backstop_timeout;
    limits.stop = std::move(stop);
    auto run = run_and_capture(program, {"-fsSL", "-m", "20", std::string(endpoint)}, limits);
    if (!run) return Error{run.error()};

    const Captured& captured = *run;
    if (captured.stopped) return Error{std::string(kFetchStopped)};
    if (captured.stdout_overflow) {
        return Error{"the answer from " + std::string(endpoint) + " is larger than " +
                     std::to_string(max_release_bytes) + " bytes"};
    }
    if (captured.timed_out) {
        return Error{program + " did not finish within " +
                     std::to_string(backstop_timeout.count()) + " seconds"};
    }
    if (!captured.succeeded()) return Error{failure_text(captured, program)};

    auto release = release_from_json(to_valid_utf8(captured.out));
    if (!release) return release;
    if (auto valid = validate_release(*release); !valid) return Error{valid.error()};
    return release;
}

}  // namespace thumbrover
