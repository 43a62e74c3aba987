// The exhaust-pipe parameters of every rider's engine sound: the "pipe"
// console command sets them, the engine sound turns them into delay taps.
#pragma once

#include <array>
#include <string_view>

#include "race/riders.h"

namespace zv::app {

struct PipeParameters {
    float length = 5.0f;       // feet
    float spread = 0.918207f;
    float gain = -0.85f;       // total over the taps
    int first_tap = 0;
    int last_tap = 15;
    bool changed = false;      // set by the console, cleared by the sound code
};

// The starting pipe of an engine class: four-stroke for "250f" and "450f",
// two-stroke for every other class.
PipeParameters starting_pipe(std::string_view engine_class);

// The pipe record of each rider slot.
std::array<PipeParameters, race::k_rider_slot_count>& pipe_parameters();

// "pipe": up to five numbers ("%f %f %f %d %d"); the ones not given take the
// class's starting values. Marks the record changed.
void set_pipe_from_text(PipeParameters& pipe, std::string_view engine_class, const char* numbers);

}  // namespace zv::app
