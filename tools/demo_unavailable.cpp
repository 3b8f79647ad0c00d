#include <string>

#include "core/common/diag.hpp"
#include "ctl.hpp"

namespace thumbrover::ctl {

// The demonstration drives a virtual controller and an X display; there is neither here.
int demo_command(std::span<const std::string_view> /*args*/) {
    diag("`demo` runs on Linux only (it needs SDL's virtual controller and an X display)");
    return 2;
}

}  // namespace thumbrover::ctl
