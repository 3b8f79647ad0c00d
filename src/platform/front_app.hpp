#pragma once

#include <functional>
#include <string>
#include <vector>

namespace thumbrover {

// An application as the desktop knows it.
struct RunningApp {
    std::string
        id;  // the bundle identifier on macOS; on Linux the X window class or the Wayland app_id
    std::string name;  // what a user calls it

    friend bool operator==(const RunningApp&, const RunningApp&) = default;
};

// Which application is in front, as the desktop announces it: never by looking on a timer.
//
// Contract:
// - `watch` is called at most once per object. From then on `changed` is called with the
//   identity of the application in front, soon after `watch` for the one in front already and
//   then after every change to another one, from a thread of the watcher's choosing (the main
//   thread on macOS, where the system tells it), never from inside `watch`. An empty identity
//   means no application is in front or it cannot be told (a window without a class).
// - Once the destructor has returned, `changed` is never called again.
// - `running_apps` lists the applications that have a window now, each once; it blocks no
//   longer than a few round trips to the desktop. Any thread, but not from inside `changed`.
// - Where the platform cannot tell (a desktop that tells no client), `available` is false:
//   `watch` never reports and `running_apps` is empty. It may change while the program runs (a
//   desktop extension being switched on or off); it blocks no longer than one round trip.
// - `note` is one line for the user where something the user can do would make the application
//   in front known (how to switch a desktop extension on), else empty. Any thread, but not from
//   inside `changed`.
class FrontAppWatcher {
  public:
    virtual ~FrontAppWatcher() = default;

    [[nodiscard]] virtual bool available() const = 0;
    virtual void watch(std::function<void(std::string app_id)> changed) = 0;
    [[nodiscard]] virtual std::vector<RunningApp> running_apps() = 0;
    [[nodiscard]] virtual std::string note() const { return {}; }
};

// What a session without a way to tell gets: nothing ever changes.
class NoFrontAppWatcher final : public FrontAppWatcher {
  public:
    [[nodiscard]] bool available() const override { return false; }
    void watch(std::function<void(std::string)> /*changed*/) override {}
    [[nodiscard]] std::vector<RunningApp> running_apps() override { return {}; }
};

}  // namespace thumbrover
