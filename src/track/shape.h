// Collision shapes of track objects: a handful of spheres in object
// coordinates, read from small text files (usually ".shp") and cached by name.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zv::core {
struct DataFile;
}

namespace zv::track {

struct ShapeSphere {
    float x = 0, y = 0, z = 0;  // centre in object coordinates
    float radius = 0;
    float friction = 0;
    float spring = 0;   // contact spring stiffness
    float damping = 0;  // contact damping
};

struct Shape {
    std::string file;  // the name it was loaded by
    std::vector<ShapeSphere> spheres;
    float bounding_radius = 0;  // largest |centre| + radius
};

// A shape file may list at most this many spheres; more counts as broken.
constexpr int k_max_shape_spheres = 4096;

// Reads "n" then n spheres of seven numbers. Any number missing, a negative
// count or one above the limit gives nullopt.
std::optional<Shape> read_shape(core::DataFile& file);

// The cached shape of that file name, loaded on first request; nullptr when
// the file is missing or broken (remembered too, until the cache is cleared).
const Shape* load_shape(std::string_view name);
void clear_shape_cache();
int shape_cache_size();

// Recomputes bounding_radius from the spheres.
void update_bounding_radius(Shape& shape);

}  // namespace zv::track
