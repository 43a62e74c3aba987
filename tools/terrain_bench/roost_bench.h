#pragma once

#include "track/terrain.h"

// Times a full roost pool's update per tick and erosion per rider-tick on
// the given ground; prints the figures. Returns the exit status.
int run_roost_bench(zv::track::Terrain& ground, int ticks);
