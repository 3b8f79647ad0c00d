#pragma once

#include <memory>

#include "core/app/application.hpp"

namespace thumbrover {

// The windows as the program has them on Linux: the settings store writing the real settings
// file (in the background), the steering circle and the engine; the tick refreshing visible
// windows; the desktop's Bluetooth panel and the X keyboard map; and the session-bus listener
// through which a second start of the program shows Settings here.
[[nodiscard]] std::unique_ptr<ShellWindows> make_windows(ShellServices& services);

}  // namespace thumbrover
