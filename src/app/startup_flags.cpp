// The process-wide start-up flags.
#include "app/startup_flags.h"

namespace zv::app {

StartupFlags& startup_flags()
{
    static StartupFlags flags;
    return flags;
}

bool cpu_has_mmx()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("mmx");
#else
    return false;
#endif
}

}  // namespace zv::app
