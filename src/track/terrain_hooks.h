// What the terrain loader asks of the renderer. The renderer installs its
// hooks once it has a GL context; a headless run installs none, and the
// terrain then loads its heights, tiles, shading and shadows without any
// texture work (no frame buffer objects, no shaders, no pixels).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zv::track {

struct Terrain;

// Decoded texture pixels for the in-memory terrain texture method.
struct TexturePixels {
    int width = 0;
    int height = 0;
    int channels = 0;  // bytes per pixel
    std::vector<std::uint8_t> data;

    bool empty() const { return data.empty(); }
};

// Renderer-owned data kept with the terrain (level-of-detail tables and
// textures); released with the terrain.
struct TerrainRenderData {
    virtual ~TerrainRenderData() = default;
};

class TerrainRenderHooks {
public:
    virtual ~TerrainRenderHooks() = default;

    // Shader programs are in use (lit terrain needs them).
    virtual bool shaders_active() = 0;
    // Texture method 3: whether a frame buffer object of this edge can be made.
    virtual bool create_framebuffer_object(int edge) = 0;
    // Builds the level-of-detail error tables in full from the heights.
    virtual void build_lod_tables(Terrain& terrain) = 0;
    // Texture methods 2 and 3: `per_side` x `per_side` low-detail textures
    // (see low_detail_texture_rect for the samples each covers).
    virtual void create_low_detail_textures(Terrain& terrain, int per_side) = 0;
    // The level-of-detail textures.
    virtual void create_lod_textures(Terrain& terrain) = 0;
    // Loads an image as pixels for the composed terrain texture; false when
    // it cannot be read.
    virtual bool load_pixels(std::string_view name, TexturePixels& out) = 0;
    // The texture memory counter, bytes.
    virtual std::size_t texture_memory_used() = 0;
    // Samples [i0, i1] x [j0, j1] changed height (ground deformation).
    virtual void heights_changed(Terrain& terrain, int i0, int j0, int i1, int j1) = 0;
};

// nullptr = headless.
void set_terrain_render_hooks(TerrainRenderHooks* hooks);
TerrainRenderHooks* terrain_render_hooks();

}  // namespace zv::track
