// Putting a bike into the pose of a state record: the simplest faithful
// reconstruction, until the drawing of bikes brings its own.
//
// The frame takes the record's position and rotation, the rider body the
// record's offset and rotation; the wheels, fork and swingarm keep where they
// sit relative to the frame now and move with it. Every body comes to rest
// (velocities zero). The engine speed, gear and throttle follow the record.
// Not applied: the steering angle, fork and shock positions and the wheel
// rotation angles (the joints keep theirs), the effect level and the crash
// state.
#pragma once

#include "replay/state_record.h"

namespace zv::sim {
struct Bike;
}
namespace zv::track {
struct Terrain;
}

namespace zv::replay {

void apply_record_to_bike(sim::Bike& bike, const StateRecord& record, const track::Terrain& terrain);

}  // namespace zv::replay
