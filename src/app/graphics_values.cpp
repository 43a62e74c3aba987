// Working graphics values derived from the graphics settings.
#include "app/graphics_values.h"

#include <algorithm>

namespace zv::app {

GraphicsValues& graphics_values()
{
    static GraphicsValues values;
    return values;
}

GraphicsValues derive_graphics_values(const core::Settings& s)
{
    GraphicsValues g;
    // A detail of 0 would divide by zero; it means the coarsest terrain.
    g.ground_detail_factor = static_cast<float>(0.125 / std::max(s.ground_detail.value, 1.0));
    g.ground_texture_bias = static_cast<int>(std::clamp(10.0 - s.ground_texture_detail.value, 0.0, 10.0));
    g.ground_texture_resolution = 32 << std::clamp(s.ground_texture_dim.index, 0, 5);
    double scale = std::clamp(100.0 - s.model_detail.value, 0.0, 100.0) * 0.02;
    if (scale > 1.0)
        scale = scale * scale * scale;
    g.lod_scale = static_cast<float>(scale);
    g.lod_bias = static_cast<float>(50.0 - 50.0 * std::clamp((s.model_detail.value - 10.0) * 0.05, 0.0, 1.0));
    g.model_texture_bias = static_cast<int>(std::clamp(10.0 - s.model_texture_detail.value, 0.0, 10.0));
    g.texture_compression = s.texture_compress.index;
    g.roost_frequency = static_cast<int>(s.roost_density.value);
    g.reflections = s.reflections.index;
    return g;
}

}  // namespace zv::app
