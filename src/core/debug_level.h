// The debug level: 0 normally, 1 with "--debug", 2 with "--super-debug".
// Many modules add log lines when it is above 0.
#pragma once

namespace zv::core {

int debug_level();
void set_debug_level(int level);

}  // namespace zv::core
