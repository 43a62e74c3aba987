#include "core/heap_sort.h"

namespace zv::core {

void heap_sort(void* base, std::size_t count, std::size_t size,
               int (*compare)(const void*, const void*))
{
    if (!base || size == 0)
        return;
    auto* bytes = static_cast<unsigned char*>(base);
    heap_sort_detail::sort_positions(
        count,
        [&](std::size_t i, std::size_t j) { return compare(bytes + i * size, bytes + j * size) > 0; },
        [&](std::size_t i, std::size_t j) {
            unsigned char* a = bytes + i * size;
            unsigned char* b = bytes + j * size;
            for (std::size_t k = 0; k < size; ++k) {
                unsigned char t = a[k];
                a[k] = b[k];
                b[k] = t;
            }
        });
}

}  // namespace zv::core
