// Shutdown: every start-up step undone in reverse, each shown as a loading
// stage, with the configuration written on the way.
#pragma once

#include "app/startup.h"
#include "app/startup_flags.h"

namespace zv::app {

// The stage texts, in order.
inline constexpr std::array<const char*, 10> k_shutdown_stages = {
    "Freeing memory (1)", "Closing input devices", "Closing audio",   "Writing config files",
    "Freeing memory (2)", "Freeing memory (3)",    "Freeing file list", "Freeing memory (4)",
    "Deleting textures",  "Deleting models",
};

// Releases everything start-up built, writes "@config", closes the log and
// reports unreleased allocations. Returns the exit status (0).
int shut_down(StartupValues& values, StartupLists& lists);

}  // namespace zv::app
