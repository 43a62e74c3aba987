// zarvox-sim --connect HOST --clients N: N connections from one process,
// each riding a synthetic lap without a bike, to load a race server.
#pragma once

#include "sim_cli.h"

namespace zv::sim_tool {

int run_load_clients(const Options& options, long clients, double seconds);

}  // namespace zv::sim_tool
