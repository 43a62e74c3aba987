// The collision spheres of a bike's body parts: the row's shape files from
// the game data, or built-in spheres for a part whose file is missing or
// damaged.
#pragma once

namespace zv::sim {

struct Bike;

// Sets every body part's built-in spheres (frame and engine, handlebar,
// swingarm, the rider's torso and helmet; none on the fork lower).
void set_builtin_shapes(Bike& bike);

// Gives the frame, fork upper, fork lower, swingarm and rider the spheres of
// the row's shape files, read through the data files (and cached by name).
// A part whose file is missing or damaged (a number short counts as missing)
// keeps its built-in spheres, and "Warning: missing shape file %.900s" is
// logged the first time the file is tried after the shape cache was emptied
// (every bike of a race asks for the same files). Returns how many parts
// took their file's spheres.
int load_bike_shapes(Bike& bike);

}  // namespace zv::sim
