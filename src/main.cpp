#include <cstdio>
#include <string_view>
#include <vector>

#include "core/cli/command_line.hpp"
#include "core/common/diag.hpp"
#include "core/engine/engine_loop.hpp"
#include "platform/shell.hpp"

int main(int argc, char** argv) {
    // First of all, so that a quit signal in the first moments of a start (a session ending as it
    // begins) ends the program as a quit does, not in the middle of whatever it was making. The
    // engine reports a failure here when it starts.
    static_cast<void>(thumbrover::install_quit_signals());
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
