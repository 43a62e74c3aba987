// Ground deformation: the smooth brush that raises or lowers the height field
// (also the track editor's), and erosion, which turns hard wheel pushes into
// ruts and berms: each push is recorded as an event, and once the rider has
// moved on, material is dug out at the event point and heaped up a little
// way behind it.
#pragma once

#include "track/terrain.h"
#include "track/wheel_facts.h"

#include <array>

namespace zv::track {

constexpr int k_erosion_ring_size = 1024;
constexpr int k_erosion_events_per_tick = 4;
// An event waits until the rider's main body is this far away, so a bike
// standing on a spot does not dig a hole under itself.
constexpr float k_erosion_wait_distance = 10.0f;

struct ErosionEvent {
    float x = 0, z = 0;    // where the wheel pushed
    float fx = 0, fz = 0;  // the horizontal push, scaled by the speed factor
};

// One per rider. Full when advancing `write` would reach `read`.
struct ErosionRing {
    std::array<ErosionEvent, k_erosion_ring_size> events;
    int read = 0, write = 0;
};

inline bool erosion_ring_full(const ErosionRing& r) { return (r.write + 1) % k_erosion_ring_size == r.read; }
inline int erosion_ring_count(const ErosionRing& r)
{
    return (r.write - r.read + k_erosion_ring_size) % k_erosion_ring_size;
}
inline void clear_erosion_ring(ErosionRing& r) { r.read = r.write = 0; }

// Adds `amount` to the heights within `radius` of (x, z), weighted by a
// smooth bump (1 at the centre, 0 at the rim). Widens the stored minimum and
// maximum, sets the modified flag, counts the change and tells the renderer
// which samples changed. Does nothing when amount is 0 or the terrain is
// locked.
void deform(Terrain& terrain, float x, float z, float radius, float amount);

// Once per tick after the world step, for a rider simulated on this machine,
// when the erosion strength (0..100) is above 0: records both wheels' events
// and applies at most four waiting ones.
void erode(Terrain& terrain, ErosionRing& ring, const RiderWheels& rider, float strength);

// The same on the loaded terrain.
inline void deform(float x, float z, float radius, float amount) { deform(loaded_terrain(), x, z, radius, amount); }
inline void erode(ErosionRing& ring, const RiderWheels& rider, float strength)
{
    erode(loaded_terrain(), ring, rider, strength);
}

}  // namespace zv::track
