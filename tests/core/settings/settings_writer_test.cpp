#include "core/settings/settings_writer.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace thumbrover {
namespace {

Config with_speed(float speed) {
    Config config;
    config.pointer_speed = speed;
    return config;
}

// A write that blocks until released, so a test can submit changes while one is running.
struct GatedWrites {
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;
    bool started = false;
    std::vector<float> written;

    Result<void> write(const Config& config) {
        std::unique_lock lock(mutex);
        started = true;
        cv.notify_all();
        cv.wait(lock, [this] { return open; });
        written.push_back(config.pointer_speed);
        return {};
    }
    void wait_started() {
        std::unique_lock lock(mutex);
        cv.wait(lock, [this] { return started; });
    }
    void release() {
        std::lock_guard lock(mutex);
        open = true;
        cv.notify_all();
    }
};

TEST(BackgroundSettingsWriter, ChangesWaitingBehindARunningWriteCollapseIntoTheNewest) {
    GatedWrites gate;
    std::vector<bool> outcomes;
    BackgroundSettingsWriter writer([&](const Config& c) { return gate.write(c); },
                                    [&](const Result<void>& r) { outcomes.push_back(r.ok()); });
    writer.submit(with_speed(1));
    gate.wait_started();
    writer.submit(with_speed(2));
    writer.submit(with_speed(3));
    writer.submit(with_speed(4));
    gate.release();
    writer.flush();
    EXPECT_EQ(gate.written, (std::vector<float>{1, 4}));
    EXPECT_EQ(outcomes, (std::vector<bool>{true, true}));
}

TEST(BackgroundSettingsWriter, StoppingWritesWhatIsStillWaiting) {
    std::vector<float> written;
    {
        BackgroundSettingsWriter writer(
            [&](const Config& c) {
                written.push_back(c.pointer_speed);
                return Result<void>{};
            },
            nullptr);
        writer.submit(with_speed(7));
    }
    EXPECT_EQ(written, std::vector<float>{7});
}

TEST(SaveFailureReporter, EveryFailureOnStandardErrorTheFirstOfARunAsANotification) {
    SaveFailureReporter reporter;
    std::vector<std::string> notices;
    const NotifyText notify = [&](std::string_view heading, std::string_view body) {
        notices.push_back(std::string(heading) + " | " + std::string(body));
    };
    const Result<void> failed = Error{"could not write /x/config.toml: No space left on device"};
    ::testing::internal::CaptureStderr();
    reporter.report(failed, notify);
    reporter.report(failed, notify);
    reporter.report({}, notify);
    reporter.report(failed, notify);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    const std::string line =
        "thumbrover: could not write /x/config.toml: No space left on device\n";
    EXPECT_EQ(errors, line + line + line);
    const std::string notice =
        "Thumbrover could not save your settings | Could not write /x/config.toml: No space left "
        "on device. The change is used until Thumbrover quits.";
    EXPECT_EQ(notices, (std::vector<std::string>{notice, notice}));
}

}  // namespace
}  // namespace thumbrover
