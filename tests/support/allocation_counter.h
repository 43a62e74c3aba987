// Counts heap allocations while switched on: malloc is interposed (operator
// new ends in it too). Include it in one file of a test program only. Under
// AddressSanitizer, which owns malloc, nothing is counted and
// ZV_COUNT_ALLOCATIONS is 0 so the test can skip itself.
#pragma once

#include <atomic>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define ZV_COUNT_ALLOCATIONS 0
#else
#define ZV_COUNT_ALLOCATIONS 1
namespace {
std::atomic<long> g_allocations{0};
std::atomic<bool> g_counting{false};
}  // namespace

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* malloc(std::size_t n)
{
    if (g_counting.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}
#endif
