#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/front_app.hpp"

namespace thumbrover::fakes {

// What a test lets the scripted watchers see: whether they can tell the front application at all,
// and the applications with windows.
struct FrontAppScript {
    bool available = true;
    std::vector<RunningApp> running;
    std::string note;
};

class ScriptedFrontApps final : public FrontAppWatcher {
  public:
    explicit ScriptedFrontApps(FrontAppScript& script) : script_(script) {}

    bool available() const override { return script_.available; }
    void watch(std::function<void(std::string)>) override {}
    std::vector<RunningApp> running_apps() override {
        return script_.available ? script_.running : std::vector<RunningApp>{};
    }
    std::string note() const override { return script_.note; }

  private:
    FrontAppScript& script_;
};

}  // namespace thumbrover::fakes
