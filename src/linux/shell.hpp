#pragma once

#include "qt/front_end.hpp"

namespace thumbrover {

// Runs the program on X11: the Qt front end, SDL's controllers, XTest output, D-Bus
// notifications, until the engine ends. Returns the engine's exit status. Main thread only; once
// per process (the engine's links are process-wide).
int run_application(const QtShellOptions& options);

}  // namespace thumbrover
