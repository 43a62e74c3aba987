#include "autopilot/driver.h"

#include <cmath>

#include "autopilot/driver_tuning.h"
#include "sim/drivetrain.h"
#include "sim/world.h"
#include "track/terrain.h"

namespace zv::autopilot {
namespace {

using sim::Vec3;
using namespace tuning;

struct Horizontal {
    float x = 0, z = 0;
};

float hdist(float ax, float az, float bx, float bz) { return std::hypot(ax - bx, az - bz); }

// Horizontal distance from (x, z) to segment a-b and the fraction along it.
float segment_distance(const LinePoint& a, const LinePoint& b, float x, float z, float& t)
{
    float dx = b.x - a.x, dz = b.z - a.z;
    float len2 = dx * dx + dz * dz;
    t = len2 > 1e-6f ? sim::clampf(((x - a.x) * dx + (z - a.z) * dz) / len2, 0, 1) : 0;
    return hdist(a.x + dx * t, a.z + dz * t, x, z);
}

// Where the way on joins: the point of `next` nearest the end of `line`
// (-1 when there is no way on).
int join_point(std::span<const LinePoint> line, std::span<const LinePoint> next)
{
    if (line.empty() || next.empty())
        return -1;
    const LinePoint& end = line.back();
    int best = 0;
    float best_d = 1e30f;
    for (int j = 0; j < static_cast<int>(next.size()); ++j) {
        float d = hdist(end.x, end.z, next[static_cast<size_t>(j)].x, next[static_cast<size_t>(j)].z);
        if (d < best_d) {
            best_d = d;
            best = j;
        }
    }
    // A way on that starts far from here is no continuation of this line.
    return best_d <= k_join_distance ? best : -1;
}

// Horizontal curvature (1 / radius) of the path a-b-c at b.
float turn_curvature(const LinePoint& a, const LinePoint& b, const LinePoint& c)
{
    float abx = b.x - a.x, abz = b.z - a.z, bcx = c.x - b.x, bcz = c.z - b.z;
    float den = std::hypot(abx, abz) * std::hypot(bcx, bcz) * hdist(a.x, a.z, c.x, c.z);
    return den > 1e-6f ? std::fabs(2 * (abx * bcz - abz * bcx) / den) : 0.0f;
}

// The point `ahead` feet further along the line from segment i at fraction
// t; past the end along the way on from its join point, or else the last
// segment extended.
Horizontal point_along(std::span<const LinePoint> line, int i, float t, float ahead,
                       std::span<const LinePoint> next = {}, int join = -1)
{
    const int n = static_cast<int>(line.size());
    if (n == 1)
        return {line[0].x, line[0].z};
    float x = line[i].x + (line[i + 1].x - line[i].x) * t;
    float z = line[i].z + (line[i + 1].z - line[i].z) * t;
    auto walk = [&](std::span<const LinePoint> way, int from) {
        for (int k = from; k < static_cast<int>(way.size()); ++k) {
            const LinePoint& q = way[static_cast<size_t>(k)];
            float seg = hdist(x, z, q.x, q.z);
            if (seg >= ahead) {
                float f = seg > 1e-6f ? ahead / seg : 0;
                x += (q.x - x) * f;
                z += (q.z - z) * f;
                return true;
            }
            ahead -= seg;
            x = q.x;
            z = q.z;
        }
        return false;
    };
    if (walk(line, i + 1))
        return {x, z};
    if (join >= 0 && walk(next, join))
        return {x, z};
    std::span<const LinePoint> last = join >= 0 && next.size() >= 2 ? next : line;
    const size_t m = last.size();
    float dx = last[m - 1].x - last[m - 2].x, dz = last[m - 1].z - last[m - 2].z;
    float len = std::hypot(dx, dz);
    if (len < 1e-6f)
        return {x, z};
    return {x + dx / len * ahead, z + dz / len * ahead};
}

// The speed the robot may have now: the line's speed here, lowered so that
// every slower point within braking reach (on the way on too) can still be
// met.
float target_speed(std::span<const LinePoint> line, int i, float t, float speed, Horizontal here,
                   std::span<const LinePoint> next = {}, int join = -1)
{
    const int n = static_cast<int>(line.size());
    if (n == 1)
        return line[0].speed;
    float v = line[i].speed + (line[i + 1].speed - line[i].speed) * t;
    float reach = speed * speed / (2 * k_braking) + speed * k_reaction + 10;
    float d = hdist(here.x, here.z, line[i + 1].x, line[i + 1].z);
    const LinePoint* prev = nullptr;
    const LinePoint* before = nullptr;
    float d_prev = 0;
    auto limit = [&](float at, float v_at) {
        float room = std::max(0.0f, at - speed * k_reaction);
        v = std::min(v, std::sqrt(v_at * v_at + 2 * k_braking * room));
    };
    auto meet = [&](const LinePoint& q) {
        if (prev)
            d += hdist(prev->x, prev->z, q.x, q.z);
        // The turn at the point before: no faster than the grip holds it
        // (a line ridden on a stronger bike may take it faster).
        if (before && prev) {
            float k = turn_curvature(*before, *prev, q);
            if (k > 1e-4f)
                limit(d_prev, std::sqrt(k_turn_grip / k));
        }
        before = prev;
        prev = &q;
        d_prev = d;
        if (d > reach)
            return false;
        limit(d, q.speed);
        return true;
    };
    bool within = true;
    for (int k = i + 1; k < n && within; ++k)
        within = meet(line[static_cast<size_t>(k)]);
    for (int k = join; within && k >= 0 && k < static_cast<int>(next.size()); ++k)
        within = meet(next[static_cast<size_t>(k)]);
    return std::max(0.0f, v);
}

Vec3 frame_forward(const sim::Bike& bike) { return sim::body_vector_to_world(bike.body(sim::k_frame), {0, 0, -1}); }

// Signed angle (about world up, positive turning the heading the way a
// positive rate about +y does) from the bike's heading to the direction d.
float heading_error(Vec3 forward, float dx, float dz)
{
    float fx = forward.x, fz = forward.z;
    // Rotating (fx, fz) about +y by a small positive angle moves it toward
    // (fz, -fx)... in (x, z): a rotation by a about +y maps (x, z) to
    // (x cos a + z sin a, -x sin a + z cos a).
    float cross = fz * dx - fx * dz;
    float dot = fx * dx + fz * dz;
    return std::atan2(cross, dot);
}

// The steer control (as the bike uses it) that asks for lean `lean`.
float steer_for_lean(const sim::Bike& bike, float lean, float speed)
{
    using SV = sim::SetupValue;
    if (bike.arcade)
        return -lean * arcade_turn_scale(speed) / (sim::k_pi / 4);
    float direct = bike.value(SV::direct_steering);
    float range = sim::lean_range(speed, sim::dab_speed_limit(bike), bike.value(SV::roll_limit_angle), 4);
    float indirect = range > 1e-3f ? -lean / range : (lean > 0 ? -1.0f : (lean < 0 ? 1.0f : 0.0f));
    if (direct <= 0)
        return indirect;
    // Direct steering turns the bar with a torque: lean toward the wanted
    // angle through the roll rate it produces.
    float now = sim::lean_angle(bike.body(sim::k_frame));
    Vec3 w = sim::body_vector_from_world(bike.body(sim::k_frame), sim::body_angular_vel(bike.body(sim::k_frame)));
    float direct_steer = -(k_direct_lean_gain * (lean - now) - k_direct_rate_gain * w.z);
    return indirect + (direct_steer - indirect) * std::min(direct, 1.0f);
}

float ground_height(const sim::Bike& bike, float x, float z)
{
    if (!bike.world || !bike.world->terrain)
        return 0;
    return track::terrain_height(*bike.world->terrain, x, z);
}

// The slope (radians, rising ahead positive) of the ground where the bike
// will come down, following its flight from now.
float landing_slope(const sim::Bike& bike)
{
    Vec3 p = sim::body_position(bike.body(sim::k_frame));
    Vec3 v = sim::body_linear_vel(bike.body(sim::k_frame));
    float ride_height = bike.info.frame_position.y;
    float hx = v.x, hz = v.z;
    float h = std::hypot(hx, hz);
    if (h < 1)
        return 0;
    hx /= h;
    hz /= h;
    for (float t = k_air_predict_step; t <= k_air_predict_seconds; t += k_air_predict_step) {
        float x = p.x + v.x * t, z = p.z + v.z * t;
        float y = p.y + v.y * t + 0.5f * sim::k_gravity * t * t;
        if (y - ride_height <= ground_height(bike, x, z)) {
            float ahead = ground_height(bike, x + hx * k_slope_probe, z + hz * k_slope_probe);
            float behind = ground_height(bike, x - hx * k_slope_probe, z - hz * k_slope_probe);
            return std::atan2(ahead - behind, 2 * k_slope_probe);
        }
    }
    return 0;
}

int shift_for_rpm(const sim::Bike& bike, DriverState& st)
{
    if (bike.flags & sim::k_flag_auto_shift)
        return 0;
    if (st.shift_wait > 0) {
        --st.shift_wait;
        return 0;
    }
    // The engine speed the bike's pace over the ground gives in this gear:
    // a spinning wheel or a slipping clutch at the launch revs the engine
    // without asking for a higher gear.
    float wheel_radius = bike.info.rear.ring_radius + bike.info.rear.section_radius;
    float rpm = sim::overall_ratio(bike) * sim::bike_speed(bike) / wheel_radius * sim::k_rpm_per_rad_s;
    int gear = bike.controls.gear;
    int gears = sim::gear_count(bike.info);
    int want = 0;
    if (rpm > bike.info.upshift_rpm && gear + 1 < gears && bike.rear_contact.on_ground())
        want = 1;
    else if (rpm < bike.info.downshift_rpm - k_downshift_margin && gear > 0)
        want = -1;
    if (want != 0)
        st.shift_wait = k_shift_wait_ticks;
    return want;
}

// The shift input: the gearbox acts when the input changes, so a wanted
// shift that equals the last input goes through a neutral tick first.
float shift_input(DriverState& st, int want)
{
    int send = want;
    if (want != 0 && want == st.last_shift)
        send = 0;
    st.last_shift = send;
    return static_cast<float>(send);
}

float user_steer(const sim::Bike& bike, float steer)
{
    steer = sim::clampf(steer, -1, 1);
    return bike.reverse_steering ? -steer : steer;
}

}  // namespace

float arcade_turn_scale(float speed)
{
    const auto& table = k_arcade_turn_scale;
    if (!(speed > table.front()[0]))
        return table.front()[1];
    for (size_t k = 1; k < table.size(); ++k)
        if (speed <= table[k][0]) {
            float u = (speed - table[k - 1][0]) / (table[k][0] - table[k - 1][0]);
            return table[k - 1][1] + (table[k][1] - table[k - 1][1]) * u;
        }
    return table.back()[1];
}

void robot_setup(sim::RiderSetup& setup)
{
    setup.stop_wheelies = 1;
    setup.front_antilock = true;
    setup.rear_antilock = true;
    setup.auto_shift = false;
}

float frame_pitch(const sim::Bike& bike)
{
    Vec3 f = frame_forward(bike);
    return std::asin(sim::clampf(f.y, -1, 1));
}

float line_attitude(const sim::Bike& bike)
{
    Vec3 up = sim::body_vector_to_world(bike.body(sim::k_frame), {0, 1, 0});
    bool air = !bike.front_contact.on_ground() && !bike.rear_contact.on_ground();
    return air ? -up.y : up.y;
}

int locate_on_line(std::span<const LinePoint> line, int from, float x, float z, float& t, float& distance)
{
    const int n = static_cast<int>(line.size());
    t = 0;
    if (n < 2) {
        distance = n == 1 ? hdist(line[0].x, line[0].z, x, z) : 0;
        return 0;
    }
    from = std::clamp(from, 0, n - 2);
    int best = from;
    float best_d = 1e30f, best_t = 0;
    float run = 0;
    for (int i = std::max(0, from - k_search_back); i < n - 1; ++i) {
        float ti;
        float d = segment_distance(line[i], line[i + 1], x, z, ti);
        if (d < best_d) {
            best_d = d;
            best = i;
            best_t = ti;
        }
        if (i >= from) {
            run += hdist(line[i].x, line[i].z, line[i + 1].x, line[i + 1].z);
            if (run > k_search_ahead)
                break;
        }
    }
    if (best_d > k_lost_distance) {
        for (int i = 0; i < n - 1; ++i) {
            float ti;
            float d = segment_distance(line[i], line[i + 1], x, z, ti);
            if (d < best_d) {
                best_d = d;
                best = i;
                best_t = ti;
            }
        }
    }
    t = best_t;
    distance = best_d;
    return best;
}

void drive_line(const sim::Bike& bike, std::span<const LinePoint> line, DriverState& st, float aggression,
                sim::RiderInput& out)
{
    out = sim::RiderInput{};
    if (line.empty()) {
        out.front_brake = out.rear_brake = 1;
        st.headway_tick = -1;
        st.no_headway = false;
        return;
    }
    aggression = std::isfinite(aggression) ? sim::clampf(aggression, k_min_aggression, k_max_aggression) : 1.0f;
    const dBodyID frame = bike.body(sim::k_frame);
    const Vec3 p = sim::body_position(frame);
    const Vec3 vel = sim::body_linear_vel(frame);
    const float speed = sim::length(vel);
    const Vec3 forward = frame_forward(bike);
    const float pitch = frame_pitch(bike);
    const float pitch_rate = (pitch - st.last_pitch) / sim::k_dt;
    st.last_pitch = pitch;
    const int tick = bike.world ? bike.world->tick : 0;
    const int start = bike.world ? bike.world->start_tick : 0;
    // Headway is measured while riding, not while waiting at the start or
    // for a fallen rider.
    if (st.headway_tick < 0 || tick - start <= k_start_grace_ticks || bike.knocked_off() ||
        hdist(p.x, p.z, st.headway_from.x, st.headway_from.z) > k_headway_distance) {
        st.headway_from = p;
        st.headway_tick = tick;
    }
    st.no_headway = tick - st.headway_tick > k_headway_ticks;

    // Where we are, where we aim.
    float t = 0, off = 0;
    int i = locate_on_line(line, st.position, p.x, p.z, t, off);
    st.position = i;
    // Past the end of the line (its section's gate not yet passed) the
    // robot is found on the way on, aims along it and keeps its speeds.
    const int join = join_point(line, st.next);
    const int last_segment = static_cast<int>(line.size()) - 2;
    auto past_end = [&](int seg, float frac) { return join >= 0 && seg == last_segment && frac >= 1.0f; };
    int ri = -1;
    float rt = 0;
    if (past_end(i, t))
        ri = locate_on_line(st.next, join, p.x, p.z, rt, off);
    st.lost = off > k_lost_distance;
    st.line_distance = off;
    // Aim from where the bike will be once a change of lean takes hold:
    // ahead along its velocity, its heading turned by its yaw rate.
    const float yaw_rate = sim::body_angular_vel(frame).y;
    float lead_x = p.x + vel.x * k_lead_seconds, lead_z = p.z + vel.z * k_lead_seconds;
    float turn = yaw_rate * k_lead_seconds;
    Vec3 lead_forward{forward.x * std::cos(turn) + forward.z * std::sin(turn), 0,
                      -forward.x * std::sin(turn) + forward.z * std::cos(turn)};
    float lt = 0, loff = 0;
    int li = locate_on_line(line, i, lead_x, lead_z, lt, loff);
    float look = std::min(k_look_max, k_look_base + k_look_time * speed);
    // Well off the line, rejoin it at the nearest place rather than cut
    // across to a point far along it (through whatever the line went round).
    look *= sim::clampf(1 - (off - k_rejoin_distance) / k_rejoin_span, k_rejoin_look_share, 1);
    float nt = 0, noff = 0;
    const int ni = past_end(li, lt) ? locate_on_line(st.next, join, lead_x, lead_z, nt, noff) : -1;
    auto aim_at = [&](float ahead) {
        return ni >= 0 ? point_along(st.next, ni, nt, ahead) : point_along(line, li, lt, ahead, st.next, join);
    };
    Horizontal aim = aim_at(look);
    if (st.detour_ticks > 0) {
        // Going round whatever stopped the bike: aim beside the line.
        --st.detour_ticks;
        Horizontal further = aim_at(look + 1);
        float tx = further.x - aim.x, tz = further.z - aim.z;
        float tl = std::hypot(tx, tz);
        if (tl > 1e-4f) {
            // Each time the bike gets stuck again it goes wider.
            float wide = k_detour_offset * static_cast<float>(1 + std::min(st.stuck_count - 1, 2) / 2);
            aim.x += st.detour_side * wide * tz / tl;
            aim.z -= st.detour_side * wide * tx / tl;
        }
    }
    // Another bike close ahead in the robot's path: pass it on the side
    // away from it, slowing while alongside.
    float traffic_speed = 1e9f;
    {
        float fx = forward.x, fz = forward.z;
        float fl = std::hypot(fx, fz);
        if (fl > 1e-4f && !st.traffic.empty()) {
            fx /= fl;
            fz /= fl;
            float reach = k_traffic_base + k_traffic_time * speed;
            float nearest = reach, side_of_nearest = 0;
            for (const Vec3& q : st.traffic) {
                float rx = q.x - p.x, rz = q.z - p.z;
                float ahead = rx * fx + rz * fz;
                float side = fz * rx - fx * rz;  // positive: the side a positive turn goes to
                if (ahead > k_traffic_min_ahead && ahead < nearest && std::fabs(side) < k_traffic_width) {
                    nearest = ahead;
                    side_of_nearest = side;
                }
            }
            if (nearest < reach) {
                float away = side_of_nearest >= 0 ? -1.0f : 1.0f;
                aim.x += away * k_traffic_offset * fz;
                aim.z -= away * k_traffic_offset * fx;
                traffic_speed = k_traffic_speed + k_traffic_speed_gain * (nearest - k_traffic_min_ahead);
            }
        }
    }
    float dx = aim.x - lead_x, dz = aim.z - lead_z;
    float aim_distance = std::max(1.0f, std::hypot(dx, dz));
    float eta = heading_error(lead_forward, dx, dz);

    // A fallen rider: nothing but waiting for the rider to get back on.
    if (bike.knocked_off()) {
        out.clutch = 1;
        st.stuck_ticks = 0;
        st.back_up_ticks = 0;
        st.airborne = false;
        out.shift = shift_input(st, 0);
        return;
    }

    const bool air = !bike.front_contact.on_ground() && !bike.rear_contact.on_ground();
    st.airborne = air;

    // A bike lying on its side: the rider puts a foot down and stands it up
    // before going on.
    if (std::fabs(sim::lean_angle(frame)) > k_lying_lean && speed < k_stopped_speed && !air) {
        out.sit_dab = 1;
        out.front_brake = out.rear_brake = 1;
        out.shift = shift_input(st, 0);
        st.stuck_ticks = 0;
        return;
    }

    // Backing up: walk the bike backwards, turning it toward the aim point.
    if (st.back_up_ticks > 0) {
        --st.back_up_ticks;
        out.back_up = 1;
        // The walk turns the bike at -steer about the vertical.
        out.steer = user_steer(bike, eta > 0 ? -1.0f : 1.0f);
        out.shift = shift_input(st, 0);
        return;
    }

    // Steering: the curvature that reaches the aim point, the lean that
    // holds it at this speed, the steer control that asks for that lean.
    // The yaw rate that arc asks for corrects the lean while the bike's
    // lean is still on its way (it rolls at about a radian a second).
    float curvature = 2 * std::sin(eta) / aim_distance;
    float v_turn = std::max(speed, k_min_steer_speed);
    float max_lean = k_max_lean * std::min(1.0f, aggression);
    float yaw_help = sim::clampf(k_yaw_gain * (v_turn * curvature - yaw_rate), -k_yaw_help_max, k_yaw_help_max);
    float lean = std::atan(v_turn * v_turn * curvature / k_gravity) + yaw_help;
    lean = sim::clampf(lean, -max_lean, max_lean);
    st.heading_error = eta;
    st.wanted_lean = lean;
    float steer = steer_for_lean(bike, lean, speed);

    // Speed.
    // Never slower than a rolling bike: a line slowed almost to a stop
    // (its rider nearly stalled there) stops a robot on a berm face.
    float here_speed = 0;
    if (ri >= 0) {
        here_speed = target_speed(st.next, ri, rt, speed, {p.x, p.z});
    } else {
        here_speed = target_speed(line, i, t, speed, {p.x, p.z}, st.next, join);
    }
    float want = std::max(here_speed, k_min_target_speed) * aggression;
    // Off the line or facing away from it: slower until back on it.
    want *= sim::clampf(1 - (off - k_off_line_slow) / k_off_line_span, k_min_speed_share, 1);
    want *= sim::clampf(1 - (std::fabs(eta) - k_heading_slow) / k_heading_span, k_min_speed_share, 1);
    want = std::min(want, traffic_speed);
    st.target_speed = want;
    float error = want - speed;
    float throttle = 0, brake = 0;
    if (error < -k_brake_dead_band)
        brake = sim::clampf((-error - k_brake_dead_band) * k_brake_gain, 0, 1);
    else
        throttle = sim::clampf(k_cruise_throttle + error * k_throttle_gain, 0, 1);
    float lean_now = std::fabs(sim::lean_angle(frame));
    throttle = std::min(throttle, std::max(0.2f, 1 - k_lean_throttle_cut * lean_now));
    // Facing well away from the aim (after a fall or a spin): turn on the
    // spot at walking pace.
    if (std::fabs(eta) > k_turn_round_angle && speed < k_stopped_speed * 2) {
        throttle = std::min(throttle, 0.35f);
        steer = eta > 0 ? -1.0f : 1.0f;
    }
    // A slow bike that leans far falls over: less steer the slower it goes.
    float steer_limit = sim::clampf(k_slow_steer_base + speed / k_slow_steer_speed, k_slow_steer_base, 1);
    steer = sim::clampf(steer, -steer_limit, steer_limit);

    float rider_lean = 0;
    if (air) {
        // Land on the slope ahead: rider back and throttle raise the nose,
        // rider forward lowers it.
        float demand = k_pitch_gain * (landing_slope(bike) - pitch) - k_pitch_rate_gain * pitch_rate;
        rider_lean = sim::clampf(-demand * k_air_lean, -1, 1);
        throttle = sim::clampf(demand * k_air_throttle, 0, 1);
        brake = 0;
        steer = 0;
    }

    out.steer = user_steer(bike, steer);
    out.throttle = throttle;
    out.front_brake = brake * k_front_brake_share * sim::clampf(1 - lean_now / k_front_brake_lean, 0, 1);
    out.rear_brake = brake * k_rear_brake_share;
    out.lean = rider_lean;
    out.clutch = 0;
    out.shift = shift_input(st, shift_for_rpm(bike, st));

    // Stuck: stopped for a while although asking to go.
    if (tick - start > k_start_grace_ticks && speed < k_stopped_speed && throttle > 0.2f && !air) {
        if (++st.stuck_ticks > k_stuck_ticks) {
            st.stuck_ticks = 0;
            st.back_up_ticks = k_back_up_ticks;
            // Then try the other side of what is in the way.
            st.detour_side = st.detour_side > 0 ? -1.0f : 1.0f;
            ++st.stuck_count;
            st.detour_ticks = k_back_up_ticks + k_detour_ticks;
        }
    } else {
        st.stuck_ticks = 0;
        if (speed > k_free_speed)
            st.stuck_count = 0;
    }
}

}  // namespace zv::autopilot
