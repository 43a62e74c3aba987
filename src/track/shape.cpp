#include "track/shape.h"

#include "core/data_file.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace zv::track {

namespace {

// Name -> shape; a null entry remembers a file that is missing or broken.
std::map<std::string, std::unique_ptr<Shape>, std::less<>>& cache()
{
    static std::map<std::string, std::unique_ptr<Shape>, std::less<>> shapes;
    return shapes;
}

}  // namespace

void update_bounding_radius(Shape& shape)
{
    float r = 0;
    for (const ShapeSphere& s : shape.spheres) {
        float reach = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z) + s.radius;
        r = std::max(r, reach);
    }
    shape.bounding_radius = r;
}

std::optional<Shape> read_shape(core::DataFile& file)
{
    int n = 0;
    if (core::scan(file, "%d", &n) != 1 || n < 0 || n > k_max_shape_spheres)
        return std::nullopt;
    Shape shape;
    shape.spheres.reserve(static_cast<std::size_t>(std::min(n, 64)));
    for (int i = 0; i < n; ++i) {
        ShapeSphere s;
        if (core::scan(file, "%f %f %f %f %f %f %f", &s.x, &s.y, &s.z, &s.radius, &s.friction,
                       &s.spring, &s.damping) != 7)
            return std::nullopt;
        for (float v : {s.x, s.y, s.z, s.radius, s.friction, s.spring, s.damping})
            if (!std::isfinite(v))
                return std::nullopt;
        shape.spheres.push_back(s);
    }
    update_bounding_radius(shape);
    return shape;
}

const Shape* load_shape(std::string_view name)
{
    auto& shapes = cache();
    if (auto it = shapes.find(name); it != shapes.end())
        return it->second.get();
    std::unique_ptr<Shape> loaded;
    if (core::DataFilePtr f = core::open_data_file(name, "rb")) {
        if (std::optional<Shape> s = read_shape(*f)) {
            s->file.assign(name);
            loaded = std::make_unique<Shape>(std::move(*s));
        }
    }
    const Shape* result = loaded.get();
    shapes.emplace(std::string(name), std::move(loaded));
    return result;
}

void clear_shape_cache() { cache().clear(); }

int shape_cache_size() { return static_cast<int>(cache().size()); }

}  // namespace zv::track
