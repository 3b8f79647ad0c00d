#pragma once

#include <memory>

#include "core/app/application.hpp"

namespace thumbrover {

// The windows as the program has them on Linux: the desktop's Bluetooth panel, the X keyboard map,
// the X display's wording of the input permission and the on-screen keyboard among the actions.
[[nodiscard]] std::unique_ptr<ShellWindows> make_windows(ShellServices& services);

}  // namespace thumbrover
