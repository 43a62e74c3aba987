// The out-of-memory exit and the allocation checker. The checker replaces
// the global operator new and delete so that every C++ allocation of the
// program is seen; its own table lives in memory from calloc, never from
// operator new.
#include "core/memory.h"

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "core/heap_sort.h"
#include "platform/message_box.h"

namespace zv::core {

namespace {

// ---- out of memory -------------------------------------------------------

std::atomic<void (*)()> g_close_sound{nullptr};
std::atomic<void (*)()> g_close_window{nullptr};
std::atomic<bool> g_leaving{false};
thread_local bool t_leaving = false;

void new_handler()
{
    out_of_memory();
}

// ---- allocation checker --------------------------------------------------

constexpr std::size_t k_max_records = 1u << 20;
// Open addressing at most half full; a power of two.
constexpr std::size_t k_slots = k_max_records * 2;

struct Record {
    void* block;
    std::size_t size;
    int serial;
};

enum : int { k_undecided = -1, k_off = 0, k_on = 1 };

std::atomic<int> g_state{k_undecided};
std::mutex g_mutex;
Record* g_table = nullptr;  // k_slots entries, block == nullptr when free
std::size_t g_count = 0;
int g_next_serial = 0;
// Set while this thread is inside the checker: anything allocated from
// there (nothing should be) bypasses the records instead of deadlocking.
thread_local bool t_inside = false;

class Inside {
public:
    Inside() { t_inside = true; }
    ~Inside() { t_inside = false; }
    Inside(const Inside&) = delete;
    Inside& operator=(const Inside&) = delete;
};

std::size_t home_slot(const void* block)
{
    auto v = reinterpret_cast<std::uintptr_t>(block);
    v ^= v >> 17;
    v *= 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(v >> 20) & (k_slots - 1);
}

void decide_locked()
{
    if (g_state.load(std::memory_order_relaxed) != k_undecided)
        return;
    const char* env = std::getenv("ZV_CHECK_ALLOC");
    long level = env ? std::strtol(env, nullptr, 10) : 0;
    if (level > 0)
        g_table = static_cast<Record*>(std::calloc(k_slots, sizeof(Record)));
    g_state.store(g_table ? k_on : k_off, std::memory_order_release);
}

// The checker's state, deciding it on first use. Off is the common case and
// costs one well-predicted branch.
inline bool checking()
{
    int state = g_state.load(std::memory_order_acquire);
    if (__builtin_expect(state == k_off, 1))
        return false;
    if (t_inside)
        return false;
    if (state == k_undecided) {
        Inside inside;
        std::lock_guard lock(g_mutex);
        decide_locked();
    }
    return g_state.load(std::memory_order_acquire) == k_on;
}

// Slot holding block, or k_slots. Caller holds the mutex.
std::size_t find_locked(const void* block)
{
    for (std::size_t i = home_slot(block);; i = (i + 1) & (k_slots - 1)) {
        if (g_table[i].block == block)
            return i;
        if (!g_table[i].block)
            return k_slots;
    }
}

void record(void* block, std::size_t size)
{
    Inside inside;
    std::lock_guard lock(g_mutex);
    if (g_state.load(std::memory_order_relaxed) != k_on)
        return;
    if (g_count >= k_max_records) {
        std::fputs("Too many allocations to check!\n", stderr);
        g_state.store(k_off, std::memory_order_release);
        return;
    }
    std::size_t i = home_slot(block);
    while (g_table[i].block)
        i = (i + 1) & (k_slots - 1);
    g_table[i] = Record{block, size, g_next_serial++};
    ++g_count;
}

// Removes block's record and gives its size; reports and returns false when
// block has none.
bool unrecord(void* block, std::size_t* size)
{
    Inside inside;
    std::lock_guard lock(g_mutex);
    std::size_t i = find_locked(block);
    if (i == k_slots) {
        std::fprintf(stderr, "Allocation not found for %p!\n", block);
        return false;
    }
    *size = g_table[i].size;
    // Backward-shift deletion keeps every probe chain unbroken.
    std::size_t hole = i;
    for (std::size_t j = (i + 1) & (k_slots - 1); g_table[j].block; j = (j + 1) & (k_slots - 1)) {
        std::size_t home = home_slot(g_table[j].block);
        // Move j into the hole unless its home lies cyclically in (hole, j].
        bool stays = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
        if (!stays) {
            g_table[hole] = g_table[j];
            hole = j;
        }
    }
    g_table[hole] = Record{nullptr, 0, 0};
    --g_count;
    return true;
}

// Frees a block that the checker may have recorded.
void release(void* block)
{
    if (!block)
        return;
    if (!checking()) {
        std::free(block);
        return;
    }
    std::size_t size = 0;
    // A block without a record is not ours to free: keep it rather than
    // corrupt the heap.
    if (!unrecord(block, &size))
        return;
    std::memset(block, 0, size);
    std::free(block);
}

void* aligned_block(std::size_t size, std::size_t alignment)
{
    if (alignment < sizeof(void*))
        alignment = sizeof(void*);
    void* block = nullptr;
    if (posix_memalign(&block, alignment, size ? size : 1) != 0)
        return nullptr;
    if (checking())
        record(block, size);
    return block;
}

// operator new's contract: retry through the new handler, throw without one.
template <class Alloc>
void* new_or_throw(Alloc alloc)
{
    for (;;) {
        if (void* block = alloc())
            return block;
        std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}

template <class Alloc>
void* new_or_null(Alloc alloc) noexcept
{
    try {
        return new_or_throw(alloc);
    } catch (...) {
        return nullptr;
    }
}

int compare_serial(const void* a, const void* b)
{
    int x = static_cast<const Record*>(a)->serial;
    int y = static_cast<const Record*>(b)->serial;
    return (x > y) - (x < y);
}

}  // namespace

void out_of_memory()
{
    if (t_leaving)
        std::_Exit(1);  // a close hook ran out of memory as well
    t_leaving = true;
    if (g_leaving.exchange(true)) {
        // Another thread is already showing the message and will end the process.
        for (;;)
            pause();
    }
    if (auto close_sound = g_close_sound.load())
        close_sound();
    if (auto close_window = g_close_window.load())
        close_window();
    platform::message_box("Error", "Out of virtual memory");
    std::fflush(nullptr);
    // No static destructors: other threads may still be running.
    std::_Exit(1);
}

void set_out_of_memory_hooks(void (*close_sound)(), void (*close_window)())
{
    g_close_sound.store(close_sound);
    g_close_window.store(close_window);
}

void install_out_of_memory_handler()
{
    std::set_new_handler(new_handler);
}

void* alloc_or_exit(std::size_t size)
{
    void* block = tracked_alloc(size ? size : 1);
    if (!block)
        out_of_memory();
    return block;
}

void* tracked_alloc(std::size_t size)
{
    void* block = std::malloc(size);
    if (checking() && block)
        record(block, size);
    return block;
}

void* tracked_calloc(std::size_t count, std::size_t size)
{
    void* block = std::calloc(count, size);
    if (checking() && block)
        record(block, count * size);
    return block;
}

void* tracked_realloc(void* block, std::size_t size)
{
    if (!block)
        return tracked_alloc(size);
    if (size == 0) {
        tracked_free(block);
        return nullptr;
    }
    if (!checking())
        return std::realloc(block, size);

    // Checked: move by hand so the old block can be zeroed before release.
    std::size_t old_size = 0;
    {
        Inside inside;
        std::lock_guard lock(g_mutex);
        std::size_t i = find_locked(block);
        if (i == k_slots) {
            std::fprintf(stderr, "Allocation not found for %p!\n", block);
            return nullptr;
        }
        old_size = g_table[i].size;
    }
    void* moved = std::malloc(size);
    if (!moved)
        return nullptr;  // the old block stays valid and recorded
    std::memcpy(moved, block, old_size < size ? old_size : size);
    release(block);
    if (checking())
        record(moved, size);
    return moved;
}

void tracked_free(void* block)
{
    release(block);
}

bool allocation_checking()
{
    return checking();
}

int allocation_serial(const void* block)
{
    if (!checking() || !block)
        return -1;
    Inside inside;
    std::lock_guard lock(g_mutex);
    std::size_t i = find_locked(block);
    return i == k_slots ? -1 : g_table[i].serial;
}

void report_allocations()
{
    if (!checking())
        return;
    Inside inside;
    std::lock_guard lock(g_mutex);
    auto* list = static_cast<Record*>(std::malloc(g_count * sizeof(Record) + 1));
    if (!list)
        return;
    std::size_t n = 0;
    for (std::size_t i = 0; i < k_slots; ++i)
        if (g_table[i].block)
            list[n++] = g_table[i];
    heap_sort(list, n, sizeof(Record), compare_serial);
    for (std::size_t i = 0; i < n; ++i)
        std::fprintf(stderr, "%p:%d\n", list[i].block, list[i].serial);
    std::free(list);
}

}  // namespace zv::core

// ---- the program's operator new and delete --------------------------------

using zv::core::tracked_alloc;

void* operator new(std::size_t size)
{
    return zv::core::new_or_throw([=] { return tracked_alloc(size ? size : 1); });
}

void* operator new[](std::size_t size)
{
    return zv::core::new_or_throw([=] { return tracked_alloc(size ? size : 1); });
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return zv::core::new_or_null([=] { return tracked_alloc(size ? size : 1); });
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return zv::core::new_or_null([=] { return tracked_alloc(size ? size : 1); });
}

void* operator new(std::size_t size, std::align_val_t align)
{
    return zv::core::new_or_throw(
        [=] { return zv::core::aligned_block(size, static_cast<std::size_t>(align)); });
}

void* operator new[](std::size_t size, std::align_val_t align)
{
    return zv::core::new_or_throw(
        [=] { return zv::core::aligned_block(size, static_cast<std::size_t>(align)); });
}

void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept
{
    return zv::core::new_or_null(
        [=] { return zv::core::aligned_block(size, static_cast<std::size_t>(align)); });
}

void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept
{
    return zv::core::new_or_null(
        [=] { return zv::core::aligned_block(size, static_cast<std::size_t>(align)); });
}

void operator delete(void* block) noexcept { zv::core::release(block); }
void operator delete[](void* block) noexcept { zv::core::release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { zv::core::release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { zv::core::release(block); }
void operator delete(void* block, std::size_t) noexcept { zv::core::release(block); }
void operator delete[](void* block, std::size_t) noexcept { zv::core::release(block); }
void operator delete(void* block, std::align_val_t) noexcept { zv::core::release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { zv::core::release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept
{
    zv::core::release(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept
{
    zv::core::release(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { zv::core::release(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { zv::core::release(block); }
