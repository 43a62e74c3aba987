// The terrain renderer: the terrain loader's hooks (level-of-detail chunks,
// low-detail textures, tile pixels, texture memory, height changes) and the
// drawing of the ground with its tiles, shading and shadows.
#pragma once

#include "render/camera.h"
#include "render/terrain_lod.h"
#include "track/terrain.h"

namespace zv::render {

// Installs the hooks on the terrain loader (after the GL context exists) and
// removes them.
void install_terrain_hooks();
void remove_terrain_hooks();

struct TerrainDrawOptions {
    TerrainDetail detail;
    bool textured = true;
};
// Draws the loaded terrain as seen by the camera; returns the triangles drawn.
int draw_terrain(track::Terrain& terrain, const Camera& camera, const TerrainDrawOptions& options);
// Draws the decals within `max_distance` of the camera, draped on the ground;
// returns how many.
int draw_decals(track::Terrain& terrain, const Camera& camera, float max_distance);
// Rebuilds chunks whose heights changed (positions, level-of-detail errors,
// lit normals), never more work than the budgets given so far allow; the
// rest waits for the next frame. Returns the chunks rebuilt.
int refresh_terrain(track::Terrain& terrain, int budget);
// Chunks still waiting for a rebuild.
int terrain_refresh_waiting(track::Terrain& terrain);

}  // namespace zv::render
