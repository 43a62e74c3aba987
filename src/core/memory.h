// The out-of-memory exit and the optional allocation checker.
#pragma once

#include <cstddef>

namespace zv::core {

// Closes sound and window (through the hooks), shows the message box
// "Error" / "Out of virtual memory" and ends the process with status 1.
[[noreturn]] void out_of_memory();

// What out_of_memory closes first; either may be null. The sound and window
// layers set these when they open and clear them when they close.
void set_out_of_memory_hooks(void (*close_sound)(), void (*close_window)());

// Makes every failed operator new end in out_of_memory.
void install_out_of_memory_handler();

// Allocates size bytes (at least one) or ends in out_of_memory.
void* alloc_or_exit(std::size_t size);

// The C-style allocation family; with ZV_CHECK_ALLOC above 0 every block
// is recorded until freed. The program's operator new and delete go through
// the same records.
void* tracked_alloc(std::size_t size);
void* tracked_calloc(std::size_t count, std::size_t size);
// A size of 0 frees the block and returns null.
void* tracked_realloc(void* block, std::size_t size);
void tracked_free(void* block);

// True while the allocation checker records allocations (decided by the
// first allocation; turned off for good when its table fills up).
bool allocation_checking();

// The serial number recorded for block, or -1 when it has no record.
int allocation_serial(const void* block);

// Prints "<pointer>:<serial>" to standard error for every block still
// recorded, in allocation order. Prints nothing when checking is off.
void report_allocations();

}  // namespace zv::core
