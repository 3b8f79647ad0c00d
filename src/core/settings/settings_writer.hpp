#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "core/common/result.hpp"
#include "core/settings/config.hpp"

namespace thumbrover {

// The notification shown when a change could not be written to the settings file.
inline constexpr std::string_view kSaveFailedHeading = "Thumbrover could not save your settings";
inline constexpr std::string_view kSaveFailedBodyEnd =
    " The change is used until Thumbrover quits.";

using NotifyText = std::function<void(std::string_view heading, std::string_view body)>;

// How failed saves reach the user: every failure as a line on standard error, and the first of a
// run of failures also as a notification. A slider drag saves many times a second, so one
// notification per run is what a user can read; a save that works ends the run.
class SaveFailureReporter final {
  public:
    void report(const Result<void>& outcome, const NotifyText& notify);

  private:
    bool shown_ = false;
};

// Writes settings files off the main thread. Replacing the file crash-safely waits for the disk
// (about 20 ms on the development machine), while a dragged slider changes the settings every few
// milliseconds and the main thread must keep polling the controller every 4 ms. Only the newest
// settings matter, so a change submitted while a write is running replaces any change still
// waiting; the file always ends up holding the last one.
class BackgroundSettingsWriter final {
  public:
    using Write = std::function<Result<void>(const Config&)>;
    using Done = std::function<void(const Result<void>&)>;

    // `write` and `done` run on the writer's own thread, one write at a time.
    BackgroundSettingsWriter(Write write, Done done);
    // Writes what is still waiting, then stops.
    ~BackgroundSettingsWriter();
    BackgroundSettingsWriter(const BackgroundSettingsWriter&) = delete;
    BackgroundSettingsWriter& operator=(const BackgroundSettingsWriter&) = delete;

    void submit(Config config);
    // Waits until every submitted change is written.
    void flush();

  private:
    void run();

    Write write_;
    Done done_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Config> pending_;
    bool writing_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace thumbrover
