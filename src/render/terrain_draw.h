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
// Rebuilds changed chunks, at most `budget` vertices of work.
void refresh_terrain(track::Terrain& terrain, int budget);

}  // namespace zv::render
