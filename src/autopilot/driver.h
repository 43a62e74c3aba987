// The driving controller: turns a picked line into a robot's controls.
#pragma once

#include <span>

#include "autopilot/line_point.h"
#include "sim/bike.h"
#include "sim/control.h"

namespace zv::autopilot {

// What the controller remembers of one robot between ticks.
struct DriverState {
    int position = 0;  // index of the line point the robot is heading past
    // (the controller adds what else it needs: crash recovery, shifting, ...)
};

// Fills `out` with the controls that take `bike` along `line` from the
// point `state.position` on (advancing it). `aggression` scales how hard the
// robot rides (1 the normal pace); personalities may change it.
void drive_line(const sim::Bike& bike, std::span<const LinePoint> line, DriverState& state,
                float aggression, sim::RiderInput& out);

}  // namespace zv::autopilot
