#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>

#include "core/app/tick.hpp"
#include "core/common/clock.hpp"
#include "core/common/result.hpp"
#include "core/common/stop_signal.hpp"
#include "core/update/release.hpp"
#include "core/update/stored_state.hpp"
#include "platform/system_services.hpp"

namespace thumbrover {

// The name of the record in the application folder.
inline constexpr std::string_view update_state_file_name = "update.toml";

// What the update check needs from the outside world. Every member has a default that the
// program uses (so `UpdateCheck check({});` is the real thing); tests replace them.
struct UpdateCheckDeps {
    // Default: app_dir() joined with update_state_file_name.
    std::filesystem::path state_file;
    // Monotonic time: the once-a-minute evaluation and the hour after a failed attempt. Read
    // from the check thread too. Default: steady_clock(). Must outlive the checks.
    const Clock* clock = nullptr;
    // Calendar time: the day after the last successful check, which survives restarts.
    std::function<std::chrono::system_clock::time_point()> wall_now;
    // Asks the endpoint; runs on the check thread. A stop asked for through the token means the
    // program is ending: the fetch should end at once. Default: fetch_release(update_endpoint()).
    std::function<Result<Release>(StopToken)> fetch;
    // Runs a check elsewhere (tests run it when they choose). Default: a thread the check owns,
    // which its destruction stops and joins; a thread that cannot be created stops the program
    // with "failed to spawn thread".
    std::function<void(std::function<void()>)> start_thread;
};

// The release worth offering in `stored`: its version parses, is strictly newer than `running`,
// and its page is an https link. An equal, older or unreadable one is kept but never offered.
[[nodiscard]] std::optional<Release> offered_release(const StoredUpdate& stored,
                                                     std::string_view running);

// Whether a check is due by the calendar: a day after the last success. A last success stamped
// more than a day in the future means the clock was wrong then; it does not hold checks back.
[[nodiscard]] bool check_due_by_calendar(std::optional<std::int64_t> checked_at,
                                         std::int64_t now_seconds) noexcept;

// The once-a-day update check. One per process: the step and the offer are called from the
// main thread; the check itself runs on a thread of the object's own, and at most one runs at a
// time. Destroying the object while a check runs ends the check (curl is killed, nothing is
// saved or reported) and waits for its thread.
class UpdateCheck final : public UpdateStep {
  public:
    explicit UpdateCheck(UpdateCheckDeps deps);
    UpdateCheck(const UpdateCheck&) = delete;
    UpdateCheck& operator=(const UpdateCheck&) = delete;
    ~UpdateCheck() override;

    // Called on every timer tick. Costs one clock read unless a minute has passed; then starts
    // a check when none is running, the last failure (if any) is an hour old, and the last
    // success (if any) a day old.
    void step();
    void advance_update() override { step(); }
    // A check's answer is picked up within a second; otherwise the step looks once a minute.
    [[nodiscard]] std::optional<std::chrono::milliseconds> wanted_interval() const override;

    // The release to offer in the menu, if any. Loads update.toml on first use.
    [[nodiscard]] std::optional<Release> current_offer();

    // Changes whenever the offer may have changed, so a menu can skip comparing offers.
    [[nodiscard]] std::uint64_t offer_revision() const noexcept;

    [[nodiscard]] bool check_in_flight() const noexcept;

    // Ends a running check at once (curl is killed, nothing is saved or reported) and waits for
    // it; no check starts afterwards. For the program's end, which may come without destroying
    // the object.
    void stop();
    // The user's `check_for_updates`. Off, the step starts no check (so the program makes no
    // network request) and wants no tick; an offer found earlier is still shown.
    void set_enabled(bool enabled) noexcept { enabled_ = enabled; }
    [[nodiscard]] bool enabled() const noexcept { return enabled_; }

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::optional<std::chrono::nanoseconds> next_evaluation_;
    // Stopped by the destruction, which ends a check that runs elsewhere too.
    StopSource stop_;
    std::thread thread_;
    bool enabled_ = true;
};

// The menu item's action: opens the offered release's download page with open_with_system;
// does nothing when there is no offer. A failure is reported as "could not open {url}: {error}".
void open_update(UpdateCheck& check, Desktop& desktop);

}  // namespace thumbrover
