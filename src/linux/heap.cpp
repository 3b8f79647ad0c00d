#include "linux/heap.hpp"

#include <malloc.h>

namespace thumbrover {

void share_one_malloc_arena() {
    mallopt(M_ARENA_MAX, 1);
}

void release_free_heap() {
    malloc_trim(0);
}

}  // namespace thumbrover
