#include "sim/bike_shapes.h"

#include <utility>

#include "platform/log.h"
#include "sim/bike.h"
#include "track/shape.h"

namespace zv::sim {
namespace {

track::ShapeSphere builtin_sphere(float x, float y, float z, float r)
{
    return track::ShapeSphere{x, y, z, r, 1.0f, 2500.0f, 250.0f};
}

std::vector<track::ShapeSphere> builtin_shape(int part)
{
    switch (part) {
    case k_frame: return {builtin_sphere(0, -0.25f, -0.2f, 0.55f), builtin_sphere(0, 0.35f, 0.9f, 0.45f)};
    case k_fork_upper: return {builtin_sphere(0, 0.55f, 0.25f, 0.35f)};
    case k_swingarm: return {builtin_sphere(0, 0.05f, 0.2f, 0.3f)};
    case k_rider: return {builtin_sphere(0, -0.3f, 0, 0.75f), builtin_sphere(0, 0.85f, -0.45f, 0.45f)};
    default: return {};  // the wheels touch through their tyres; the fork lower has none
    }
}

}  // namespace

void set_builtin_shapes(Bike& bike)
{
    for (int part = 0; part < k_body_count; ++part)
        bike.shapes[static_cast<size_t>(part)] = builtin_shape(part);
}

int load_bike_shapes(Bike& bike)
{
    // The wheel shape files are not read: a wheel meets the ground, objects
    // and other bikes through its tyre torus.
    const BikeArt& art = bike.info.art;
    const std::pair<int, const char*> parts[] = {{k_frame, art.frame_shape},
                                                 {k_fork_upper, art.fork_upper_shape},
                                                 {k_fork_lower, art.fork_lower_shape},
                                                 {k_swingarm, art.swingarm_shape},
                                                 {k_rider, art.rider_shape}};
    int loaded = 0;
    for (const auto& [part, name] : parts) {
        auto& spheres = bike.shapes[static_cast<size_t>(part)];
        if (!name || !*name) {
            spheres = builtin_shape(part);
            continue;
        }
        // The cache remembers a failed file too: it grows only when the file
        // was really tried, so the warning comes once per file, not per bike.
        // It goes to the log alone: the game rides on, and a race of forty
        // bikes on broken data would otherwise bury the message lines.
        int cached = track::shape_cache_size();
        const track::Shape* shape = track::load_shape(name);
        if (!shape) {
            if (track::shape_cache_size() > cached)
                platform::log_printf("Warning: missing shape file %.900s\n", name);
            spheres = builtin_shape(part);
            continue;
        }
        // A well-formed file with no spheres leaves the part without any.
        spheres = shape->spheres;
        ++loaded;
    }
    return loaded;
}

}  // namespace zv::sim
