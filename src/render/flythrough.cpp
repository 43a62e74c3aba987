#include "render/flythrough.h"

#include <chrono>
#include <cmath>
#include <memory>

#include "core/settings.h"
#include "render/bike_art.h"
#include "render/gl.h"
#include "render/world.h"
#include "sim/bike.h"
#include "sim/world.h"
#include "track/terrain.h"
#include "track/timing.h"

namespace zv::render {

namespace {

constexpr double k_fly_speed = 60.0;           // feet per second along the course
constexpr float k_straight_spacing = 25.0f;    // feet between the riders ahead of the gate

}  // namespace

std::vector<Vec3f> course_path()
{
    const track::TrackTiming& t = track::track_timing();
    std::vector<Vec3f> path;
    auto add = [&](int entry) {
        int c = entry % track::k_autopilot_skip_flag;
        if (c < 0 || c >= static_cast<int>(t.checkpoints.size()))
            return;
        const track::Checkpoint& k = t.checkpoints[static_cast<std::size_t>(c)];
        path.push_back({k.x, track::terrain_height(k.x, k.z), k.z});
    };
    if (!t.gates.empty()) {
        const track::StartingGate& g = t.gates.front();
        path.push_back({g.x, track::terrain_height(g.x, g.z), g.z});
    }
    for (int e : t.first_lap)
        add(e);
    for (int e : t.normal_lap)
        add(e);
    return path;
}

PathPoint point_along(const std::vector<Vec3f>& path, double distance)
{
    PathPoint out{{0, 0, 0}, {0, 0, -1}};
    if (path.empty())
        return out;
    if (path.size() == 1) {
        out.position = path.front();
        return out;
    }
    double total = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const Vec3f& a = path[i];
        const Vec3f& b = path[(i + 1) % path.size()];
        total += std::hypot(b[0] - a[0], b[2] - a[2]);
    }
    if (!(total > 0)) {
        out.position = path.front();
        return out;
    }
    double d = std::fmod(distance, total);
    if (d < 0)
        d += total;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const Vec3f& a = path[i];
        const Vec3f& b = path[(i + 1) % path.size()];
        double len = std::hypot(b[0] - a[0], b[2] - a[2]);
        if (d <= len && len > 0) {
            float f = static_cast<float>(d / len);
            out.position = {a[0] + (b[0] - a[0]) * f, 0, a[2] + (b[2] - a[2]) * f};
            out.position[1] = track::terrain_height(out.position[0], out.position[2]);
            out.direction = {static_cast<float>((b[0] - a[0]) / len), 0, static_cast<float>((b[2] - a[2]) / len)};
            return out;
        }
        d -= len;
    }
    out.position = path.front();
    return out;
}

FlyResult fly_through(double seconds, int width, int height, const std::function<bool()>& frame_done)
{
    FlyResult result;
    std::unique_ptr<sim::SimWorld> world = sim::create_world();
    world->terrain = &track::loaded_terrain();
    std::vector<std::unique_ptr<sim::Bike>> bikes;
    const track::TrackTiming& timing = track::track_timing();
    float field = track::loaded_terrain().field_size;
    track::StartPose gate = track::start_position(timing, 0, field);
    for (int slot = 0; slot < 4; ++slot) {
        auto bike = sim::create_bike(*world, core::settings().bike.current(), slot, std::to_string(slot + 1));
        if (!bike)
            continue;
        // The first in its gate, the others ahead of it along the straight.
        float ahead = slot * k_straight_spacing;
        float x = gate.x - std::sin(gate.heading) * ahead, z = gate.z - std::cos(gate.heading) * ahead;
        sim::place_bike(*bike, {x, track::terrain_height(x, z) + 0.1f, z}, gate.heading);
        // Its art now, not in the first timed frame.
        load_bike_art(*bike);
        bikes.push_back(std::move(bike));
    }
    std::vector<Vec3f> path = course_path();
    if (path.empty())
        path.push_back({gate.x, track::terrain_height(gate.x, gate.z), gate.z});
    WorldFrame frame;
    for (std::size_t i = 0; i < bikes.size(); ++i)
        frame.bikes.push_back({bikes[i].get(), static_cast<int>(i)});
    float chase_height = static_cast<float>(core::settings().third_person_height.value);
    float chase_distance = static_cast<float>(core::settings().third_person_distance.value);
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (t >= seconds)
            break;
        set_projection(width, height, static_cast<float>(core::settings().fov.value));
        PathPoint p = point_along(path, t * k_fly_speed);
        Vec3f target = {p.position[0], p.position[1] + 2.52f, p.position[2]};
        Vec3f eye = {target[0] - p.direction[0] * chase_distance, target[1] + chase_height,
                     target[2] - p.direction[2] * chase_distance};
        eye[1] = std::max(eye[1], track::terrain_height(eye[0], eye[2]) + 1.0f);
        frame.tick = static_cast<int>(t * 128);
        frame.race_time = t;
        look_at_camera(eye, target, frame);
        ++result.frames;
        if (frame_done && !frame_done())
            break;
    }
    glFinish();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

}  // namespace zv::render
