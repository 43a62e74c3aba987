#include "render/render_stats.h"

#include <algorithm>

namespace zv::render {

RenderStats& render_stats()
{
    static RenderStats s;
    return s;
}

void reset_frame_stats()
{
    RenderStats& s = render_stats();
    s.now = RenderCounts{};
}

void reset_max_stats() { render_stats().max = RenderCounts{}; }

// Called by whoever adds to a counter so the maximum is always current.
void note_max()
{
    RenderStats& s = render_stats();
    s.max.ground_polygons = std::max(s.max.ground_polygons, s.now.ground_polygons);
    s.max.model_vertices = std::max(s.max.model_vertices, s.now.model_vertices);
    s.max.model_polygons = std::max(s.max.model_polygons, s.now.model_polygons);
    s.max.billboards = std::max(s.max.billboards, s.now.billboards);
    s.max.decals = std::max(s.max.decals, s.now.decals);
    s.max.texture_changes = std::max(s.max.texture_changes, s.now.texture_changes);
    s.max.shader_changes = std::max(s.max.shader_changes, s.now.shader_changes);
}

}  // namespace zv::render
