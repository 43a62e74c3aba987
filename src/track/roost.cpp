#include "track/roost.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace zv::track {

namespace {

constexpr float k_tick = 1.0f / 128.0f;
constexpr float k_gravity = 32.0f;            // units per second squared
constexpr float k_half_sqrt2 = 0.70710678f;   // splash: 45 degrees up either side
constexpr int k_mode_roost = 1;
constexpr int k_mode_splash = 2;

using V = TerrainVec3;
V add(V a, V b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V sub(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V scale(V a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float dot(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V cross(V a, V b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

// `p` turned about the line through `centre` along the unit `axis` by
// `angle` (right-handed).
V turn_about(V p, V centre, V axis, float angle)
{
    V r = sub(p, centre);
    float c = std::cos(angle), s = std::sin(angle);
    V turned = add(add(scale(r, c), scale(cross(axis, r), s)), scale(axis, dot(axis, r) * (1.0f - c)));
    return add(centre, turned);
}

V random_offset(RoostRandom& rnd, float width)
{
    float x = rnd.next_float() - 0.5f;
    float y = rnd.next_float() - 0.5f;
    float z = rnd.next_float() - 0.5f;
    return {width * x, width * y, width * z};
}

std::uint8_t faded(std::uint8_t value, std::int8_t step)
{
    return static_cast<std::uint8_t>(std::clamp(static_cast<int>(value) + step, 0, 255));
}

void spawn(RoostPool& pool, std::span<Billboard> billboards, const RoostType& type, V position, V velocity)
{
    int k = pool.free_head;
    if (k < 0)
        return;  // the pool is spent: this particle is dropped
    std::size_t sk = static_cast<std::size_t>(k);
    pool.free_head = pool.next[sk];
    pool.next[sk] = pool.active_head;
    pool.active_head = k;
    ++pool.active_count;
    ++pool.emitted;
    Particle& p = pool.particles[sk];
    p.position = position;
    p.velocity = velocity;
    p.type = type;
    if (static_cast<std::size_t>(p.billboard) < billboards.size()) {
        Billboard& b = billboards[static_cast<std::size_t>(p.billboard)];
        b.x = position.x;
        b.y = position.y;
        b.z = position.z;
        b.size = type.size;
        b.texture = type.texture;
        b.r = type.r;
        b.g = type.g;
        b.b = type.b;
        b.a = type.a;
    }
}

// How many of this type to throw: the whole part of the count, one more with
// the chance of its fraction, never above the tick's budget.
int particle_count(RoostRandom& rnd, float count, int budget)
{
    if (!(count > 0.0f))
        return 0;
    float whole = std::floor(count);
    int n = whole >= static_cast<float>(budget) ? budget : static_cast<int>(whole);
    if (rnd.next_float() < count - whole)
        ++n;
    return std::min(n, budget);
}

void emit_splash(RoostPool& pool, std::span<Billboard> bb, const RoostType& type, const WheelFacts& w, int count,
                 int tick)
{
    RoostRandom& rnd = pool.random;
    V n = w.contact_normal;
    float nl = std::sqrt(dot(n, n));
    n = nl > 0.0f ? scale(n, 1.0f / nl) : V{0, 1, 0};
    V ground = sub(w.velocity, scale(n, dot(n, w.velocity)));
    float len = std::sqrt(dot(ground, ground));
    V u = len > 0.0f ? scale(ground, 1.0f / len) : V{};
    V side = cross(n, u);
    V dirs[2] = {scale(add(n, side), len * k_half_sqrt2), scale(sub(n, side), len * k_half_sqrt2)};
    for (int j = 0; j < count; ++j) {
        const V& dir = dirs[((j ^ tick) & 1) ? 1 : 0];
        V pos = add(w.contact_point, scale(dir, static_cast<float>(j) / static_cast<float>(count) * k_tick));
        V vel = add(dir, random_offset(rnd, type.randomize));
        vel = scale(vel, rnd.next_float() * type.vscale);
        spawn(pool, bb, type, pos, vel);
    }
}

void emit_spin(RoostPool& pool, std::span<Billboard> bb, const RoostType& type, const WheelFacts& w, int count,
               float max_spread)
{
    RoostRandom& rnd = pool.random;
    if (std::sqrt(dot(w.slip_velocity, w.slip_velocity)) < type.slip_threshold)
        return;
    float spread = k_grip_spread;
    if (dot(w.slip_velocity, w.velocity) < 0.0f) {  // the wheel spins against its travel
        float spin2 = dot(w.angular_velocity, w.angular_velocity);
        float lo = type.slow_speed * type.slow_speed, hi = type.fast_speed * type.fast_speed;
        float s = hi != lo ? std::clamp((spin2 - lo) / (hi - lo), 0.0f, 1.0f) : (spin2 >= hi ? 1.0f : 0.0f);
        spread = std::min(type.slow_angle + s * (type.fast_angle - type.slow_angle), max_spread);
    }
    for (int j = 0; j < count; ++j) {
        float angle = spread * rnd.next_float();
        V point = turn_about(w.contact_point, w.position, w.axle, angle);
        // The wheel body's velocity at that point.
        V carried = add(w.velocity, cross(w.angular_velocity, sub(point, w.position)));
        V vel = scale(add(carried, random_offset(rnd, type.randomize)), type.vscale);
        V pos = add(point, scale(carried, static_cast<float>(j) / static_cast<float>(count) * k_tick));
        spawn(pool, bb, type, pos, vel);
    }
}

void emit_wheel(RoostPool& pool, const Terrain& t, std::span<Billboard> bb, const WheelFacts& w, int budget,
                float max_spread, int tick)
{
    if (!(w.depth > 0.0f))
        return;
    const TileType* tile = terrain_tile(t, w.contact_point.x, w.contact_point.z);
    if (!tile)
        return;
    for (const RoostType& type : tile->roost) {
        if (type.mode == 0)
            break;
        int count = particle_count(pool.random, type.count, budget);
        if (type.mode == k_mode_splash)
            emit_splash(pool, bb, type, w, count, tick);
        else if (type.mode == k_mode_roost)
            emit_spin(pool, bb, type, w, count, max_spread);
    }
}

struct PoolHolder {
    std::unique_ptr<RoostPool> pool = std::make_unique<RoostPool>();
    PoolHolder()
    {
        for (int k = 0; k < k_roost_particles; ++k)
            pool->particles[static_cast<std::size_t>(k)].billboard = k;
    }
};

}  // namespace

std::uint32_t RoostRandom::next_int()
{
    // SplitMix64: small, fast and well mixed.
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    return static_cast<std::uint32_t>(z >> 33);
}

float RoostRandom::next_float() { return static_cast<float>(next_int() >> 7) * (1.0f / 16777216.0f); }

void reset_roost(RoostPool& pool, std::span<Billboard> billboards)
{
    for (int k = 0; k < k_roost_particles; ++k) {
        std::size_t sk = static_cast<std::size_t>(k);
        pool.particles[sk].billboard = k;
        pool.next[sk] = k + 1 < k_roost_particles ? k + 1 : -1;
    }
    pool.free_head = 0;
    pool.active_head = -1;
    pool.active_count = 0;
    pool.emitted = 0;
    for (Billboard& b : billboards.first(std::min<std::size_t>(billboards.size(), k_roost_particles)))
        b.texture = 0;
}

int roost_budget(RoostRandom& random, int frequency)
{
    frequency = std::clamp(frequency, 0, 1000);
    int b = frequency / 100;
    if (static_cast<int>(random.next_int() % 100) < frequency % 100)
        ++b;
    return b;
}

void emit_roost(RoostPool& pool, const Terrain& t, std::span<Billboard> bb, const RiderWheels& rider, int tick,
                int frequency)
{
    int budget = roost_budget(pool.random, frequency);
    if (budget == 0)
        return;
    emit_wheel(pool, t, bb, rider.front, budget, k_front_max_spread, tick);
    emit_wheel(pool, t, bb, rider.rear, budget, k_rear_max_spread, tick);
}

void update_particles(RoostPool& pool, const Terrain& t, std::span<Billboard> bb)
{
    int* link = &pool.active_head;
    while (*link >= 0) {
        int k = *link;
        std::size_t sk = static_cast<std::size_t>(k);
        Particle& p = pool.particles[sk];
        const RoostType& type = p.type;
        p.position = add(p.position, scale(p.velocity, k_tick));
        p.velocity = sub(p.velocity, scale(p.velocity, k_tick * type.drag));
        p.velocity.y -= k_gravity * k_tick;
        Billboard* b = static_cast<std::size_t>(p.billboard) < bb.size() ? &bb[static_cast<std::size_t>(p.billboard)]
                                                                          : nullptr;
        if (b) {
            b->x = p.position.x;
            b->y = p.position.y;
            b->z = p.position.z;
            b->size += k_tick * type.grow;
            b->r = faded(b->r, type.fade_r);
            b->g = faded(b->g, type.fade_g);
            b->b = faded(b->b, type.fade_b);
            b->a = faded(b->a, type.fade_a);
        }
        // Rising particles never hit the ground: only falling ones are tested.
        if (p.velocity.y < 0.0f && terrain_height(t, p.position.x, p.position.z) > p.position.y) {
            if (b)
                b->texture = 0;
            *link = pool.next[sk];
            pool.next[sk] = pool.free_head;
            pool.free_head = k;
            --pool.active_count;
            continue;
        }
        link = &pool.next[sk];
    }
}

RoostPool& roost_pool()
{
    static PoolHolder holder;
    return *holder.pool;
}

std::span<Billboard> roost_billboards()
{
    int base = roost_billboard_base();
    auto all = billboards();
    if (base < 0 || static_cast<std::size_t>(base) >= all.size())
        return {};
    return all.subspan(static_cast<std::size_t>(base),
                       std::min<std::size_t>(all.size() - static_cast<std::size_t>(base), k_roost_particles));
}

}  // namespace zv::track
