#pragma once

#include <pthread.h>

namespace thumbrover {

namespace detail {

// Linux names the given thread, macOS only the calling one; whichever form the C library has is
// the one that compiles.
template <class F>
auto name_with(F set, const char* name) -> decltype(set(pthread_self(), name), void()) {
    set(pthread_self(), name);
}
template <class F>
auto name_with(F set, const char* name) -> decltype(set(name), void()) {
    set(name);
}

}  // namespace detail

// Names the calling thread (at most 15 characters show), so that `top -H`, a debugger and the
// running-cost benchmark can tell the program's threads apart.
inline void name_this_thread(const char* name) {
    detail::name_with(&pthread_setname_np, name);
}

}  // namespace thumbrover
