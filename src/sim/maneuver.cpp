#include "sim/maneuver.h"

#include <chrono>
#include <cmath>
#include <memory>

#include "sim/bike.h"
#include "sim/world.h"

namespace zv::sim {
namespace {

constexpr float k_brake_start_mph = 40;
constexpr float k_stopped_ft_s = 0.5f;
constexpr float k_ride_throttle = 0.6f;
constexpr float k_rider_spacing = 8;  // ft, side by side

}  // namespace

const char* maneuver_name(Maneuver m)
{
    switch (m) {
    case Maneuver::rest: return "rest";
    case Maneuver::launch: return "launch";
    case Maneuver::brake: return "brake";
    case Maneuver::ride: return "ride";
    }
    return "rest";
}

std::optional<Maneuver> parse_maneuver(std::string_view name)
{
    for (Maneuver m : {Maneuver::rest, Maneuver::launch, Maneuver::brake, Maneuver::ride})
        if (name == maneuver_name(m))
            return m;
    return std::nullopt;
}

track::Terrain make_flat_field(int exponent, float cell_size)
{
    track::Terrain t;
    t.size_exponent = exponent;
    t.grid_side = (1 << (exponent + 1)) + 1;
    t.tile_side = 1 << exponent;
    t.cell_size = cell_size;
    t.field_size = cell_size * static_cast<float>(1 << (exponent + 1));
    t.heights.assign(static_cast<size_t>(t.grid_side) * static_cast<size_t>(t.grid_side), 0.0f);
    t.tiles.resize(1);
    t.tile_map.assign(static_cast<size_t>(t.tile_side) * static_cast<size_t>(t.tile_side), 0);
    return t;
}

std::vector<StartPose> side_by_side(const track::Terrain& field, int riders)
{
    std::vector<StartPose> out;
    float mid = field.field_size / 2;
    for (int i = 0; i < riders; ++i) {
        float x = mid + (static_cast<float>(i) - static_cast<float>(riders - 1) / 2) * k_rider_spacing;
        // Start in the back half so the run goes toward -z over the field.
        out.push_back({{x, track::terrain_height(field, x, field.field_size * 0.9f), field.field_size * 0.9f}, 0});
    }
    return out;
}

RiderSetup bench_setup()
{
    RiderSetup s;
    s.auto_shift = true;
    s.stop_wheelies = 1;  // "Yes"
    return s;
}

RiderInput maneuver_input(Maneuver m, float mph, ManeuverState& st)
{
    RiderInput in;
    switch (m) {
    case Maneuver::rest: break;
    case Maneuver::launch: in.throttle = 1; break;
    case Maneuver::ride: in.throttle = k_ride_throttle; break;
    case Maneuver::brake:
        if (!st.braking && (mph >= k_brake_start_mph || st.stalled))
            st.braking = true;
        if (st.braking) {
            in.front_brake = 1;
            in.rear_brake = 1;
            in.clutch = 1;
        } else {
            in.throttle = 1;
        }
        break;
    }
    return in;
}

ManeuverReport run_maneuver(const track::Terrain& terrain, std::span<const StartPose> starts,
                            const ManeuverOptions& o)
{
    ManeuverReport report;
    auto world = create_world();
    world->terrain = &terrain;
    world->test_objects = o.objects;
    std::vector<std::unique_ptr<Bike>> bikes;
    std::vector<Bike*> ptrs;
    int slot = 1;
    for (const StartPose& p : starts) {
        auto b = create_bike(*world, o.model, slot++, "1");
        // Set the bike down with its tyres just touching.
        place_bike(*b, p.position + Vec3{0, 0.1f, 0}, p.heading);
        set_setup(*b, o.setup);
        ptrs.push_back(b.get());
        bikes.push_back(std::move(b));
    }
    const int n = static_cast<int>(bikes.size());
    report.riders.resize(static_cast<size_t>(n));
    std::vector<ManeuverState> state(static_cast<size_t>(n));
    std::vector<Vec3> brake_from(static_cast<size_t>(n));
    std::vector<float> second_ago(static_cast<size_t>(n), 0.0f);  // mph one second back
    for (int i = 0; i < n; ++i)
        report.riders[static_cast<size_t>(i)].model = bikes[static_cast<size_t>(i)]->info.name;

    const int settle = static_cast<int>(k_settle_seconds / k_dt);
    const int total = settle + static_cast<int>(std::max(0.0f, o.seconds) / k_dt);
    auto t0 = std::chrono::steady_clock::now();
    int tick = 0;
    for (; tick < total; ++tick) {
        bool all_done = true;
        for (int i = 0; i < n; ++i) {
            Bike& b = *bikes[static_cast<size_t>(i)];
            RiderReport& r = report.riders[static_cast<size_t>(i)];
            ManeuverState& st = state[static_cast<size_t>(i)];
            float speed = bike_speed(b);
            float mph = speed / k_ft_s_per_mph;
            RiderInput in;
            if (tick >= settle && !st.done) {
                if ((tick - settle) % 128 == 127) {
                    st.stalled = mph < second_ago[static_cast<size_t>(i)] + 0.1f && mph > 1;
                    second_ago[static_cast<size_t>(i)] = mph;
                }
                bool was_braking = st.braking;
                in = maneuver_input(o.maneuver, mph, st);
                if (st.braking && !was_braking)
                    brake_from[static_cast<size_t>(i)] = body_position(b.body(k_frame));
                float t = static_cast<float>(tick - settle) * k_dt;
                if (mph >= 30 && !r.time_to_30mph_s && !st.braking)
                    r.time_to_30mph_s = t;
                if (mph >= 60 && !r.time_to_60mph_s && !st.braking)
                    r.time_to_60mph_s = t;
                if (st.braking && speed < k_stopped_ft_s) {
                    Vec3 d = body_position(b.body(k_frame)) - brake_from[static_cast<size_t>(i)];
                    r.stop_distance_ft = std::sqrt(d.x * d.x + d.z * d.z);
                    st.done = o.stop_when_done;
                }
            }
            // The reversed-steering default of the setup flips the input; the
            // maneuvers steer straight, so it does not matter here.
            apply_input(b, in);
            if (tick >= settle) {
                r.max_speed_mph = std::max(r.max_speed_mph, mph);
                r.max_rpm = std::max(r.max_rpm, engine_rpm(b));
            }
            r.max_abs_lean_deg = std::max(r.max_abs_lean_deg, std::fabs(lean_angle(b.body(k_frame))) * 180 / k_pi);
            if (tick == settle - 1) {
                r.fork_sag_mm = -fork_position(b) * k_mm_per_ft;
                r.shock_sag_mm = shock_compression(b) * k_mm_per_ft;
            }
            if (!st.done)
                all_done = false;
        }
        make_tick_contacts(*world, ptrs);
        if (o.before_step)
            o.before_step(ptrs, tick);
        advance_tick(*world, ptrs);
        if (o.after_step)
            o.after_step(ptrs, tick);
        for (int i = 0; i < n; ++i) {
            Bike& b = *bikes[static_cast<size_t>(i)];
            if (!bike_is_finite(b))
                report.riders[static_cast<size_t>(i)].nan = true;
        }
        if (all_done && o.maneuver == Maneuver::brake)
            break;
    }
    auto t1 = std::chrono::steady_clock::now();
    report.ticks = tick;
    report.wall_seconds = std::chrono::duration<double>(t1 - t0).count();
    double sim_seconds = tick * static_cast<double>(k_dt);
    report.realtime_factor = report.wall_seconds > 0 ? sim_seconds / report.wall_seconds : 0;
    for (int i = 0; i < n; ++i) {
        Bike& b = *bikes[static_cast<size_t>(i)];
        RiderReport& r = report.riders[static_cast<size_t>(i)];
        r.knockouts = b.knockout_count;
        r.final_gear = b.controls.gear + 1;
    }
    return report;
}

}  // namespace zv::sim
