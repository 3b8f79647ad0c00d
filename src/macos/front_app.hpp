#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/front_app.hpp"

namespace thumbrover {

// The application in front from NSWorkspace's did-activate-application notification, by bundle
// identifier, read and delivered on the main thread: the one in front at first, then every
// change, in order. Made, watched and destroyed on any thread. The running applications
// are the regular ones (those with a Dock icon and windows) that have a bundle identifier, by
// their localized names.
class WorkspaceFrontAppWatcher final : public FrontAppWatcher {
  public:
    WorkspaceFrontAppWatcher();
    ~WorkspaceFrontAppWatcher() override;
    WorkspaceFrontAppWatcher(const WorkspaceFrontAppWatcher&) = delete;
    WorkspaceFrontAppWatcher& operator=(const WorkspaceFrontAppWatcher&) = delete;

    [[nodiscard]] bool available() const override { return true; }
    void watch(std::function<void(std::string app_id)> changed) override;
    [[nodiscard]] std::vector<RunningApp> running_apps() override;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace thumbrover
