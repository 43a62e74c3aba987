// The race mode, also run by "--demo FILE --race" to play a demo's race
// through the same race tick.
#pragma once

#include "sim_cli.h"

namespace zv::sim_tool {

int run_race_mode(const Options& options);

}  // namespace zv::sim_tool
