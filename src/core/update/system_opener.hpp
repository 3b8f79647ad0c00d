#pragma once

#include <string_view>

#include "core/common/result.hpp"

namespace thumbrover {

// Hands a web address, a file path or a settings link to the desktop's default handler
// (`open` on macOS, `xdg-open` on Linux) and returns at once, without waiting for it.
// Fails with the system's error text when the handler cannot be started; reporting the failure
// is the caller's job.
class SystemOpener {
  public:
    virtual ~SystemOpener() = default;
    [[nodiscard]] virtual Result<void> open(std::string_view target) = 0;
};

}  // namespace thumbrover
