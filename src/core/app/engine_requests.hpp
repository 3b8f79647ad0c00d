#pragma once

namespace thumbrover {

// What the main thread asks of the engine. Both requests are dropped silently while the engine
// has not published its link yet, or after it has gone: nobody would act on them.
class EngineRequests {
  public:
    virtual ~EngineRequests() = default;

    // Switch the program on or off.
    virtual void send_toggle() = 0;
    // End the program: the engine releases everything held and the process exits.
    virtual void send_quit() = 0;
};

}  // namespace thumbrover
