#include "gen_bike.h"

#include "core/bike_names.h"
#include "gen_image.h"
#include "gen_mesh.h"
#include "gen_util.h"
#include "sim/bike_info.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

namespace zv::datagen {

namespace {

using sim::BikeInfo;

V3 v3(sim::Vec3 v) { return {v.x, v.y, v.z}; }

// Data-file name of a table name: without "@", with the extension added
// when it has none.
std::string file_name(const char* name, const char* ext)
{
    std::string n = name;
    if (!n.empty() && n[0] == '@')
        n.erase(0, 1);
    std::size_t slash = n.rfind('/');
    std::size_t dot = n.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        n += ext;
    return n;
}

// ---- texture atlases (256 x 256) ----
constexpr double k_atlas = 256;
UvRect R(double x0, double y0, double x1, double y1) { return {x0, y0, x1, y1, k_atlas}; }

// Bike atlas regions.
const UvRect k_plastic = R(4, 4, 124, 124);
const UvRect k_frame_metal = R(132, 4, 188, 60);
const UvRect k_engine = R(196, 4, 252, 60);
const UvRect k_seat = R(132, 68, 188, 124);
const UvRect k_chrome = R(196, 68, 252, 124);
const UvRect k_plate = R(4, 132, 124, 252);
const UvRect k_rubber = R(132, 132, 188, 188);
const UvRect k_fork_tube = R(196, 132, 252, 188);
const UvRect k_graphics = R(132, 196, 252, 252);
// Wheel atlas regions.
const UvRect k_tread = R(0, 0, 256, 128);
const UvRect k_rim = R(4, 132, 124, 252);
const UvRect k_hub = R(132, 132, 252, 252);
// Rider atlas regions.
const UvRect k_jersey = R(4, 4, 124, 124);
const UvRect k_pants = R(132, 4, 252, 124);
const UvRect k_gloves = R(4, 132, 60, 188);
const UvRect k_boots = R(68, 132, 124, 188);
const UvRect k_back = R(132, 132, 252, 252);
const UvRect k_neck = R(4, 196, 60, 252);
// Helmet atlas regions.
const UvRect k_shell = R(4, 4, 124, 124);
const UvRect k_peak = R(132, 4, 252, 60);
const UvRect k_goggle = R(132, 68, 252, 124);
const UvRect k_visor_dark = R(4, 132, 124, 252);

constexpr std::array<float, 5> k_matte = {16, 1, 1, 1, 1};
constexpr std::array<float, 5> k_glossy = {48, 1, 1, 1, 1};

void add_text(std::vector<core::SafMember>& out, const std::string& name, const std::string& text)
{
    out.push_back({name, to_bytes(text)});
}

// ---- bike parts ----

std::string frame_model(const BikeInfo& b, int lod = 0)
{
    V3 o = v3(b.frame_position);
    MeshBuilder m(0, lod);
    auto P = [&](double x, double y, double z) { return V3{x, y, z} - o; };
    // Outlines are given in the bike's (z, y) and moved into the body's frame.
    auto S = [&](std::vector<std::array<double, 2>> zy) {
        for (auto& q : zy)
            q[0] -= o.z, q[1] -= o.y;
        return zy;
    };
    V3 head = v3(b.steering_head);
    V3 lower = v3(b.fork_lower);
    V3 axis = normalize(head - lower);
    V3 pivot = v3(b.swingarm_pivot);
    // Head tube and the frame's spars and cradle.
    m.tube(head - axis * 0.35 - o, head + axis * 0.3 - o, 0.11, 0.11, 8, k_frame_metal);
    for (double s : {-1.0, 1.0}) {
        V3 top = P(0.12 * s, head.y - 0.05, head.z + 0.15);
        V3 mid = P(0.3 * s, 2.55, 3.6);
        V3 piv = P(0.3 * s, pivot.y + 0.1, pivot.z);
        m.tube(top, mid, 0.08, 0.08, 6, k_frame_metal);
        m.tube(mid, piv, 0.08, 0.08, 6, k_frame_metal);
        V3 cradle = P(0.22 * s, 1.15, 3.0);
        V3 rear = P(0.25 * s, 1.18, 3.95);
        m.tube(P(0.05 * s, head.y - 0.35, head.z + 0.12), cradle, 0.07, 0.07, 6, k_frame_metal);
        m.tube(cradle, rear, 0.07, 0.07, 6, k_frame_metal);
        m.tube(rear, piv, 0.07, 0.07, 6, k_frame_metal);
        // Subframe up to the seat.
        m.tube(mid, P(0.22 * s, 2.95, 5.2), 0.05, 0.05, 5, k_frame_metal);
        m.tube(piv, P(0.22 * s, 2.9, 5.0), 0.05, 0.05, 5, k_frame_metal);
        // Radiators and shrouds.
        m.box(P(0.46 * s, 2.35, 2.75), {0.06, 0.38, 0.28}, k_frame_metal);
        m.slab(S({{2.3, 2.05}, {3.1, 2.55}, {3.2, 3.05}, {2.45, 3.05}, {2.25, 2.6}}), s > 0 ? 0.5 : -0.56,
               s > 0 ? 0.56 : -0.5, k_graphics);
        // Foot pegs.
        V3 peg = v3(b.pose_point(s < 0 ? sim::k_pose_left_peg : sim::k_pose_right_peg));
        m.tube(peg - o + V3{-0.12 * s, 0, 0}, peg - o + V3{0.18 * s, 0, 0}, 0.05, 0.05, 6, k_chrome);
    }
    // Engine: crankcase, cylinder with fins, skid plate.
    m.box(P(0, 1.55, 3.45), {0.27, 0.38, 0.45}, k_engine);
    m.tube(P(0, 1.85, 3.15), P(0, 2.45, 2.9), 0.24, 0.22, 10, k_engine);
    m.box(P(0, 1.12, 3.4), {0.24, 0.04, 0.55}, k_frame_metal);
    // Tank and seat, rear fender.
    m.slab(S({{2.45, 2.6}, {3.5, 2.7}, {3.9, 3.05}, {3.3, 3.25}, {2.55, 3.1}}), -0.38, 0.38, k_plastic);
    m.slab(S({{3.35, 3.02}, {5.6, 3.18}, {5.6, 3.34}, {3.35, 3.3}}), -0.27, 0.27, k_seat);
    m.slab(S({{4.9, 2.95}, {6.9, 3.35}, {6.85, 3.45}, {4.9, 3.15}}), -0.34, 0.34, k_plastic);
    // Rear shock and airbox.
    m.tube(P(0, 2.65, 3.95), P(0, 1.45, 4.35), 0.12, 0.1, 8, k_fork_tube);
    m.box(P(0, 2.55, 4.35), {0.26, 0.28, 0.35}, k_rubber);
    // Exhaust: header, mid pipe, silencer.
    m.tube(P(0.12, 2.45, 2.85), P(0.36, 1.95, 3.0), 0.09, 0.09, 8, k_chrome, false);
    m.tube(P(0.36, 1.95, 3.0), P(0.42, 2.45, 4.1), 0.09, 0.1, 8, k_chrome, false);
    m.tube(P(0.42, 2.45, 4.1), P(0.44, 2.95, 5.7), 0.2, 0.18, 10, k_chrome);
    return model_text({m.mesh(k_glossy)});
}

std::string side_plates_model(const BikeInfo& b)
{
    V3 o = v3(b.frame_position);
    MeshBuilder m;
    for (double s : {-1.0, 1.0}) {
        std::vector<std::array<double, 2>> zy = {
            {4.25 - o.z, 2.45 - o.y}, {5.3 - o.z, 2.75 - o.y}, {5.25 - o.z, 3.1 - o.y}, {4.3 - o.z, 3.05 - o.y}};
        m.slab(zy, s > 0 ? 0.34 : -0.38, s > 0 ? 0.38 : -0.34, k_plate);
    }
    return model_text({m.mesh(k_glossy)});
}

std::string fork_upper_model(const BikeInfo& b, int lod = 0)
{
    V3 o = v3(b.steering_head);
    V3 axis = normalize(o - v3(b.fork_lower));
    double half = b.fork_leg_spacing / 2;
    MeshBuilder m(0, lod);
    for (double s : {-1.0, 1.0}) {
        V3 side{half * s, 0, 0};
        m.tube(side + axis * 0.3, side - axis * 1.05, 0.12, 0.12, 10, k_fork_tube);
    }
    // Clamps, bar mounts and the handlebar through the grips.
    m.box(axis * 0.2, {half + 0.14, 0.06, 0.16}, k_frame_metal);
    m.box(axis * -0.45, {half + 0.14, 0.08, 0.18}, k_frame_metal);
    V3 lg = v3(b.pose_point(sim::k_pose_left_grip)) - o;
    V3 rg = v3(b.pose_point(sim::k_pose_right_grip)) - o;
    V3 centre{0, (lg.y + rg.y) / 2 - 0.08, (lg.z + rg.z) / 2 + 0.05};
    m.tube(axis * 0.25, centre, 0.05, 0.05, 6, k_frame_metal);
    for (V3 g : {lg, rg}) {
        double s = g.x < 0 ? -1 : 1;
        V3 bend{0.3 * s, centre.y + 0.02, centre.z};
        m.tube(centre, bend, 0.04, 0.04, 6, k_chrome, false);
        m.tube(bend, g + V3{0.25 * s, 0, 0}, 0.04, 0.04, 6, k_chrome);
        m.tube(g - V3{0.18 * s, 0, 0}, g + V3{0.22 * s, 0, 0}, 0.065, 0.065, 8, k_rubber);
        // Levers.
        if (m.lod() < 2)
            m.box(g + V3{-0.05 * s, 0.02, -0.22}, {0.22, 0.02, 0.03}, k_frame_metal);
    }
    // Front fender, clear of the wheel at full extension.
    V3 f = v3(b.front.position) - o;
    double top = f.y + b.front.ring_radius + b.front.section_radius + 0.12;
    m.slab({{f.z - 1.2, top - 0.15}, {f.z - 0.4, top + 0.05}, {f.z + 0.6, top + 0.05}, {f.z + 1.0, top - 0.1},
            {f.z + 0.9, top - 0.02}, {f.z - 0.4, top + 0.13}, {f.z - 1.2, top - 0.07}},
           -0.3, 0.3, k_plastic);
    return model_text({m.mesh(k_glossy)});
}

std::string front_plate_model(const BikeInfo& b)
{
    V3 o = v3(b.steering_head);
    V3 axis = normalize(o - v3(b.fork_lower));
    MeshBuilder m;
    V3 c = axis * 0.05 + V3{0, 0, -0.3};
    // A plate leaning with the fork, in front of the clamps.
    V3 up = axis;
    V3 fwd = normalize(cross(V3{1, 0, 0}, up));
    m.box(c, {0.45, 0.42, 0.03}, k_plate, {1, 0, 0}, up, fwd * -1);
    return model_text({m.mesh(k_glossy)});
}

std::string fork_lower_model(const BikeInfo& b, int lod = 0)
{
    V3 o = v3(b.fork_lower);
    V3 axis = normalize(v3(b.steering_head) - o);
    V3 axle = v3(b.front.position) - o;
    double half = b.fork_leg_spacing / 2;
    MeshBuilder m(0, lod);
    for (double s : {-1.0, 1.0}) {
        V3 side{half * s, 0, 0};
        m.tube(side + axis * 0.55, V3{half * s, axle.y + 0.12, axle.z + 0.02}, 0.145, 0.13, 10, k_rubber);
        m.box(V3{half * s, axle.y, axle.z}, {0.1, 0.14, 0.14}, k_frame_metal);
        // Fork guard.
        m.box(side + axis * 0.1 + V3{0, 0, -0.1}, {0.05, 0.35, 0.1}, k_plastic, {1, 0, 0}, axis,
              normalize(cross(V3{1, 0, 0}, axis)));
    }
    m.tube({-half - 0.06, axle.y, axle.z}, {half + 0.06, axle.y, axle.z}, 0.04, 0.04, 6, k_chrome);
    m.box({-half + 0.12, axle.y + 0.2, axle.z + 0.22}, {0.05, 0.12, 0.1}, k_frame_metal);
    return model_text({m.mesh(k_glossy)});
}

std::string swingarm_model(const BikeInfo& b, int lod = 0)
{
    V3 o = v3(b.swingarm_position);
    V3 pivot = v3(b.swingarm_pivot) - o;
    V3 axle = v3(b.rear.position) - o;
    MeshBuilder m(0, lod);
    V3 dir = normalize(axle - pivot);
    V3 up = cross(dir, V3{1, 0, 0}) * -1;
    for (double s : {-1.0, 1.0}) {
        V3 a = pivot + V3{0.3 * s, 0, 0};
        V3 c = axle + V3{0.34 * s, 0, 0};
        V3 mid = (a + c) * 0.5;
        double len = length(c - a);
        m.box(mid, {0.06, 0.13, len / 2 + 0.08}, k_frame_metal, {1, 0, 0}, normalize(up), dir);
    }
    m.tube(pivot + V3{-0.36, 0, 0}, pivot + V3{0.36, 0, 0}, 0.09, 0.09, 8, k_frame_metal);
    m.tube(axle + V3{-0.42, 0, 0}, axle + V3{0.42, 0, 0}, 0.05, 0.05, 6, k_chrome);
    // Chain run on the left, with its guide.
    V3 sprocket = pivot + V3{-0.4, 0.05, -0.35};
    if (m.lod() < 2) {
        m.tube(sprocket + V3{0, 0.12, 0}, axle + V3{-0.4, 0.32, 0}, 0.03, 0.03, 4, k_rubber);
        m.tube(sprocket + V3{0, -0.12, 0}, axle + V3{-0.4, -0.32, 0}, 0.03, 0.03, 4, k_rubber);
    }
    m.box(axle + V3{-0.4, -0.3, -0.7}, {0.04, 0.12, 0.3}, k_rubber);
    return model_text({m.mesh(k_glossy)});
}

std::string wheel_model(const sim::WheelInfo& w, bool front, int lod = 0)
{
    MeshBuilder m(0, lod);
    double R = w.ring_radius, r = w.section_radius;
    m.torus({0, 0, 0}, R, r, 32, 8, k_tread);
    double rim = R - r * 0.9;
    m.torus({0, 0, 0}, rim, 0.05, 32, 4, k_rim);
    m.tube({-0.28, 0, 0}, {0.28, 0, 0}, 0.12, 0.12, 10, k_hub);
    for (int i = 0; i < 18 && m.lod() < 2; ++i) {
        double a = 2 * k_pi * i / 18;
        double side = (i % 2) ? 0.22 : -0.22;
        V3 at_hub{side, std::cos(a + 0.25) * 0.1, std::sin(a + 0.25) * 0.1};
        V3 at_rim{0, std::cos(a) * (rim - 0.03), std::sin(a) * (rim - 0.03)};
        m.tube(at_hub, at_rim, 0.012, 0.012, 3, k_hub, false);
    }
    if (front) {
        m.disc({-0.26, 0, 0}, 0.38, 16, false, k_hub);
        m.disc({-0.24, 0, 0}, 0.38, 16, true, k_hub);
    } else {
        m.disc({0.3, 0, 0}, 0.36, 16, true, k_rim);
        m.disc({0.28, 0, 0}, 0.36, 16, false, k_rim);
        m.disc({-0.28, 0, 0}, 0.3, 16, false, k_hub);
    }
    return model_text({m.mesh(k_matte)});
}

// ---- rider ----

enum Bone { k_torso, k_head, k_l_upper, k_l_fore, k_r_upper, k_r_fore, k_l_thigh, k_l_shin, k_r_thigh, k_r_shin };
constexpr int k_bones = 10;

struct RiderPoints {
    V3 hip, chest, neck, head;
    V3 shoulder[2], elbow[2], grip[2], hipj[2], knee[2], ankle[2], peg[2];
};

RiderPoints rider_points(const BikeInfo& b)
{
    V3 o = v3(b.rider_position);
    RiderPoints p;
    V3 seat = v3(b.pose_point(sim::k_pose_seat));
    V3 head = v3(b.pose_point(sim::k_pose_head));
    p.hip = seat + V3{0, 0.3, -0.05} - o;
    p.head = head - o;
    p.neck = p.head + V3{0, -0.75, 0.3};
    p.chest = (p.hip + p.neck) * 0.5 + V3{0, 0.05, -0.05};
    for (int s = 0; s < 2; ++s) {
        double sx = s ? 1 : -1;
        p.shoulder[s] = p.neck + V3{0.62 * sx, -0.15, 0.05};
        p.elbow[s] = v3(b.pose_point(s ? sim::k_pose_right_elbow : sim::k_pose_left_elbow)) - o;
        p.grip[s] = v3(b.pose_point(s ? sim::k_pose_right_grip : sim::k_pose_left_grip)) - o;
        p.hipj[s] = p.hip + V3{0.33 * sx, -0.05, 0};
        p.knee[s] = v3(b.pose_point(s ? sim::k_pose_right_knee : sim::k_pose_left_knee)) - o;
        p.peg[s] = v3(b.pose_point(s ? sim::k_pose_right_peg : sim::k_pose_left_peg)) - o;
        p.ankle[s] = p.peg[s] + V3{0.08 * sx, 0.35, 0.12};
    }
    return p;
}

void rider_limbs(MeshBuilder& m, const RiderPoints& p)
{
    for (int s = 0; s < 2; ++s) {
        int upper = s ? k_r_upper : k_l_upper, fore = s ? k_r_fore : k_l_fore;
        int thigh = s ? k_r_thigh : k_l_thigh, shin = s ? k_r_shin : k_l_shin;
        m.set_bone(upper);
        m.set_blend(fore, p.elbow[s] - normalize(p.elbow[s] - p.shoulder[s]) * 0.15,
                    normalize(p.elbow[s] - p.shoulder[s]), 0.3);
        m.tube(p.shoulder[s], p.elbow[s], 0.2, 0.17, 8, k_jersey);
        m.clear_blend();
        m.set_bone(fore);
        m.tube(p.elbow[s], p.grip[s], 0.16, 0.13, 8, k_jersey);
        m.ellipsoid(p.grip[s], {0.13, 0.12, 0.16}, 4, 6, k_gloves);
        m.set_bone(thigh);
        m.set_blend(shin, p.knee[s] - normalize(p.knee[s] - p.hipj[s]) * 0.15, normalize(p.knee[s] - p.hipj[s]),
                    0.3);
        m.tube(p.hipj[s], p.knee[s], 0.3, 0.24, 8, k_pants);
        m.clear_blend();
        m.set_bone(shin);
        m.ellipsoid(p.knee[s], {0.2, 0.2, 0.2}, 4, 6, k_pants);
        m.tube(p.knee[s], p.ankle[s], 0.21, 0.2, 8, k_boots);
        m.box(p.peg[s] + V3{0, 0.1, -0.05}, {0.14, 0.1, 0.42}, k_boots);
    }
}

std::string rider_body_model(const BikeInfo& b, bool first_person, int lod = 0)
{
    RiderPoints p = rider_points(b);
    MeshBuilder m(k_bones, lod);
    if (!first_person) {
        m.set_bone(k_torso);
        m.tube(p.hip, p.chest, 0.45, 0.55, 10, k_jersey);
        m.tube(p.chest, p.neck, 0.55, 0.32, 10, k_jersey);
        m.ellipsoid(p.hip + V3{0, -0.05, 0.1}, {0.48, 0.32, 0.42}, 5, 8, k_pants);
        m.ellipsoid((p.shoulder[0] + p.shoulder[1]) * 0.5, {0.7, 0.25, 0.32}, 4, 10, k_jersey);
        m.tube(p.neck, p.neck + V3{0, 0.2, -0.05}, 0.2, 0.2, 8, k_neck);
    }
    rider_limbs(m, p);
    return model_text({m.mesh(k_matte)}, k_bones, "rider");
}

std::string rider_head_model(const BikeInfo& b, int lod = 0)
{
    RiderPoints p = rider_points(b);
    MeshBuilder m(k_bones, lod);
    m.set_bone(k_head);
    V3 h = p.head;
    m.ellipsoid(h, {0.5, 0.52, 0.56}, 8, 14, k_shell);
    // Chin bar, peak and goggles (forward is -z).
    m.ellipsoid(h + V3{0, -0.35, -0.38}, {0.3, 0.22, 0.25}, 5, 8, k_shell);
    m.slab({{h.z - 0.95, h.y + 0.3}, {h.z - 0.2, h.y + 0.44}, {h.z - 0.2, h.y + 0.52}, {h.z - 0.95, h.y + 0.38}},
           -0.3, 0.3, k_peak);
    m.box(h + V3{0, 0.02, -0.5}, {0.34, 0.1, 0.06}, k_goggle);
    return model_text({m.mesh(k_glossy)}, k_bones, "rider");
}

std::string rider_plate_model(const BikeInfo& b)
{
    RiderPoints p = rider_points(b);
    MeshBuilder m(k_bones);
    m.set_bone(k_torso);
    V3 up = normalize(p.neck - p.hip);
    V3 back = normalize(cross(V3{1, 0, 0}, up)) * -1;
    if (back.z < 0)
        back = back * -1;
    V3 c = p.chest + back * 0.56 + up * 0.05;
    m.box(c, {0.34, 0.3, 0.01}, k_back, {1, 0, 0}, up, back);
    return model_text({m.mesh(k_matte)}, k_bones, "rider");
}

// ---- shapes ----

constexpr double k_part_friction = 0.6, k_part_spring = 25000, k_part_damping = 1000;

ShapeBall part_ball(V3 c, double r)
{
    return {c, r, k_part_friction, k_part_spring, k_part_damping};
}

std::string frame_shape(const BikeInfo& b)
{
    V3 o = v3(b.frame_position);
    return shape_text({part_ball(V3{0, 1.25, 3.4} - o, 0.3), part_ball(V3{0, 1.7, 3.3} - o, 0.42),
                       part_ball(V3{0, 2.8, 2.95} - o, 0.42), part_ball(V3{0, 3.1, 4.6} - o, 0.32),
                       part_ball(V3{0, 3.2, 5.9} - o, 0.3), part_ball(v3(b.steering_head) - o, 0.25)});
}

std::string fork_upper_shape(const BikeInfo& b)
{
    V3 o = v3(b.steering_head);
    V3 lg = v3(b.pose_point(sim::k_pose_left_grip)) - o;
    V3 rg = v3(b.pose_point(sim::k_pose_right_grip)) - o;
    return shape_text({part_ball(lg + V3{-0.2, 0, 0}, 0.18), part_ball(rg + V3{0.2, 0, 0}, 0.18),
                       part_ball({0, 0.1, -0.3}, 0.3)});
}

std::string fork_lower_shape(const BikeInfo& b)
{
    V3 o = v3(b.fork_lower);
    V3 axle = v3(b.front.position) - o;
    double half = b.fork_leg_spacing / 2;
    return shape_text({part_ball({-half, axle.y + 0.25, axle.z + 0.05}, 0.16),
                       part_ball({half, axle.y + 0.25, axle.z + 0.05}, 0.16)});
}

std::string swingarm_shape(const BikeInfo& b)
{
    V3 o = v3(b.swingarm_position);
    V3 pivot = v3(b.swingarm_pivot) - o;
    V3 axle = v3(b.rear.position) - o;
    std::vector<ShapeBall> balls;
    for (double s : {-1.0, 1.0})
        for (double t : {0.25, 0.75})
            balls.push_back(part_ball(pivot + (axle - pivot) * t + V3{0.32 * s, 0, 0}, 0.15));
    return shape_text(balls);
}

std::string wheel_shape(const sim::WheelInfo& w)
{
    // The tyre's ring of sixteen section spheres.
    std::vector<ShapeBall> balls;
    for (int i = 0; i < 16; ++i) {
        double a = k_pi / 8 * i;
        balls.push_back({{0, std::cos(a) * w.ring_radius, std::sin(a) * w.ring_radius},
                         w.section_radius, 1.0, 25000, 2500});
    }
    return shape_text(balls);
}

std::string rider_shape(const BikeInfo& b)
{
    RiderPoints p = rider_points(b);
    // Rider parts are soft: the rider's body meets the ground.
    auto ball = [](V3 c, double r) { return ShapeBall{c, r, 0.8, 2500, 250}; };
    return shape_text({ball(p.head, 0.55), ball(p.chest, 0.55), ball(p.hip, 0.5),
                       ball(p.knee[0], 0.25), ball(p.knee[1], 0.25), ball(p.grip[0], 0.2), ball(p.grip[1], 0.2)});
}

const BikeInfo& reference_row()
{
    return sim::bike_table()[0];
}

// ---- textures ----

struct Paint {
    Rgba primary, secondary, accent;
    Rgba plate_bg, plate_fg;
    Rgba frame;
};

Rgba brand_colour(const std::string& prefix, int variant)
{
    auto starts = [&](const char* p) { return prefix.rfind(p, 0) == 0; };
    Rgba base = rgb(230, 120, 20);  // orange
    if (starts("crf") || starts("cr"))
        base = rgb(205, 20, 28);
    else if (starts("kx"))
        base = rgb(95, 200, 40);
    else if (starts("rm"))
        base = rgb(250, 215, 20);
    else if (starts("yz"))
        base = rgb(20, 60, 200);
    else if (starts("fc"))
        base = rgb(240, 240, 240);
    if (variant == 1)
        return mix(base, rgb(20, 20, 24), 0.55f);
    if (variant == 2)
        return mix(base, rgb(255, 255, 255), 0.5f);
    return base;
}

std::vector<std::uint8_t> bike_texture(const Paint& p, std::uint64_t seed)
{
    Canvas c(256, 256, p.primary);
    // Plastics with a swoosh and a pin stripe.
    c.fill_rect(0, 0, 128, 128, p.primary);
    c.polygon({{0, 70}, {128, 30}, {128, 62}, {0, 100}}, p.secondary);
    c.line(0, 108, 128, 70, 4, p.accent);
    c.fill_rect(128, 0, 192, 64, p.frame);
    c.fill_rect(192, 0, 256, 64, rgb(70, 70, 74));
    for (int i = 0; i < 8; ++i)
        c.fill_rect(192, 4.0f + i * 7.5f, 256, 6.5f + i * 7.5f, rgb(110, 110, 116));
    c.fill_rect(128, 64, 192, 128, rgb(22, 22, 24));
    for (int i = 0; i < 8; ++i)
        c.line(128, 64.0f + i * 8, 192, 72.0f + i * 8, 1.5f, rgb(40, 40, 44));
    for (int i = 0; i < 64; ++i) {
        float t = i / 63.0f;
        c.fill_rect(192, 64.0f + i, 256, 65.0f + i, mix(rgb(235, 235, 240), rgb(120, 120, 128), std::fabs(t - 0.3f)));
    }
    c.fill_round_rect(0, 128, 128, 256, 10, p.plate_bg);
    c.fill_rect(128, 128, 192, 192, rgb(18, 18, 18));
    c.fill_rect(192, 128, 256, 192, rgb(225, 170, 40));
    c.fill_rect(128, 192, 256, 256, p.primary);
    c.polygon({{128, 256}, {200, 192}, {256, 192}, {184, 256}}, p.secondary);
    c.line(128, 236, 256, 206, 3, p.accent);
    c.grain(seed, 0.04f, 2.0f);
    char desc[160];
    std::snprintf(desc, sizeof desc, "[numberbackground:%.3f,%.3f,%.3f][numberforeground:%.3f,%.3f,%.3f]",
                  p.plate_bg.r, p.plate_bg.g, p.plate_bg.b, p.plate_fg.r, p.plate_fg.g, p.plate_fg.b);
    return png_of(c, false, {{"Description", desc}});
}

Paint paint_for(const std::string& prefix, int variant)
{
    Paint p;
    p.primary = brand_colour(prefix, variant);
    bool light = p.primary.r + p.primary.g + p.primary.b > 1.8f;
    p.secondary = light ? rgb(30, 30, 34) : rgb(245, 245, 245);
    p.accent = variant == 2 ? rgb(20, 20, 20) : rgb(250, 250, 250);
    if (prefix.rfind("yz", 0) == 0 && variant == 0)
        p.accent = rgb(250, 250, 250), p.secondary = rgb(20, 20, 30);
    p.plate_bg = variant == 1 ? rgb(20, 20, 20) : (light ? rgb(20, 40, 140) : rgb(255, 255, 255));
    p.plate_fg = variant == 1 ? rgb(255, 255, 255) : (light ? rgb(255, 255, 255) : rgb(0, 0, 0));
    p.frame = (prefix.rfind("crf", 0) == 0 || prefix.rfind("rm", 0) == 0) ? rgb(190, 192, 196)
              : (prefix.rfind("yz", 0) == 0)                                ? rgb(40, 50, 90)
              : (prefix.rfind("kx", 0) == 0)                                ? rgb(60, 90, 40)
                                                                            : rgb(230, 110, 20);
    return p;
}

std::vector<std::uint8_t> wheels_texture(Rgba rim, Rgba hub, std::uint64_t seed)
{
    Canvas c(256, 256, rgb(28, 28, 28));
    // Knobby tread: staggered blocks across the tyre's section.
    for (int col = 0; col < 16; ++col)
        for (int row = 0; row < 5; ++row) {
            float x = col * 16.0f + (row % 2) * 8.0f;
            float y = 8.0f + row * 24.0f;
            c.fill_round_rect(x + 2, y, x + 12, y + 14, 2, rgb(48, 48, 46));
        }
    c.fill_rect(0, 128, 128, 256, rim);
    c.fill_rect(0, 186, 128, 198, shade(rim, 0.7f));
    c.fill_rect(128, 128, 256, 256, hub);
    c.grain(seed, 0.08f, 1.5f);
    return png_of(c, false);
}

std::vector<std::uint8_t> rider_body_texture(Rgba jersey, Rgba trim, Rgba pants, std::uint64_t seed)
{
    Canvas c(256, 256, jersey);
    c.fill_rect(0, 0, 128, 128, jersey);
    c.polygon({{0, 40}, {128, 20}, {128, 44}, {0, 64}}, trim);
    c.fill_rect(0, 110, 128, 128, trim);
    c.fill_rect(128, 0, 256, 128, pants);
    c.fill_rect(128, 40, 256, 52, trim);
    c.fill_rect(0, 128, 64, 192, mix(trim, rgb(20, 20, 20), 0.4f));
    c.fill_rect(64, 128, 128, 192, rgb(235, 235, 235));
    c.fill_rect(64, 170, 128, 192, rgb(30, 30, 30));
    c.fill_rect(128, 128, 256, 256, jersey);
    c.fill_round_rect(140, 140, 244, 244, 8, rgb(250, 250, 250));
    c.fill_rect(0, 192, 64, 256, rgb(30, 30, 30));
    c.grain(seed, 0.05f, 1.5f);
    return png_of(c, false);
}

std::vector<std::uint8_t> helmet_texture(Rgba shell, Rgba stripe, std::uint64_t seed)
{
    Canvas c(256, 256, shell);
    c.fill_rect(0, 0, 128, 128, shell);
    c.fill_rect(52, 0, 76, 128, stripe);
    c.line(0, 100, 128, 60, 6, stripe);
    c.fill_rect(128, 0, 256, 64, stripe);
    c.fill_rect(128, 64, 256, 128, rgb(20, 20, 20));
    c.fill_round_rect(140, 74, 244, 118, 14, rgb(230, 140, 40));
    c.fill_rect(0, 128, 128, 256, rgb(15, 15, 20));
    c.grain(seed, 0.03f, 2.0f);
    return png_of(c, false);
}

}  // namespace

void generic_shape_members(std::vector<core::SafMember>& out)
{
    const BikeInfo& b = reference_row();
    add_text(out, "generic_frame.shp", frame_shape(b));
    add_text(out, "generic_fork_upper.shp", fork_upper_shape(b));
    add_text(out, "generic_fork_lower.shp", fork_lower_shape(b));
    add_text(out, "generic_swingarm.shp", swingarm_shape(b));
    add_text(out, "front_wheel.shp", wheel_shape(b.front));
    add_text(out, "rear_wheel.shp", wheel_shape(b.rear));
    add_text(out, "generic_rider.shp", rider_shape(b));
}

void bike_model_members(std::vector<core::SafMember>& out)
{
    std::set<std::string> done;
    // Names already written as generic shapes are not written again.
    for (const char* g : {"generic_frame.shp", "generic_fork_upper.shp", "generic_fork_lower.shp",
                          "generic_swingarm.shp", "front_wheel.shp", "rear_wheel.shp", "generic_rider.shp"})
        done.insert(g);
    auto put = [&](const char* name, const char* ext, const std::string& text) {
        if (!name || !*name)
            return;
        std::string file = file_name(name, ext);
        if (done.insert(file).second)
            add_text(out, file, text);
    };
    // A model and its coarser variants "<name>_lod1.jm" and "<name>_lod2.jm"
    // (about half and a quarter of the triangles) for distant bikes.
    auto put_model = [&](const char* name, const auto& make) {
        if (!name || !*name)
            return;
        put(name, ".jm", make(0));
        std::string file = file_name(name, ".jm");
        std::string stem = file.substr(0, file.rfind('.'));
        for (int lod = 1; lod <= 2; ++lod)
            put((stem + "_lod" + std::to_string(lod) + ".jm").c_str(), ".jm", make(lod));
    };
    for (const BikeInfo& b : sim::bike_table()) {
        const sim::BikeArt& a = b.art;
        put_model(a.frame, [&](int lod) { return frame_model(b, lod); });
        put(a.frame_shape, ".shp", frame_shape(b));
        put_model(a.fork_upper, [&](int lod) { return fork_upper_model(b, lod); });
        put(a.fork_upper_shape, ".shp", fork_upper_shape(b));
        put_model(a.fork_lower, [&](int lod) { return fork_lower_model(b, lod); });
        put(a.fork_lower_shape, ".shp", fork_lower_shape(b));
        put_model(a.swingarm, [&](int lod) { return swingarm_model(b, lod); });
        put(a.swingarm_shape, ".shp", swingarm_shape(b));
        put_model(a.front_wheel, [&](int lod) { return wheel_model(b.front, true, lod); });
        put(a.front_wheel_shape, ".shp", wheel_shape(b.front));
        put_model(a.rear_wheel, [&](int lod) { return wheel_model(b.rear, false, lod); });
        put(a.rear_wheel_shape, ".shp", wheel_shape(b.rear));
        put_model(a.rider_head, [&](int lod) { return rider_head_model(b, lod); });
        put_model(a.rider_body, [&](int lod) { return rider_body_model(b, false, lod); });
        put(a.rider_first_person_body, ".jm", rider_body_model(b, true));
        put(a.rider_shape, ".shp", rider_shape(b));
        put(a.side_plates, ".jm", side_plates_model(b));
        put(a.front_plate, ".jm", front_plate_model(b));
        put(a.rider_number_plate, ".jm", rider_plate_model(b));
    }
    // The plain names the renderer may fall back to.
    const BikeInfo& b = reference_row();
    put("front_wheel", ".jm", wheel_model(b.front, true));
    put("rear_wheel", ".jm", wheel_model(b.rear, false));
    put("rider_body", ".jm", rider_body_model(b, false));
    put("rider_head", ".jm", rider_head_model(b));
}

void bike_texture_members(std::vector<core::SafMember>& out)
{
    std::set<std::string> done;
    std::uint64_t seed = 1000;
    auto put = [&](const std::string& file, std::vector<std::uint8_t> bytes) {
        if (done.insert(file).second)
            out.push_back({file, std::move(bytes)});
    };
    // The rows' own texture names: one per class.
    for (const BikeInfo& b : sim::bike_table()) {
        const sim::BikeArt& a = b.art;
        std::string prefix = core::bike_paint_prefix(b.name) ? core::bike_paint_prefix(b.name) : "";
        if (a.bike_texture && *a.bike_texture && !done.count(file_name(a.bike_texture, ".png")))
            put(file_name(a.bike_texture, ".png"), bike_texture(paint_for(prefix, 0), ++seed));
    }
    // Paints: every prefix gets its stock scheme and two alternatives (the
    // computer riders' roster names "-alt1" and "-alt2").
    std::set<std::string> prefixes;
    for (const auto& m : core::k_bike_models)
        prefixes.insert(m.paint_prefix);
    for (const std::string& prefix : prefixes) {
        put(prefix + "stock.png", bike_texture(paint_for(prefix, 0), ++seed));
        put(prefix + "alt1.png", bike_texture(paint_for(prefix, 1), ++seed));
        put(prefix + "alt2.png", bike_texture(paint_for(prefix, 2), ++seed));
    }
    // The roster also names these brand prefixes without a year.
    for (const char* prefix : {"crf250-", "kx250f-", "rmz250-", "yz250f-", "kx125-", "yz125-", "cr125-", "rm125-"}) {
        put(std::string(prefix) + "alt1.png", bike_texture(paint_for(prefix, 1), ++seed));
        put(std::string(prefix) + "alt2.png", bike_texture(paint_for(prefix, 2), ++seed));
    }
    put(file_name(reference_row().art.wheel_texture, ".png"),
        wheels_texture(rgb(30, 30, 32), rgb(200, 200, 205), ++seed));
    put("wheels-black.png", wheels_texture(rgb(30, 30, 32), rgb(200, 200, 205), ++seed));
    put("wheels-alt1.png", wheels_texture(rgb(220, 200, 40), rgb(40, 40, 44), ++seed));
    put("wheels-alt2.png", wheels_texture(rgb(40, 80, 200), rgb(200, 200, 205), ++seed));
    put("wheels-silver.png", wheels_texture(rgb(200, 200, 205), rgb(60, 60, 64), ++seed));

    struct Gear {
        const char* name;
        Rgba jersey, trim, pants;
    };
    const Gear gear[] = {
        {"", rgb(30, 30, 36), rgb(230, 30, 40), rgb(40, 40, 46)},
        {"alt1", rgb(20, 70, 190), rgb(250, 250, 250), rgb(230, 230, 235)},
        {"alt2", rgb(240, 120, 20), rgb(20, 20, 20), rgb(30, 30, 30)},
        {"alt3", rgb(110, 190, 40), rgb(20, 20, 20), rgb(60, 60, 60)},
        {"red", rgb(200, 20, 30), rgb(250, 250, 250), rgb(200, 20, 30)},
        {"white", rgb(240, 240, 240), rgb(20, 40, 150), rgb(240, 240, 240)},
    };
    std::string body = file_name(reference_row().art.rider_body_texture, ".png");
    std::string head = file_name(reference_row().art.rider_head_texture, ".png");
    for (const Gear& g : gear) {
        std::string suffix = *g.name ? std::string("-") + g.name : std::string();
        std::string body_name = *g.name ? "rider_body" + suffix + ".png" : body;
        std::string head_name = *g.name ? "rider_head" + suffix + ".png" : head;
        put(body_name, rider_body_texture(g.jersey, g.trim, g.pants, ++seed));
        put(head_name, helmet_texture(g.jersey, g.trim, ++seed));
    }
}

}  // namespace zv::datagen
