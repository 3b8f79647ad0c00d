#include "platform/shell.hpp"

#include "core/common/diag.hpp"

namespace thumbrover {

int run_shell(int /*argc*/, char** /*argv*/) {
    diag("not built for this platform yet");
    return 1;
}

}  // namespace thumbrover
