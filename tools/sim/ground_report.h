// What the wheels did to the ground in a bench run: the roost thrown and
// the ruts cut, with the ground compared against the track's own files.
#pragma once

#include <string>

#include "sim_cli.h"

namespace zv::sim_tool {

struct GroundReport {
    long roost_frequency = 1000;
    long erosion = 0;
    unsigned terrain_changes = 0;  // brush strokes the wheels made
    int particles_peak = 0;
    long particles_emitted = 0;
    // The ground after the run against the track's own files: the largest
    // height change (feet) and whether every height is bit for bit the same.
    double largest_height_change = 0;
    bool heights_unchanged = true;
};

// Reads "--roostfrequency" (0..1000) and "--erode" (0..100); false, with the
// complaint printed, when either is malformed.
bool read_ground_options(const Options& o, GroundReport& g);
// Sets the roost and erosion for the run (and forgets earlier particles and
// erosion events).
void start_ground_effects(const GroundReport& g);
// Fills the counts from the loaded track after the run.
void finish_ground_report(GroundReport& g, const std::string& track_folder);
// The report's JSON fields, each followed by ", ".
void print_ground_json(const GroundReport& g);

}  // namespace zv::sim_tool
