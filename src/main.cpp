#include <cstdio>
#include <string_view>
#include <vector>

#include "core/cli/command_line.hpp"
#include "core/common/diag.hpp"
#include "platform/shell.hpp"

int main(int argc, char** argv) {
    thumbrover::set_program_name("thumbrover");
    // Answered before anything is created: a crashed run's "--restore-cursor" only needs the
    // process to end, which gives the window server its cursor back.
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (const auto answer = thumbrover::program_command_line(args)) {
        std::fwrite(answer->out.data(), 1, answer->out.size(), stdout);
        std::fwrite(answer->err.data(), 1, answer->err.size(), stderr);
        return answer->status;
    }
    return thumbrover::run_shell(argc, argv);
}
