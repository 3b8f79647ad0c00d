#include "core/common/diag.hpp"
#include "ctl.hpp"

namespace thumbrover::ctl {

int config_command(std::span<const std::string_view> /*args*/) {
    diag("`config` is not available in this build yet");
    return 1;
}

}  // namespace thumbrover::ctl
