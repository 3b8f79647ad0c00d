#include <string_view>

#include "core/common/diag.hpp"
#include "platform/shell.hpp"

int main(int argc, char** argv) {
    thumbrover::set_program_name("thumbrover");
    // A crashed run may have left the cursor hidden; this argument only needs the process to end,
    // which gives the window server its cursor back.
    if (argc > 1 && std::string_view(argv[1]) == "--restore-cursor") return 0;
    return thumbrover::run_shell(argc, argv);
}
