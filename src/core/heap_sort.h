// In-place heap sort for plain arrays of fixed-size elements.
#pragma once

#include <cstddef>
#include <span>
#include <utility>

namespace zv::core {

namespace heap_sort_detail {

// Heap sort over positions 0 ... count-1: greater(i, j) tells whether
// element i sorts after element j, swap(i, j) exchanges them.
template <class Greater, class Swap>
void sort_positions(std::size_t count, Greater greater, Swap swap)
{
    auto sift_down = [&](std::size_t root, std::size_t end) {
        for (;;) {
            std::size_t child = 2 * root + 1;
            if (child >= end)
                return;
            if (child + 1 < end && greater(child + 1, child))
                ++child;
            if (!greater(child, root))
                return;
            swap(root, child);
            root = child;
        }
    };
    if (count < 2)
        return;
    for (std::size_t i = count / 2; i-- > 0;)
        sift_down(i, count);
    for (std::size_t end = count - 1; end > 0; --end) {
        swap(0, end);
        sift_down(0, end);
    }
}

}  // namespace heap_sort_detail

// Sorts count elements of size bytes at base ascending by compare (negative,
// zero or positive like strcmp). Not stable: equal elements end up in the
// order the heap gives them.
void heap_sort(void* base, std::size_t count, std::size_t size,
               int (*compare)(const void*, const void*));

// The same for a typed span; compare(a, b) is negative, zero or positive.
template <class T, class Compare>
void heap_sort(std::span<T> items, Compare compare)
{
    heap_sort_detail::sort_positions(
        items.size(), [&](std::size_t i, std::size_t j) { return compare(items[i], items[j]) > 0; },
        [&](std::size_t i, std::size_t j) {
            using std::swap;
            swap(items[i], items[j]);
        });
}

}  // namespace zv::core
