#pragma once

#include <memory>

#include "core/common/result.hpp"
#include "platform/event_output.hpp"
#include "platform/mouse_watcher.hpp"
#include "platform/notifier.hpp"

namespace thumbrover {

// What the engine thread needs from the platform: the objects it acts through, made when the
// engine starts, and the notifier it reports through.
//
// Contract:
// - The factories are called on the engine thread only, once each, in the start-up sequence;
//   the objects they make are used and destroyed on that thread (the mouse source on the
//   watcher thread, which owns it from then on).
// - Only `create_event_output` can fail; its error text becomes the start failure's text.
// - The notifier outlives the engine thread and follows its own contract (any thread).
class EnginePorts {
  public:
    virtual ~EnginePorts() = default;

    [[nodiscard]] virtual Result<std::unique_ptr<EventOutput>> create_event_output() = 0;
    [[nodiscard]] virtual std::unique_ptr<DesktopActions> create_desktop_actions() = 0;
    // The real mouse's motion, for the watcher thread; none where the session lets no client
    // see it (a Wayland compositor), and then no watcher runs.
    [[nodiscard]] virtual std::unique_ptr<MouseMotionSource> create_mouse_source() = 0;
    [[nodiscard]] virtual Notifier& notifier() = 0;
};

}  // namespace thumbrover
