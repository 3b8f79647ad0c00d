#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/front_app.hpp"

namespace thumbrover::fakes {

// What a test lets the scripted watchers see: the applications with windows, and the
// applications that come to the front as soon as a watch starts (reported on the watching
// thread, which a test's engine can read in order).
struct FrontAppScript {
    bool available = true;
    std::vector<RunningApp> running;
    std::vector<std::string> fronts_at_watch;
    int watches = 0;
};

class ScriptedFrontApps final : public FrontAppWatcher {
  public:
    explicit ScriptedFrontApps(FrontAppScript& script) : script_(script) {}

    bool available() const override { return script_.available; }
    void watch(std::function<void(std::string)> changed) override {
        ++script_.watches;
        if (!script_.available) return;
        for (const std::string& id : script_.fronts_at_watch)
            changed(id);
    }
    std::vector<RunningApp> running_apps() override {
        return script_.available ? script_.running : std::vector<RunningApp>{};
    }

  private:
    FrontAppScript& script_;
};

}  // namespace thumbrover::fakes
