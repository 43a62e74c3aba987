#include "race/robots.h"

#include "sim/control.h"

namespace zv::race {

namespace {

bool g_learning = false;

}  // namespace

void set_line_learning(bool on) { g_learning = on; }
bool line_learning() { return g_learning; }

// The auto pilot has not arrived yet: there are no lines to keep (with
// learning on) or to read.
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
