#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace thumbrover::testing {

// What a front-application watcher reported, in order, from whichever thread it reports on.
class FrontAppReports {
  public:
    void add(std::string id) {
        const std::lock_guard lock(mutex_);
        ids_.push_back(std::move(id));
        arrived_.notify_all();
    }
    // Waits up to five seconds for the last report to be `id`.
    bool settles_on(const std::string& id) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(5),
                                 [&] { return !ids_.empty() && ids_.back() == id; });
    }
    std::vector<std::string> all() {
        const std::lock_guard lock(mutex_);
        return ids_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> ids_;
};

}  // namespace thumbrover::testing
