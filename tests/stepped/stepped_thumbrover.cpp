// The program as the tests run it that quit it, or take its display away, at a chosen moment: the
// program itself, except that every step it reaches is written as a line to descriptor 3, and the
// thread that reached it waits for one byte on descriptor 4 before it goes on. Without those two
// descriptors it runs as the program does. A first argument "--steer" plugs in a virtual
// controller whose left stick stays pushed fully right, so the engine steers from the start.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/common/diag.hpp"
#include "core/common/steps.hpp"
#include "core/engine/engine_loop.hpp"
#include "demo/virtual_pad.hpp"
#include "platform/shell.hpp"

namespace {

constexpr int kStepsOut = 3;
constexpr int kGoIn = 4;

std::mutex g_one_step_at_a_time;

void pause_at_step(std::string_view step) {
    const std::lock_guard lock(g_one_step_at_a_time);
    const std::string line = std::string(step) + "\n";
    ssize_t written = 0;
    do {
        written = ::write(kStepsOut, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(line.size())) return;
    char go = 0;
    while (::read(kGoIn, &go, 1) < 0 && errno == EINTR) {
    }
}

}  // namespace

int main(int argc, char** argv) {
    static_cast<void>(thumbrover::install_quit_signals());
    thumbrover::set_program_name("thumbrover");
    if (::fcntl(kStepsOut, F_GETFD) >= 0 && ::fcntl(kGoIn, F_GETFD) >= 0) {
        // Nothing the program starts may hold them, or the test would never see them close.
        ::fcntl(kStepsOut, F_SETFD, FD_CLOEXEC);
        ::fcntl(kGoIn, F_SETFD, FD_CLOEXEC);
        thumbrover::set_step_observer(pause_at_step);
    }
    std::unique_ptr<thumbrover::VirtualPad> pad;
    if (argc > 1 && std::string_view(argv[1]) == "--steer") {
        auto plugged = thumbrover::VirtualPad::plug_in();
        if (!plugged) {
            thumbrover::diag("no virtual controller: " + plugged.error());
            return 3;
        }
        pad = std::move(plugged).value();
        pad->set_axis(0, 1.0f);
        argv[1] = argv[0];
        --argc;
        ++argv;
    }
    return thumbrover::run_shell(argc, argv);
}
