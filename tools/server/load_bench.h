// The server's load benchmark (zarvox-server --bench-load N).
#pragma once

#include "server/server.h"

namespace zv::server_tool {

// Runs the server and N scripted riders on loopback for `seconds` once all
// of them race, and prints what it measured. 0 when every rider raced.
int run_load_bench(const server::Settings& settings, int riders, double seconds);

}  // namespace zv::server_tool
