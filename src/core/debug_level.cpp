#include "core/debug_level.h"

#include <atomic>

namespace zv::core {

static std::atomic<int> g_debug_level{0};

int debug_level() { return g_debug_level.load(std::memory_order_relaxed); }
void set_debug_level(int level) { g_debug_level.store(level, std::memory_order_relaxed); }

}  // namespace zv::core
