#include "render/bike_draw.h"

#include <cmath>

#include "render/bike_art.h"
#include "render/gl.h"
#include "render/models.h"
#include "render/render_stats.h"
#include "render/shaders.h"
#include "render/textures.h"
#include "sim/bike.h"
#include "track/scenery_lighting.h"

namespace zv::render {

namespace {

Vec3f g_viewpoint{};

// The rider model's skeleton: torso, head, then upper arm and forearm of
// each side, then the legs.
constexpr int k_rider_bones = 10;
constexpr int k_left_upper = 2, k_left_fore = 3, k_right_upper = 4, k_right_fore = 5;

Vec3f sub(const Vec3f& a, const Vec3f& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
float dot(const Vec3f& a, const Vec3f& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3f cross(const Vec3f& a, const Vec3f& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3f unit(const Vec3f& v)
{
    float l = std::sqrt(dot(v, v));
    return l > 0 ? Vec3f{v[0] / l, v[1] / l, v[2] / l} : Vec3f{0, 0, 0};
}
Vec3f v3(const sim::Vec3& v) { return {v.x, v.y, v.z}; }

struct Pose {
    Vec3f position;
    Mat3f rotation;
};

Pose body_pose(dBodyID body)
{
    const dReal* p = dBodyGetPosition(body);
    const dReal* r = dBodyGetRotation(body);  // 3 x 4, row-major
    Pose pose;
    pose.position = {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            pose.rotation[static_cast<std::size_t>(3 * i + j)] = static_cast<float>(r[4 * i + j]);
    return pose;
}

void draw_part(Model* m, TextureId texture, const Pose& pose, float opacity, const CompanionMaps& maps = {})
{
    if (!m)
        return;
    glPushMatrix();
    auto mat = body_matrix(pose.position, pose.rotation);
    glMultMatrixf(mat.data());
    if (texture) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        ++render_stats().now.texture_changes;
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    if (opacity < 1) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    set_model_opacity(opacity);
    Vec3f d = sub(pose.position, g_viewpoint);
    Model& pick = detail_variant(*m, std::sqrt(dot(d, d)));
    begin_model_program(pick, texture, maps.normal, maps.specular, track::lighting().sky[track::k_sky_env]);
    draw_model(pick);
    end_model_program();
    set_model_opacity(1);
    if (opacity < 1)
        glDisable(GL_BLEND);
    glPopMatrix();
}

// The rider's arm bones turned about the shoulders so the hands reach the
// limb points (rider-body coordinates).
void set_arm_bones(const sim::Bike& bike, const Pose& rider)
{
    std::array<float, 3 * k_rider_bones> centres{}, translations{};
    std::array<float, 9 * k_rider_bones> rotations{};
    for (int b = 0; b < k_rider_bones; ++b) {
        rotations[static_cast<std::size_t>(9 * b)] = 1;
        rotations[static_cast<std::size_t>(9 * b + 4)] = 1;
        rotations[static_cast<std::size_t>(9 * b + 8)] = 1;
    }
    Vec3f origin = v3(bike.info.rider_position);
    Vec3f head = sub(v3(bike.info.pose_point(sim::k_pose_head)), origin);
    Vec3f neck = {head[0], head[1] - 0.75f, head[2] + 0.3f};
    const Mat3f& r = rider.rotation;
    for (int side = 0; side < 2; ++side) {
        float sx = side ? 1.0f : -1.0f;
        Vec3f shoulder = {neck[0] + 0.62f * sx, neck[1] - 0.15f, neck[2] + 0.05f};
        Vec3f grip = sub(v3(bike.info.pose_point(side ? sim::k_pose_right_grip : sim::k_pose_left_grip)), origin);
        // The limb point in the rider body's frame: R^T (world - position).
        Vec3f w = sub(v3(bike.limbs[static_cast<std::size_t>(side)].position), rider.position);
        Vec3f local = {r[0] * w[0] + r[3] * w[1] + r[6] * w[2], r[1] * w[0] + r[4] * w[1] + r[7] * w[2],
                       r[2] * w[0] + r[5] * w[1] + r[8] * w[2]};
        Mat3f turn = rotation_between(unit(sub(grip, shoulder)), unit(sub(local, shoulder)));
        for (int bone : side ? std::array<int, 2>{k_right_upper, k_right_fore} : std::array<int, 2>{k_left_upper, k_left_fore}) {
            for (int k = 0; k < 3; ++k) {
                centres[static_cast<std::size_t>(3 * bone + k)] = shoulder[static_cast<std::size_t>(k)];
                translations[static_cast<std::size_t>(3 * bone + k)] = shoulder[static_cast<std::size_t>(k)];
            }
            for (int k = 0; k < 9; ++k)
                rotations[static_cast<std::size_t>(9 * bone + k)] = turn[static_cast<std::size_t>(k)];
        }
    }
    set_model_bones(k_rider_bones, centres.data(), translations.data(), rotations.data());
}

// The rider's number on a plate: seven-segment digits in the plate's plane.
void draw_number(const std::string& number, const Pose& pose, const Vec3f& centre, const Vec3f& right,
                 const Vec3f& up, float height, float opacity)
{
    if (number.empty() || opacity <= 0)
        return;
    glPushMatrix();
    auto mat = body_matrix(pose.position, pose.rotation);
    glMultMatrixf(mat.data());
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glColor4f(0.05f, 0.05f, 0.05f, opacity);
    if (opacity < 1) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    float w = height * 0.55f, t = height * 0.14f, gap = height * 0.2f;
    float total = static_cast<float>(number.size()) * w + static_cast<float>(number.size() - 1) * gap;
    auto at = [&](float x, float y) {
        glVertex3f(centre[0] + right[0] * x + up[0] * y, centre[1] + right[1] * x + up[1] * y,
                   centre[2] + right[2] * x + up[2] * y);
    };
    glBegin(GL_QUADS);
    float x0 = -total / 2;
    for (char c : number) {
        int seg = digit_segments(c);
        float h = height / 2;
        // a top, b top right, c bottom right, d bottom, e bottom left, f top left, g middle
        const float boxes[7][4] = {{0, h - t, w, h},     {w - t, 0, w, h},      {w - t, -h, w, 0},
                                   {0, -h, w, -h + t},   {0, -h, t, 0},         {0, 0, t, h},
                                   {0, -t / 2, w, t / 2}};
        for (int s = 0; s < 7; ++s)
            if (seg & (1 << s)) {
                at(x0 + boxes[s][0], boxes[s][1]);
                at(x0 + boxes[s][2], boxes[s][1]);
                at(x0 + boxes[s][2], boxes[s][3]);
                at(x0 + boxes[s][0], boxes[s][3]);
            }
        x0 += w + gap;
    }
    glEnd();
    if (opacity < 1)
        glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    glPopMatrix();
}

}  // namespace

std::string art_texture_file(std::string_view name)
{
    if (name.empty())
        return {};
    std::size_t slash = name.rfind('/');
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::string(name) + ".png";
    return std::string(name);
}

std::array<float, 16> body_matrix(const Vec3f& p, const Mat3f& r)
{
    return {r[0], r[3], r[6], 0, r[1], r[4], r[7], 0, r[2], r[5], r[8], 0, p[0], p[1], p[2], 1};
}

Mat3f rotation_between(const Vec3f& a, const Vec3f& b)
{
    Vec3f v = cross(a, b);
    float c = dot(a, b);
    if (!(dot(a, a) > 0) || !(dot(b, b) > 0) || c > 0.999999f)
        return {1, 0, 0, 0, 1, 0, 0, 0, 1};
    if (c < -0.999999f) {
        // Half a turn about any axis perpendicular to a.
        Vec3f axis = unit(std::fabs(a[0]) < 0.9f ? cross(a, {1, 0, 0}) : cross(a, {0, 1, 0}));
        return {2 * axis[0] * axis[0] - 1, 2 * axis[0] * axis[1],     2 * axis[0] * axis[2],
                2 * axis[1] * axis[0],     2 * axis[1] * axis[1] - 1, 2 * axis[1] * axis[2],
                2 * axis[2] * axis[0],     2 * axis[2] * axis[1],     2 * axis[2] * axis[2] - 1};
    }
    // Rodrigues: I + [v]x + [v]x^2 / (1 + c)
    float k = 1 / (1 + c);
    return {1 - k * (v[1] * v[1] + v[2] * v[2]), -v[2] + k * v[0] * v[1], v[1] + k * v[0] * v[2],
            v[2] + k * v[0] * v[1], 1 - k * (v[0] * v[0] + v[2] * v[2]), -v[0] + k * v[1] * v[2],
            -v[1] + k * v[0] * v[2], v[0] + k * v[1] * v[2], 1 - k * (v[0] * v[0] + v[1] * v[1])};
}

int digit_segments(char c)
{
    static const int k_segments[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};
    return c >= '0' && c <= '9' ? k_segments[c - '0'] : 0;
}

std::array<NumberPlate, 3> number_plates(const sim::BikeInfo& info)
{
    // The plates' places follow the generated plate models: the front plate
    // leans with the fork 0.3 ft ahead of the steering head (0.03 thick);
    // the side plates are slabs on the frame whose outer faces lie 0.38 ft
    // either side of the middle, under the seat's front. The silencer runs
    // across the lower rear of the right plate, so the numbers sit in the
    // upper front part, clear of it (on both sides alike).
    constexpr float k_front_ahead = 0.335f, k_front_height = 0.22f;
    constexpr float k_side_out = 0.385f, k_side_y = 2.93f, k_side_z = 4.5f, k_side_height = 0.21f;
    std::array<NumberPlate, 3> plates;
    // Front: facing forward (the bike's -z); its reader's right is the
    // bike's -x.
    Vec3f axis = unit(sub(v3(info.steering_head), v3(info.fork_lower)));
    plates[0] = {sim::k_fork_upper, {axis[0] * 0.05f, axis[1] * 0.05f, axis[2] * 0.05f - k_front_ahead}, {-1, 0, 0},
                 axis, k_front_height};
    // Sides: a reader on the +x side looks along -x and has the bike's
    // front (-z) on the right; on the -x side the rear (+z).
    Vec3f frame = v3(info.frame_position);
    for (int side = 0; side < 2; ++side) {
        float s = side ? 1.0f : -1.0f;
        plates[static_cast<std::size_t>(1 + side)] = {
            sim::k_frame, {s * k_side_out, k_side_y - frame[1], k_side_z - frame[2]}, {0, 0, -s}, {0, 1, 0},
            k_side_height};
    }
    return plates;
}

void set_model_viewpoint(const Vec3f& eye) { g_viewpoint = eye; }

void draw_bike(const sim::Bike& bike, const BikeDrawOptions& options)
{
    const BikeArt& art = bike_art(bike);
    use_program(0);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_NORMALIZE);
    std::array<Pose, sim::k_body_count> poses;
    for (int b = 0; b < sim::k_body_count; ++b)
        poses[static_cast<std::size_t>(b)] = body_pose(bike.body(b));
    float o = options.opacity;
    draw_part(art.part[sim::k_frame], art.bike_texture, poses[sim::k_frame], o, art.bike_maps);
    draw_part(art.side_plates, art.bike_texture, poses[sim::k_frame], o, art.bike_maps);
    draw_part(art.part[sim::k_fork_upper], art.bike_texture, poses[sim::k_fork_upper], o, art.bike_maps);
    draw_part(art.front_plate, art.bike_texture, poses[sim::k_fork_upper], o);
    draw_part(art.part[sim::k_fork_lower], art.bike_texture, poses[sim::k_fork_lower], o, art.bike_maps);
    draw_part(art.part[sim::k_swingarm], art.bike_texture, poses[sim::k_swingarm], o, art.bike_maps);
    draw_part(art.part[sim::k_front_wheel], art.wheels, poses[sim::k_front_wheel], o, art.wheel_maps);
    draw_part(art.part[sim::k_rear_wheel], art.wheels, poses[sim::k_rear_wheel], o, art.wheel_maps);
    const Pose& rider = poses[sim::k_rider];
    if (!options.hide_rider) {
        set_arm_bones(bike, rider);
        Model* body = options.first_person && art.first_person_body ? art.first_person_body : art.part[sim::k_rider];
        draw_part(body, art.rider, rider, o, art.rider_maps);
        set_model_bones(0, nullptr, nullptr, nullptr);
        if (!options.first_person) {
            draw_part(art.head, art.helmet, rider, o, art.helmet_maps);
            draw_part(art.rider_plate, art.rider, rider, o);
        }
    }
    // The number on the front plate and on both side plates.
    std::string number = bike.number.substr(0, 3);
    for (const NumberPlate& plate : number_plates(bike.info))
        draw_number(number, poses[static_cast<std::size_t>(plate.body)], plate.centre, plate.right, plate.up,
                    plate.height, o);
    glDisable(GL_NORMALIZE);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
}

}  // namespace zv::render
