// Roost: the dirt and splashes that wheels throw up. A fixed pool of
// particles, each owning one of the track's roost billboards, is fed by the
// wheels in contact with the ground (by the roost types of the tile under
// them) and moved every tick under drag and gravity; particles grow, fade and
// die when they fall back into the ground.
#pragma once

#include "track/scenery.h"
#include "track/terrain.h"
#include "track/track.h"
#include "track/wheel_facts.h"

#include <array>
#include <cstdint>
#include <span>

namespace zv::track {

constexpr int k_roost_particles = k_roost_billboards;
constexpr int k_default_roost_frequency = 1000;  // percent
// Widest spread of the thrown dirt: the front wheel throws a narrow fan, the
// rear one may throw all round.
constexpr float k_front_max_spread = 0.3926991f;  // pi/8
constexpr float k_rear_max_spread = 6.2831855f;   // 2 pi
constexpr float k_grip_spread = 0.049087387f;     // pi/64, a wheel that is not spinning

// The random numbers roost draws from (seedable, so tests and replays of a
// bench are repeatable): 31-bit integers and uniform floats in [0, 1) from
// 24 bits.
struct RoostRandom {
    std::uint64_t state = 0x853c49e6748fea9bULL;
    std::uint32_t next_int();    // 0 .. 2^31 - 1
    float next_float();          // [0, 1)
};

struct Particle {
    TerrainVec3 position, velocity;
    int billboard = 0;  // index into the pool's billboards
    RoostType type;
};

// Particles are on a free list or an active list (singly linked, -1 ends).
struct RoostPool {
    std::array<Particle, k_roost_particles> particles;
    std::array<int, k_roost_particles> next{};
    int free_head = -1;
    int active_head = -1;
    int active_count = 0;
    long emitted = 0;  // particles set flying since the race was set up
    RoostRandom random;
};

// Race set-up: every particle back on the free list in pool order, none
// active, and every pool billboard without texture. `billboards` are the
// pool's own (k_roost_particles of them, fewer are used when fewer given).
void reset_roost(RoostPool& pool, std::span<Billboard> billboards);

// The k-th rider to visit this tick when `riders` riders throw roost: the
// order starts at (tick mod riders), so a full pool does not always starve
// the same riders.
inline int roost_rider_order(int tick, int riders, int k)
{
    if (riders <= 0)
        return 0;
    int start = tick % riders;
    if (start < 0)
        start += riders;
    return (start + k) % riders;
}

// Particles a wheel may throw this tick under the roost frequency (0..1000
// percent): frequency / 100, plus one with chance (frequency mod 100) / 100.
int roost_budget(RoostRandom& random, int frequency);

// One rider's wheels, front then rear, for this tick.
void emit_roost(RoostPool& pool, const Terrain& terrain, std::span<Billboard> billboards, const RiderWheels& rider,
                int tick, int frequency);
// Moves every active particle by one tick; those falling into the ground die.
void update_particles(RoostPool& pool, const Terrain& terrain, std::span<Billboard> billboards);

// The loaded track's pool and its billboards (the scenery list from
// roost_billboard_base(); empty when no track is loaded).
RoostPool& roost_pool();
std::span<Billboard> roost_billboards();
inline void reset_roost() { reset_roost(roost_pool(), roost_billboards()); }
inline void emit_roost(const RiderWheels& rider, int tick, int frequency)
{
    emit_roost(roost_pool(), loaded_terrain(), roost_billboards(), rider, tick, frequency);
}
inline void update_particles() { update_particles(roost_pool(), loaded_terrain(), roost_billboards()); }

}  // namespace zv::track
