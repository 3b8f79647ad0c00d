#include "core/common/diag.hpp"
#include "ctl.hpp"

namespace thumbrover::ctl {

int replay_command(std::span<const std::string_view> /*args*/) {
    diag("`replay` is not available in this build yet");
    return 1;
}

}  // namespace thumbrover::ctl
