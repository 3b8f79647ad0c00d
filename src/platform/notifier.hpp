#pragma once

#include <string_view>

namespace thumbrover {

// Shows a desktop notification whose title is the program's name ("Thumbrover"), with `heading`
// as its subtitle and `body` as its main text.
//
// Contract:
// - Callable from any thread, concurrently; returns at once and never waits for the desktop.
// - Never fails from the caller's point of view: when the notification cannot be shown, the
//   heading, the body and the reason go to standard error as one diagnostic line instead.
// - The texts are copied before notify returns.
class Notifier {
  public:
    virtual ~Notifier() = default;
    virtual void notify(std::string_view heading, std::string_view body) = 0;
    // Waits until every notification asked for so far has left the process (or was reported on
    // standard error), so that one sent just before the program ends is not lost. Returns at once
    // for a notifier that never queues.
    virtual void flush() {}
};

}  // namespace thumbrover
