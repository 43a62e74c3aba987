// The driving controller: turns a picked line into a robot's controls.
//
// Each tick it finds where the robot is along the line, aims at a point
// further along (pure pursuit: the look-ahead grows with speed) and turns the
// curvature toward that point into the lean a bike needs for it, then into
// the steer control that asks the bike's stability aids for that lean. Speed
// follows the line's speeds, braking early enough for slower points ahead.
// In the air the rider's weight, the throttle and the rear brake bring the
// bike to the slope it is about to land on. A fallen robot waits for its
// rider, a stuck one backs up, and one that lost its line rejoins the
// nearest point of it.
#pragma once

#include <span>

#include "autopilot/line_point.h"
#include "sim/bike.h"
#include "sim/control.h"
#include "sim/setup.h"

namespace zv::autopilot {

// What the controller remembers of one robot between ticks.
struct DriverState {
    // The other bikes' frame positions this tick, set by the caller before
    // each call when it knows them (empty: the robot rides as if alone).
    std::span<const sim::Vec3> traffic;
    // The way on past the end of the line (the following section's line),
    // set by the caller each tick when it knows it: the look-ahead and the
    // braking continue along it, so a line that ends inside a turn is not
    // aimed past straight on.
    std::span<const LinePoint> next;
    int position = 0;          // index of the line point the robot is heading past
                               // (the start of the line segment it is on)
    // Shifting: the gearbox acts on a change of the shift input.
    int last_shift = 0;
    int shift_wait = 0;        // ticks until the next shift may be asked for
    // In the air.
    float last_pitch = 0;
    bool airborne = false;
    // Recovery.
    int stuck_ticks = 0;       // ticks spent stopped while asking to go
    int back_up_ticks = 0;     // ticks of backing up still to do
    int detour_ticks = 0;      // ticks still aiming beside the line after backing up
    float detour_side = 1;     // which side, +1 or -1 (alternates)
    int stuck_count = 0;       // times stuck since the bike last ran freely
    // Headway: where and when the robot last was k_headway_distance from
    // where it had been (-1: measure from the next tick).
    sim::Vec3 headway_from;
    int headway_tick = -1;
    bool no_headway = false;   // asking to go, it has not got anywhere for a while
    // What the last tick found (for benches and the learning's match).
    float line_distance = 0;   // horizontal distance to the line, ft
    float target_speed = 0;    // ft/s
    bool lost = false;         // the last search had to look along the whole line
    float heading_error = 0;   // radians from the heading to the aim point
    float wanted_lean = 0;
};

// Fills `out` with the controls that take `bike` along `line` from the
// point `state.position` on (advancing it). `aggression` scales how hard the
// robot rides (1 the normal pace; 0.5 to 1.25 are used): target speeds and
// the deepest lean it allows. `out` is meant for sim::apply_input (the steer
// value takes the bike's reversed-steering setting into account). An empty
// line gives a robot that holds its bike.
void drive_line(const sim::Bike& bike, std::span<const LinePoint> line, DriverState& state,
                float aggression, sim::RiderInput& out);

// What a robot's bike runs with, on top of the rider setup it was given:
// the wheelie cut ("Yes"), antilock on both brakes, and no automatic
// shifting (drive_line shifts for it).
void robot_setup(sim::RiderSetup& setup);

// Where the robot is along the line: the segment nearest to (x, z) within
// the search window ahead of `from` (or along the whole line when nothing
// in the window is near). Returns the segment's first point index; `t` is
// the fraction along it and `distance` the horizontal distance.
int locate_on_line(std::span<const LinePoint> line, int from, float x, float z, float& t, float& distance);

// With arcade physics the steer control sets a lean and turns the bar with
// it; slow bikes turn less than that lean would make them turn, fast ones a
// little more (measured in steady circles). The share of steer a lean asks
// for at a speed (ft/s).
float arcade_turn_scale(float speed);

// The attitude value stored with a line point: how upright the frame
// stands (the world-vertical part of its up axis, 1 upright), negated while
// both wheels are off the ground. A bike that rides is well above 0, so the
// sign tells the air apart.
float line_attitude(const sim::Bike& bike);
// The frame's pitch, radians, nose up positive.
float frame_pitch(const sim::Bike& bike);

}  // namespace zv::autopilot
