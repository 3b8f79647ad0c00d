#pragma once

namespace thumbrover {

// glibc gives every thread that allocates an arena of its own, up to eight per core, and each
// arena keeps the memory freed in it for later. This program's threads other than the main one
// allocate little and rarely, so one arena shared by all of them serves as well and holds less.
// Takes effect for threads that have not allocated yet: call it before the toolkit starts its
// own.
void share_one_malloc_arena();

// Hands the whole pages of free memory inside the heap back to the system. free() only gives
// back what lies at the heap's top; what start-up allocated and dropped underneath longer-lived
// objects would otherwise stay with the process for its whole run. Costs a walk over the heap's
// free chunks: for rare moments, never per tick.
void release_free_heap();

}  // namespace thumbrover
