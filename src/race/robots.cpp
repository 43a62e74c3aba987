#include "race/robots.h"

#include "sim/control.h"

namespace zv::race {

// The auto pilot has not arrived yet: there are no lines to keep or read.
void save_robot_lines() {}
void load_robot_lines(int skill) { (void)skill; }

void drive_robot(int slot, sim::Bike& bike, int tick)
{
    (void)slot;
    (void)tick;
    // Without lines to follow a robot waits in its gate.
    sim::hold_controls(bike);
}

void learn_from_rider(int slot, const sim::Bike& bike, int tick)
{
    (void)slot;
    (void)bike;
    (void)tick;
}

}  // namespace zv::race
