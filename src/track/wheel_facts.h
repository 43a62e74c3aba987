// What roost and erosion need to know about a bike's wheels, as plain
// numbers: the race fills these from the simulation's contacts (or, for
// riders driven from recorded or received states, from contacts recomputed
// with the same routine) so the track module never sees the simulation.
#pragma once

#include "track/terrain.h"

namespace zv::track {

struct WheelFacts {
    float depth = 0;               // > 0: touching the ground
    TerrainVec3 contact_point;
    TerrainVec3 contact_normal;    // unit, pointing up out of the ground
    TerrainVec3 slip_velocity;     // the tyre's velocity at the contact point
    float force_x = 0, force_z = 0;  // contact force on the wheel
    TerrainVec3 position;          // wheel body centre
    TerrainVec3 axle;              // the wheel body's local x axis in world space (unit)
    TerrainVec3 velocity;          // wheel body linear velocity
    TerrainVec3 angular_velocity;  // wheel body angular velocity
};

struct RiderWheels {
    WheelFacts front, rear;
    TerrainVec3 body_position;     // the bike's main body
};

}  // namespace zv::track
