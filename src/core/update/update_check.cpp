#include "core/update/update_check.hpp"
#include "core/common/stop_signal.hpp"

#include <cstdlib>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "core/common/diag.hpp"
#include "core/common/steps.hpp"
#include "core/common/text.hpp"
#include "core/common/thread_name.hpp"
#include "core/services/services.hpp"
#include "core/settings/app_folder.hpp"
#include "core/update/fetch.hpp"
#include "core/update/version.hpp"

namespace thumbrover {
namespace {

using namespace std::chrono_literals;

constexpr auto evaluation_interval = 60s;
constexpr auto retry_after_failure = 3600s;
constexpr std::int64_t seconds_per_day = 86400;

[[noreturn]] void fatal(std::string_view message) {
    diag(message);
    std::abort();
}

std::int64_t seconds_since_epoch(std::chrono::system_clock::time_point when) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
    return seconds < 0 ? 0 : static_cast<std::int64_t>(seconds);
}

}  // namespace

std::optional<Release> offered_release(const StoredUpdate& stored, std::string_view running) {
    if (!stored.latest) return std::nullopt;
    const auto latest = parse_version(stored.latest->version);
    const auto current = parse_version(running);
    if (!latest || !current || !(*latest > *current)) return std::nullopt;
    // The file may have been edited by hand; only a web page is handed to the system opener.
    if (!is_https_link(stored.latest->url)) return std::nullopt;
    return stored.latest;
}

bool check_due_by_calendar(std::optional<std::int64_t> checked_at,
                           std::int64_t now_seconds) noexcept {
    if (!checked_at) return true;
    // Written so that no sum can overflow whatever the file holds; now_seconds is never negative.
    if (now_seconds - seconds_per_day >= *checked_at) return true;
    return *checked_at > now_seconds + seconds_per_day;
}

struct UpdateCheck::Shared {
    explicit Shared(UpdateCheckDeps d) : deps(std::move(d)) {}

    const UpdateCheckDeps deps;

    std::mutex attempt_mutex;
    std::optional<std::chrono::nanoseconds> last_failed_attempt;

    std::mutex cache_mutex;
    std::optional<StoredUpdate> cache;
    std::optional<Release> offer;
    std::atomic<std::uint64_t> revision{0};

    std::atomic<bool> in_flight{false};

    StoredUpdate& cache_locked() {
        if (!cache) set_cache_locked(load_stored_update(deps.state_file));
        return *cache;
    }

    void set_cache_locked(StoredUpdate stored) {
        cache = std::move(stored);
        offer = offered_release(*cache, running_version());
        revision.fetch_add(1, std::memory_order_release);
    }

    void run_check(const StopToken& stop) {
        // An exception escaping the thread would end the whole program; a check that throws (out
        // of memory, say) counts as a failed attempt instead.
        Result<Release> fetched = Error{"the check stopped unexpectedly"};
        try {
            fetched = deps.fetch(stop);
        } catch (const std::exception& error) {
            fetched = Error{error.what()};
        }
        if (stop.stop_requested()) {
            // The program is ending: no answer to keep, no failure to report or to wait out.
            in_flight.store(false, std::memory_order_release);
            return;
        }
        if (!fetched) {
            diag("could not check for updates: " + one_line(fetched.error()));
            const std::lock_guard lock(attempt_mutex);
            last_failed_attempt = deps.clock->now();
        } else {
            {
                const std::lock_guard lock(attempt_mutex);
                last_failed_attempt.reset();
            }
            StoredUpdate snapshot;
            {
                const std::lock_guard lock(cache_mutex);
                set_cache_locked(
                    StoredUpdate{seconds_since_epoch(deps.wall_now()), std::move(*fetched)});
                snapshot = *cache;
            }
            // Written outside the lock: flushing to disk can take a while, and the menu reads
            // the cache from the main thread every tick. Only this thread ever writes the file,
            // and only one check runs at a time.
            Result<void> saved = Error{"the save stopped unexpectedly"};
            try {
                saved = save_stored_update(deps.state_file, snapshot);
            } catch (const std::exception& error) {
                saved = Error{error.what()};
            }
            if (!saved) diag("could not save the update check: " + saved.error());
        }
        in_flight.store(false, std::memory_order_release);
    }
};

namespace {

UpdateCheckDeps with_defaults(UpdateCheckDeps deps) {
    if (deps.state_file.empty()) deps.state_file = app_dir() / update_state_file_name;
    if (deps.clock == nullptr) deps.clock = &steady_clock();
    if (!deps.wall_now) deps.wall_now = [] { return std::chrono::system_clock::now(); };
    if (!deps.fetch) {
        deps.fetch = [](StopToken stop) {
            return fetch_release(update_endpoint(), "curl", std::move(stop));
        };
    }
    return deps;
}

}  // namespace

UpdateCheck::UpdateCheck(UpdateCheckDeps deps)
    : shared_(std::make_shared<Shared>(with_defaults(std::move(deps)))) {}

UpdateCheck::~UpdateCheck() {
    stop();
}

void UpdateCheck::stop() {
    stop_.request_stop();
    if (thread_.joinable()) thread_.join();
}

void UpdateCheck::step() {
    if (!enabled_) return;
    const auto now = shared_->deps.clock->now();
    if (next_evaluation_ && now < *next_evaluation_) return;
    next_evaluation_ = now + evaluation_interval;

    bool due = false;
    {
        const std::lock_guard lock(shared_->attempt_mutex);
        due = !shared_->last_failed_attempt ||
              now - *shared_->last_failed_attempt >= retry_after_failure;
    }
    {
        const std::lock_guard lock(shared_->cache_mutex);
        const StoredUpdate& stored = shared_->cache_locked();
        due = due && check_due_by_calendar(stored.checked_at,
                                           seconds_since_epoch(shared_->deps.wall_now()));
    }
    if (!due || stop_.stop_requested()) return;
    if (shared_->in_flight.exchange(true, std::memory_order_acq_rel)) return;
    if (shared_->deps.start_thread) {
        shared_->deps.start_thread(
            [shared = shared_, stop = stop_.get_token()] { shared->run_check(stop); });
        return;
    }
    // The check before has ended (it cleared the flag as its last act), so this joins at once.
    if (thread_.joinable()) thread_.join();
    try {
        thread_ = std::thread([shared = shared_.get(), stop = stop_.get_token()] {
            name_this_thread("update-check");
            reached_step("update check started");
            shared->run_check(stop);
        });
    } catch (const std::system_error&) {
        fatal("failed to spawn thread");
    }
}

std::optional<Release> UpdateCheck::current_offer() {
    const std::lock_guard lock(shared_->cache_mutex);
    shared_->cache_locked();
    return shared_->offer;
}

std::uint64_t UpdateCheck::offer_revision() const noexcept {
    return shared_->revision.load(std::memory_order_acquire);
}

std::optional<std::chrono::milliseconds> UpdateCheck::wanted_interval() const {
    if (check_in_flight()) return std::chrono::seconds(1);
    if (!enabled_) return std::nullopt;
    return std::chrono::minutes(1);
}

bool UpdateCheck::check_in_flight() const noexcept {
    return shared_->in_flight.load(std::memory_order_acquire);
}

void open_update(UpdateCheck& check, Desktop& desktop) {
    const auto offer = check.current_offer();
    if (!offer) return;
    open_with_system(desktop, offer->url);
}

}  // namespace thumbrover
