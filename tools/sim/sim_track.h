// Finding and loading a track for the headless modes.
#pragma once

#include <string_view>

namespace zv::sim_tool {

// Loads the named track headless. On failure writes the reason (the load's
// messages, or that no such track exists) to standard error and returns false.
bool load_named_track(std::string_view folder);

}  // namespace zv::sim_tool
