// Render statistics of the frame being drawn, with their maxima (shown by the
// head-up display's statistics lines; "renderstats" resets the maxima).
#pragma once

namespace zv::render {

struct RenderCounts {
    int ground_polygons = 0;
    int model_vertices = 0;
    int model_polygons = 0;
    int billboards = 0;
    int decals = 0;
    int texture_changes = 0;
    int shader_changes = 0;
};

struct RenderStats {
    RenderCounts now;
    RenderCounts max;
};

RenderStats& render_stats();
// Start of a frame: folds the last frame into the maxima and clears it.
void reset_frame_stats();
void reset_max_stats();
// Folds the current counts into the maxima (end of a frame).
void note_max();

}  // namespace zv::render
