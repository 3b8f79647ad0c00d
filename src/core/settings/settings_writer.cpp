#include "core/settings/settings_writer.hpp"

#include <cctype>
#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>

#include "core/common/diag.hpp"

namespace thumbrover {

void SaveFailureReporter::report(const Result<void>& outcome, const NotifyText& notify) {
    if (outcome) {
        shown_ = false;
        return;
    }
    diag(outcome.error());
    if (shown_) return;
    shown_ = true;
    std::string body = outcome.error();
    if (!body.empty())
        body[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(body[0])));
    body += ".";
    body += kSaveFailedBodyEnd;
    if (notify) notify(kSaveFailedHeading, body);
}

BackgroundSettingsWriter::BackgroundSettingsWriter(Write write, Done done)
    : write_(std::move(write)), done_(std::move(done)) {
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        diag("failed to spawn thread");
        std::abort();
    }
}

BackgroundSettingsWriter::~BackgroundSettingsWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BackgroundSettingsWriter::submit(Config config) {
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(config);
    }
    changed_.notify_all();
}

void BackgroundSettingsWriter::flush() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_ && !writing_; });
}

void BackgroundSettingsWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ || stopping_; });
        if (!pending_) return;  // stopping, with nothing left to write
        Config config = std::move(*pending_);
        pending_.reset();
        writing_ = true;
        lock.unlock();
        const Result<void> outcome = write_(config);
        if (done_) done_(outcome);
        lock.lock();
        writing_ = false;
        changed_.notify_all();
    }
}

}  // namespace thumbrover
