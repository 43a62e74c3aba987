// zarvox-terrain-bench roost [ticks]: a full pool of roost particles moved
// tick after tick (refilled as they land), and riders digging with erosion at
// full strength, on the bench's rolling ground.
#include "roost_bench.h"

#include "track/deform.h"
#include "track/roost.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <time.h>
#include <vector>

namespace {

double cpu_now()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A spinning rear wheel on the ground at (x, z), the bike heading along +x.
zv::track::RiderWheels rider_at(const zv::track::Terrain& t, float x, float z)
{
    zv::track::RiderWheels r;
    for (zv::track::WheelFacts* w : {&r.front, &r.rear}) {
        float y = zv::track::terrain_height(t, x, z);
        w->depth = 0.05f;
        w->contact_point = {x, y, z};
        w->contact_normal = {0, 1, 0};
        w->position = {x, y + 1.1f, z};
        w->axle = {0, 0, 1};
        w->velocity = {30, 0, 0};
        w->angular_velocity = {0, 0, -60};
        w->slip_velocity = {-30, 0, 0};
        w->force_x = 300;
        w->force_z = 40;
        x -= 4.5f;  // the rear wheel trails the front
    }
    r.body_position = {x + 6.75f, r.front.position.y, z};
    return r;
}

}  // namespace

int run_roost_bench(zv::track::Terrain& t, int ticks)
{
    using namespace zv::track;
    for (TileType& tile : t.tiles.empty() ? (t.tiles.resize(4), t.tiles) : t.tiles) {
        tile.roost[0].mode = 1;
        tile.roost[0].texture = 1;
        tile.roost[1].mode = 2;
        tile.roost[1].texture = 1;
        tile.roost[1].count = 3;
    }
    std::vector<Billboard> billboards(k_roost_particles);
    auto pool = std::make_unique<RoostPool>();
    reset_roost(*pool, billboards);

    // Particles: 40 riders throw into the pool, which stays full.
    const int riders = 40;
    double emit_cpu = 0, update_cpu = 0;
    long active_sum = 0;
    for (int tick = 0; tick < ticks; ++tick) {
        double a = cpu_now();
        for (int k = 0; k < riders; ++k) {
            int r = roost_rider_order(tick, riders, k);
            emit_roost(*pool, t, billboards, rider_at(t, 200.0f + 40.0f * static_cast<float>(r), 900.0f), tick, 1000);
        }
        double b = cpu_now();
        active_sum += pool->active_count;
        update_particles(*pool, t, billboards);
        double c = cpu_now();
        emit_cpu += b - a;
        update_cpu += c - b;
    }
    std::printf("roost, %d ticks, %d riders: mean %.0f active particles (pool %d)\n", ticks, riders,
                static_cast<double>(active_sum) / ticks, k_roost_particles);
    std::printf("update_particles: %.4f ms per tick (processor time)\n", update_cpu / ticks * 1e3);
    std::printf("emit_roost:       %.4f ms per tick for %d riders\n", emit_cpu / ticks * 1e3, riders);

    // Erosion: riders circling at 30 units/s, every wheel pushing hard, so
    // each rider-tick records two events and applies two.
    const int diggers = 8;
    std::vector<ErosionRing> rings(diggers);
    double erode_cpu = 0;
    std::uint32_t changes = t.change_count;
    for (int tick = 0; tick < ticks; ++tick) {
        float angle = static_cast<float>(tick) * 30.0f / 128.0f / 300.0f;
        double a = cpu_now();
        for (int k = 0; k < diggers; ++k) {
            float radius = 300.0f + 20.0f * static_cast<float>(k);
            erode(t, rings[static_cast<std::size_t>(k)],
                  rider_at(t, 1024.0f + radius * std::cos(angle), 1024.0f + radius * std::sin(angle)), 100.0f);
        }
        erode_cpu += cpu_now() - a;
    }
    long rider_ticks = static_cast<long>(ticks) * diggers;
    std::printf("erode: %.2f us per rider-tick (%u brush strokes over %ld rider-ticks, strength 100)\n",
                erode_cpu / static_cast<double>(rider_ticks) * 1e6, t.change_count - changes, rider_ticks);
    return 0;
}
