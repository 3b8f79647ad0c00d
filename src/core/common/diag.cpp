#include "core/common/diag.hpp"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace thumbrover {
namespace {
std::atomic<const char*> g_program_name{"thumbrover"};
}

void set_program_name(const char* name) {
    // Names are string literals owned by main(); keeping the pointer is enough.
    g_program_name.store(name);
}

std::string_view program_name() {
    return g_program_name.load();
}

void diag(std::string_view message) {
    std::string line;
    line.reserve(message.size() + 32);
    line.append(program_name()).append(": ").append(message).push_back('\n');
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace thumbrover
