#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "platform/mouse_watcher.hpp"

namespace thumbrover {

// Pointer motion (moves and drags, mask 0x80000E0) from a listen-only event tap at the head of the
// session's event stream, run by the watcher thread's own run loop. The program's own events are
// told apart by the tag every posted event carries. The tap is switched on again whenever the
// system switches it off (a slow callback, or the user's secure input).
// Used by the watcher thread only (created on the engine thread, started and read on the watcher
// thread); `stop` may come from any thread.
class EventTapWatcher final : public MouseMotionSource {
  public:
    EventTapWatcher();
    ~EventTapWatcher() override;
    EventTapWatcher(const EventTapWatcher&) = delete;
    EventTapWatcher& operator=(const EventTapWatcher&) = delete;

    // NotAllowedYet while the tap cannot be made (no Accessibility access yet); Failed when its
    // run-loop source cannot be made.
    [[nodiscard]] WatchStart start() override;
    [[nodiscard]] std::optional<MotionOrigin> next_motion() override;
    // Signals a run-loop source of the watcher thread's own, which stays signalled until that
    // thread's run loop takes it, so a stop that comes before the loop runs is not lost.
    void stop() override;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace thumbrover
