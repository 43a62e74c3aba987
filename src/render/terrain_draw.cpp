#include "render/terrain_draw.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/settings.h"
#include "platform/log.h"
#include "render/gl.h"
#include "render/gl_caps.h"
#include "render/render_stats.h"
#include "render/shaders.h"
#include "render/terrain_lod.h"
#include "render/terrain_relief.h"
#include "render/terrain_textures.h"
#include "render/textures.h"
#include "track/scenery_lighting.h"

namespace zv::render {

namespace {

// One group of triangles sharing a tile type.
struct Group {
    int tile = 0;
    std::uint32_t first = 0, count = 0;  // into Chunk::indices[level]
};

struct Chunk {
    int ox = 0, oz = 0;            // first sample
    float min_y = 0, max_y = 0;
    std::vector<float> positions;  // k_chunk_vertices * 3
    std::vector<std::uint8_t> colours;      // k_chunk_vertices * 4 (shading, textured)
    std::vector<std::uint8_t> far_colours;  // shading times the tile's mean colour
    std::array<std::vector<std::uint16_t>, k_lod_levels> indices;
    std::array<std::vector<Group>, k_lod_levels> groups;
    // Largest height difference between the samples and the surface drawn
    // at each step (the level-of-detail error table).
    std::array<float, k_lod_levels> error{};
    // Display lists per step, near and far (0: not compiled yet), and the
    // texture binds    // each one makes.
    std::array<unsigned, 2 * k_lod_levels> lists{};
    std::array<int, 2 * k_lod_levels> list_binds{};
    bool dirty = false;

    void delete_lists()
    {
        for (unsigned& l : lists)
            if (l) {
                glDeleteLists(l, 1);
                l = 0;
            }
    }
};

struct TerrainChunks final : track::TerrainRenderData {
    int per_side = 0;
    std::vector<float> base_heights;  // as loaded: what the baked shading was made for
    std::vector<Chunk> chunks;
    std::vector<std::array<std::uint8_t, 3>> tile_colours;  // per tile type
    // The ground tile textures, made here with the level bias and mipmap
    // switch, one per tile type (a tile without a picture gets its mean
    // colour); the pictures they came from while the track loads.
    std::vector<TextureId> tile_textures;
    std::vector<TileSource> tile_sources;
    std::vector<track::TextureId> low_detail;
    int low_detail_side = 0;
    // The shader methods' shading textures, one per low-detail region.
    std::vector<TextureId> shading;
    bool shading_tried = false;
    // What the chunks' display lists were made for: bit 0 shaders, bit 1
    // near ground without tile textures.
    int lists_mode = 0;
    bool fallback_logged = false;
    std::size_t next_dirty = 0;
    int refresh_credit = 0;  // work allowed but not yet spent

    ~TerrainChunks() override
    {
        for (Chunk& c : chunks)
            c.delete_lists();
        for (const auto* list : {&low_detail, &tile_textures, &shading})
            for (TextureId id : *list)
                if (id)
                    texture_backend().destroy(id);
    }
};

TerrainChunks* chunks_of(track::Terrain& t) { return dynamic_cast<TerrainChunks*>(t.render_data.get()); }

float sample(const track::Terrain& t, int i, int j) { return track::terrain_sample(t, i, j); }

void build_positions(const track::Terrain& t, Chunk& c)
{
    c.positions.resize(static_cast<std::size_t>(k_chunk_vertices) * 3);
    c.min_y = 1e30f;
    c.max_y = -1e30f;
    for (int z = 0; z < k_chunk_side; ++z)
        for (int x = 0; x < k_chunk_side; ++x) {
            float h = sample(t, c.ox + x, c.oz + z);
            std::size_t k = static_cast<std::size_t>(chunk_vertex(x, z)) * 3;
            c.positions[k] = static_cast<float>(c.ox + x) * t.cell_size;
            c.positions[k + 1] = h;
            c.positions[k + 2] = static_cast<float>(c.oz + z) * t.cell_size;
            c.min_y = std::min(c.min_y, h);
            c.max_y = std::max(c.max_y, h);
        }
    // Skirts hang below the edges by enough to cover the coarsest step.
    float drop = std::min(64.0f, (c.max_y - c.min_y) * 0.5f + t.cell_size);
    for (int side = 0; side < 4; ++side)
        for (int k = 0; k < k_chunk_side; ++k) {
            int x = side == 0 || side == 2 ? k : (side == 1 ? k_chunk_cells : 0);
            int z = side == 1 || side == 3 ? k : (side == 0 ? 0 : k_chunk_cells);
            std::size_t g = static_cast<std::size_t>(chunk_vertex(x, z)) * 3;
            std::size_t s = static_cast<std::size_t>(skirt_vertex(side, k)) * 3;
            c.positions[s] = c.positions[g];
            c.positions[s + 1] = c.positions[g + 1] - drop;
            c.positions[s + 2] = c.positions[g + 2];
        }
    c.min_y -= drop;
    c.error = lod_errors(c.positions);
}

// `relit`: ground changed since loading is relit by its new slopes.
void build_colours(const track::Terrain& t, const TerrainChunks& tc, Chunk& c, bool relit = false)
{
    const Vec3f sun = track::lighting().sun_vector;
    c.colours.assign(static_cast<std::size_t>(k_chunk_vertices) * 4, 255);
    c.far_colours.assign(static_cast<std::size_t>(k_chunk_vertices) * 4, 255);
    int w = t.grid_side;
    for (int v = 0; v < k_chunk_vertices; ++v) {
        int x, z;
        if (v < k_chunk_grid_vertices) {
            x = v % k_chunk_side;
            z = v / k_chunk_side;
        } else {
            int side = (v - k_chunk_grid_vertices) / k_chunk_side, k = (v - k_chunk_grid_vertices) % k_chunk_side;
            x = side == 0 || side == 2 ? k : (side == 1 ? k_chunk_cells : 0);
            z = side == 1 || side == 3 ? k : (side == 0 ? 0 : k_chunk_cells);
        }
        int i = std::clamp(c.ox + x, 0, w - 1), j = std::clamp(c.oz + z, 0, w - 1);
        std::array<int, 3> half = sample_light(t, i, j);  // half intensity: the combiner doubles it
        if (relit) {
            const float f = relief_factor(t, tc.base_heights, i, j, sun);
            for (int& h : half)
                h = static_cast<int>(static_cast<float>(h) * f);
        }
        std::size_t o = static_cast<std::size_t>(v) * 4;
        const auto& tile = tc.tile_colours.empty() ? std::array<std::uint8_t, 3>{128, 128, 128}
                                                   : tc.tile_colours[static_cast<std::size_t>(
                                                         std::min<int>(tile_at_sample(t, i, j), static_cast<int>(tc.tile_colours.size()) - 1))];
        for (std::size_t k = 0; k < 3; ++k) {
            c.colours[o + k] = static_cast<std::uint8_t>(std::min(255, half[k]));
            c.far_colours[o + k] = static_cast<std::uint8_t>(std::min(255, half[k] * 2 * tile[k] / 255));
        }
    }
}

void build_groups(const track::Terrain& t, Chunk& c)
{
    for (int level = 0; level < k_lod_levels; ++level) {
        int step = 1 << level;
        auto& idx = c.indices[static_cast<std::size_t>(level)];
        auto& groups = c.groups[static_cast<std::size_t>(level)];
        idx.clear();
        groups.clear();
        // Cells by tile type, so each tile's texture binds once per chunk.
        std::vector<std::vector<std::uint16_t>> by_tile(std::max<std::size_t>(1, t.tiles.size()));
        for (int z = 0; z < k_chunk_cells; z += step)
            for (int x = 0; x < k_chunk_cells; x += step) {
                int tile = tile_at_sample(t, c.ox + x + step / 2, c.oz + z + step / 2);
                append_cell(by_tile[static_cast<std::size_t>(std::min<int>(tile, static_cast<int>(by_tile.size()) - 1))],
                            x, z, step, c.ox, c.oz);
            }
        bool skirts_done = false;
        for (std::size_t tile = 0; tile < by_tile.size(); ++tile) {
            if (by_tile[tile].empty())
                continue;
            Group g;
            g.tile = static_cast<int>(tile);
            g.first = static_cast<std::uint32_t>(idx.size());
            idx.insert(idx.end(), by_tile[tile].begin(), by_tile[tile].end());
            if (!skirts_done) {
                append_skirts(idx, step);
                skirts_done = true;
            }
            g.count = static_cast<std::uint32_t>(idx.size()) - g.first;
            groups.push_back(g);
        }
    }
}

// A picture name exempt from the model texture detail ("!" in front).
std::string unreduced(std::string_view name)
{
    std::string out;
    out.reserve(name.size() + 1);
    out.push_back('!');
    out.append(name);
    return out;
}

// The picture of a tile, never reduced by the model texture detail (the
// ground has its own level bias).
TileSource tile_source(const std::string& name)
{
    TileSource src;
    const std::uint8_t* px = nullptr;
    int w = 0, h = 0;
    if (name.empty() || !load_image_rgba(unreduced(name), px, w, h))
        return src;
    src.chain = px;
    src.width = w;
    src.height = h;
    // The last level of the chain is the 1 x 1 mean.
    std::size_t last = mip_chain_bytes(w, h, 4) - 4;
    src.mean = {px[last], px[last + 1], px[last + 2]};
    return src;
}

void build_low_detail(track::Terrain& t, TerrainChunks& tc, int per_side)
{
    for (TextureId id : tc.low_detail)
        if (id)
            texture_backend().destroy(id);
    tc.low_detail.clear();
    tc.low_detail_side = per_side;
    if (per_side <= 0)
        return;
    int edge = low_detail_edge(t.texture_edge > 0 ? t.texture_edge : 64);
    int method = t.texture_method;
    if (method == 2) {
        // Copying needs a frame buffer at least as large as the texture.
        GLint vp[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, vp);
        if (vp[2] < edge || vp[3] < edge) {
            platform::log_printf("Low detail ground textures composed in memory: the window is smaller than %dx%d\n",
                                 edge, edge);
            method = 1;
        }
    }
    bool direct_failed = false;
    for (int b = 0; b < per_side; ++b)
        for (int a = 0; a < per_side; ++a) {
            track::SampleRect r = track::low_detail_texture_rect(t, a, b);
            TextureId id = 0;
            if (method == 3 && !direct_failed) {
                id = make_low_detail_texture(3, t, r, edge, tc.tile_textures, tc.tile_sources);
                if (!id) {
                    direct_failed = true;
                    platform::log_printf("Low detail ground textures composed in memory: no frame buffer object\n");
                }
            } else if (method == 2) {
                id = make_low_detail_texture(2, t, r, edge, tc.tile_textures, tc.tile_sources);
            }
            if (!id)
                id = make_low_detail_texture(1, t, r, edge, tc.tile_textures, tc.tile_sources);
            tc.low_detail.push_back(id);
        }
    if (method == 2) {
        // Nothing of the drawing may show in the next frame; the clear
        // colour stays the program's.
        glPushAttrib(GL_COLOR_BUFFER_BIT);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glPopAttrib();
    }
}

class Hooks final : public track::TerrainRenderHooks {
public:
    bool shaders_active() override { return shaders_in_use(); }

    bool create_framebuffer_object(int edge) override
    {
        const GlProcs& p = gl_procs();
        if (!gl_caps().framebuffer_object || !p.gen_framebuffers || !p.check_framebuffer_status)
            return false;
        GLuint fbo = 0, tex = 0;
        glGenTextures(1, &tex);
        glBindTexture(GL_TEXTURE_2D, tex);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, edge, edge, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
        p.gen_framebuffers(1, &fbo);
        p.bind_framebuffer(GL_FRAMEBUFFER_EXT, fbo);
        p.framebuffer_texture_2d(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, tex, 0);
        bool ok = p.check_framebuffer_status(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
        p.bind_framebuffer(GL_FRAMEBUFFER_EXT, 0);
        p.delete_framebuffers(1, &fbo);
        glDeleteTextures(1, &tex);
        return ok;
    }

    void build_lod_tables(track::Terrain& t) override
    {
        auto tc = std::make_unique<TerrainChunks>();
        tc->per_side = chunks_per_side(t.grid_side);
        tc->chunks.resize(static_cast<std::size_t>(tc->per_side) * tc->per_side);
        for (int b = 0; b < tc->per_side; ++b)
            for (int a = 0; a < tc->per_side; ++a) {
                Chunk& c = tc->chunks[static_cast<std::size_t>(a + tc->per_side * b)];
                c.ox = a * k_chunk_cells;
                c.oz = b * k_chunk_cells;
                build_positions(t, c);
            }
        tc->base_heights = t.heights;
        t.render_data = std::move(tc);
    }

    void create_low_detail_textures(track::Terrain& t, int per_side) override
    {
        TerrainChunks* tc = chunks_of(t);
        if (!tc)
            return;
        prepare_tiles(t, *tc);
        build_low_detail(t, *tc, per_side);
    }

    void create_lod_textures(track::Terrain& t) override
    {
        TerrainChunks* tc = chunks_of(t);
        if (!tc)
            return;
        prepare_tiles(t, *tc);
        // The in-memory method builds its low-detail textures here (the
        // loader asks the others for theirs).
        if (tc->low_detail.empty())
            build_low_detail(t, *tc, track::low_detail_texture_count(t));
        for (Chunk& c : tc->chunks) {
            build_colours(t, *tc, c);
            build_groups(t, c);
        }
        // The pictures are the texture cache's, released with the track's
        // generation: nothing keeps pointing at them.
        for (TileSource& src : tc->tile_sources)
            src.chain = nullptr;
    }

    bool load_pixels(std::string_view name, track::TexturePixels& out) override
    {
        const std::uint8_t* px = nullptr;
        int w = 0, h = 0;
        // Pictures for the ground are never reduced by the model texture
        // detail.
        if (!load_image_rgba(unreduced(name), px, w, h))
            return false;
        out.width = w;
        out.height = h;
        out.channels = 4;
        out.data.assign(px, px + static_cast<std::size_t>(w) * h * 4);
        return true;
    }

    std::size_t texture_memory_used() override { return texture_memory(); }

    void heights_changed(track::Terrain& t, int i0, int j0, int i1, int j1) override
    {
        TerrainChunks* tc = chunks_of(t);
        if (!tc)
            return;
        // A chunk holds samples [ox, ox + 32]: neighbours share their edges.
        int a0 = std::max(0, (i0 - 1) / k_chunk_cells), a1 = std::min(tc->per_side - 1, i1 / k_chunk_cells);
        int b0 = std::max(0, (j0 - 1) / k_chunk_cells), b1 = std::min(tc->per_side - 1, j1 / k_chunk_cells);
        for (int b = b0; b <= b1; ++b)
            for (int a = a0; a <= a1; ++a)
                tc->chunks[static_cast<std::size_t>(a + tc->per_side * b)].dirty = true;
    }

private:
    static void prepare_tiles(const track::Terrain& t, TerrainChunks& tc)
    {
        if (tc.tile_textures.size() == t.tiles.size() && !tc.tile_textures.empty())
            return;
        for (TextureId id : tc.tile_textures)
            if (id)
                texture_backend().destroy(id);
        tc.tile_colours.clear();
        tc.tile_textures.clear();
        tc.tile_sources.clear();
        GroundTextureSettings settings = ground_texture_settings();
        for (const track::TileType& tile : t.tiles) {
            TileSource src = tile_source(tile.texture_name);
            TextureId id = 0;
            if (src.chain) {
                id = make_ground_tile_texture(src.chain, src.width, src.height, settings);
            } else {
                std::uint8_t mean[3] = {src.mean[0], src.mean[1], src.mean[2]};
                id = make_texture_nomip(mean, 1, 1, 3);
            }
            tc.tile_colours.push_back(src.mean);
            tc.tile_textures.push_back(id);
            tc.tile_sources.push_back(src);
        }
        if (tc.tile_colours.empty()) {
            tc.tile_colours.push_back({128, 128, 128});
            tc.tile_sources.emplace_back();
        }
    }
};

Hooks g_hooks;

struct Plane {
    float a, b, c, d;
};

// The view frustum's side planes in world space (near and far left out:
// the ground beyond the far plane is fogged away anyway).
std::array<Plane, 4> frustum_planes(const Camera& cam, const Projection& p)
{
    const Mat3f& r = cam.rotation;
    Vec3f x = {r[0], r[1], r[2]}, y = {r[3], r[4], r[5]}, z = {r[6], r[7], r[8]};
    auto plane = [&](float sx, float sy, float h) {
        // Inward normal of the plane through the eye containing the edge.
        Vec3f n;
        for (std::size_t i = 0; i < 3; ++i)
            n[i] = -(sx * x[i] + sy * y[i]) - h * z[i];
        float d = -(n[0] * cam.position[0] + n[1] * cam.position[1] + n[2] * cam.position[2]);
        return Plane{n[0], n[1], n[2], d};
    };
    float h = p.half_h * 1.05f, v = p.half_v * 1.05f;
    return {plane(-1, 0, h), plane(1, 0, h), plane(0, -1, v), plane(0, 1, v)};
}

bool box_outside(const std::array<Plane, 4>& planes, float x0, float y0, float z0, float x1, float y1, float z1)
{
    for (const Plane& pl : planes) {
        float px = pl.a >= 0 ? x1 : x0, py = pl.b >= 0 ? y1 : y0, pz = pl.c >= 0 ? z1 : z0;
        if (pl.a * px + pl.b * py + pl.c * pz + pl.d < 0)
            return true;
    }
    return false;
}

// The low-detail region whose samples hold the whole chunk, or -1.
int region_for(const track::Terrain& t, int per_side, const Chunk& c)
{
    int n = per_side;
    for (int b = std::max(0, c.oz / 384 - 1); b <= std::min(n - 1, c.oz / 384 + 1); ++b)
        for (int a = std::max(0, c.ox / 384 - 1); a <= std::min(n - 1, c.ox / 384 + 1); ++a) {
            track::SampleRect r = track::low_detail_texture_rect(t, a, b);
            if (r.x0 <= c.ox && r.z0 <= c.oz && c.ox + k_chunk_cells <= r.x1 && c.oz + k_chunk_cells <= r.z1)
                return a + n * b;
        }
    return -1;
}

// The low-detail texture of a chunk, or -1.
int low_detail_for(const track::Terrain& t, const TerrainChunks& tc, const Chunk& c)
{
    if (tc.low_detail.empty() || tc.low_detail_side <= 0)
        return -1;
    int k = region_for(t, tc.low_detail_side, c);
    return k >= 0 && static_cast<std::size_t>(k) < tc.low_detail.size() && tc.low_detail[static_cast<std::size_t>(k)]
               ? k
               : -1;
}

// The shader methods' shading textures, made on first use.
bool ensure_shading(const track::Terrain& t, TerrainChunks& tc)
{
    if (!tc.shading.empty())
        return true;
    if (tc.shading_tried)
        return false;
    tc.shading_tried = true;
    int n = track::low_detail_texture_count(t);
    for (int b = 0; b < n; ++b)
        for (int a = 0; a < n; ++a) {
            Image im = shading_texture(t, track::low_detail_texture_rect(t, a, b));
            TextureId id = make_texture_nomip(im.pixels.data(), im.width, im.height, 3);
            if (!id) {
                for (TextureId made : tc.shading)
                    texture_backend().destroy(made);
                tc.shading.clear();
                return false;
            }
            tc.shading.push_back(id);
        }
    return !tc.shading.empty();
}

void set_combiner_double(bool on)
{
    if (on) {
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_TEXTURE);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_PRIMARY_COLOR);
        glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 2.0f);
    } else {
        glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 1.0f);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }
}

}  // namespace

void install_terrain_hooks() { track::set_terrain_render_hooks(&g_hooks); }

void remove_terrain_hooks()
{
    if (track::terrain_render_hooks() == &g_hooks)
        track::set_terrain_render_hooks(nullptr);
}

int refresh_terrain(track::Terrain& t, int budget)
{
    TerrainChunks* tc = chunks_of(t);
    if (!tc || tc->chunks.empty())
        return 0;
    // A chunk's work: its vertices, and as much again for the normals of lit
    // ground (one sample beyond its edges, whose fans reach into it).
    const int cost = t.normal_shadow.empty() ? k_chunk_vertices : 2 * k_chunk_vertices;
    // Work never exceeds what the frames so far have allowed: an unspent
    // remainder carries to the next frame, but no further than one chunk.
    tc->refresh_credit = std::min(tc->refresh_credit + std::max(budget, 0), std::max(budget, cost));
    std::size_t n = tc->chunks.size();
    int rebuilt = 0;
    for (std::size_t tried = 0; tried < n && tc->refresh_credit >= cost; ++tried) {
        Chunk& c = tc->chunks[tc->next_dirty];
        if (c.dirty) {
            build_positions(t, c);
            if (!c.colours.empty())
                build_colours(t, *tc, c, true);
            track::update_terrain_normals(t, c.ox - 1, c.oz - 1, c.ox + k_chunk_cells + 1, c.oz + k_chunk_cells + 1);
            c.delete_lists();
            c.dirty = false;
            tc->refresh_credit -= cost;
            ++rebuilt;
        }
        tc->next_dirty = (tc->next_dirty + 1) % n;
    }
    if (terrain_refresh_waiting(t) == 0)
        tc->refresh_credit = 0;
    return rebuilt;
}

int terrain_refresh_waiting(track::Terrain& t)
{
    TerrainChunks* tc = chunks_of(t);
    if (!tc)
        return 0;
    int waiting = 0;
    for (const Chunk& c : tc->chunks)
        waiting += c.dirty;
    return waiting;
}

namespace {

struct Visible {
    Chunk* chunk;
    int level;
    bool far;  // beyond the tile textures' reach
};
std::vector<Visible> g_visible;

// Compiles a chunk's display list at a level on its first draw (every bind
// goes into the list), or calls it.
template <typename Draw>
int draw_listed(Chunk& c, int level, bool far, RenderStats& stats, Draw&& draw)
{
    std::size_t slot = static_cast<std::size_t>(level + (far ? k_lod_levels : 0));
    unsigned& list = c.lists[slot];
    if (list) {
        glCallList(list);
        stats.now.texture_changes += c.list_binds[slot];
        return chunk_triangles(1 << level);
    }
    list = glGenLists(1);
    if (list)
        glNewList(list, GL_COMPILE_AND_EXECUTE);
    int binds_before = stats.now.texture_changes;
    draw();
    if (list)
        glEndList();
    c.list_binds[slot] = stats.now.texture_changes - binds_before;
    return chunk_triangles(1 << level);
}

void bind_counted(TextureId id, TextureId& bound, RenderStats& stats)
{
    if (id == bound)
        return;
    glBindTexture(GL_TEXTURE_2D, id);
    bound = id;
    ++stats.now.texture_changes;
}

// Near ground, fixed function: tile textures times the vertex shading.
void draw_near_fixed(const TerrainChunks& tc, Chunk& c, int level, RenderStats& stats)
{
    glVertexPointer(3, GL_FLOAT, 0, c.positions.data());
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, c.colours.data());
    const auto& idx = c.indices[static_cast<std::size_t>(level)];
    TextureId bound = ~0u;
    for (const Group& g : c.groups[static_cast<std::size_t>(level)]) {
        TextureId tex = static_cast<std::size_t>(g.tile) < tc.tile_textures.size()
                            ? tc.tile_textures[static_cast<std::size_t>(g.tile)]
                            : 0;
        if (!tex) {
            // No texture at all: the tile's mean colour, untextured.
            glDisable(GL_TEXTURE_2D);
            glColorPointer(4, GL_UNSIGNED_BYTE, 0, c.far_colours.data());
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(g.count), GL_UNSIGNED_SHORT, idx.data() + g.first);
            glColorPointer(4, GL_UNSIGNED_BYTE, 0, c.colours.data());
            glEnable(GL_TEXTURE_2D);
            continue;
        }
        bind_counted(tex, bound, stats);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(g.count), GL_UNSIGNED_SHORT, idx.data() + g.first);
    }
}

// Near ground through the ground program: the region's shading texture on
// unit 1 with its planes, the tile textures on unit 0.
void draw_near_shaded(const track::Terrain& t, const TerrainChunks& tc, Chunk& c, int level, RenderStats& stats)
{
    glVertexPointer(3, GL_FLOAT, 0, c.positions.data());
    const auto& idx = c.indices[static_cast<std::size_t>(level)];
    int region = region_for(t, tc.low_detail_side > 0 ? tc.low_detail_side : track::low_detail_texture_count(t), c);
    const GlProcs& p = gl_procs();
    if (region >= 0 && static_cast<std::size_t>(region) < tc.shading.size()) {
        int n = tc.low_detail_side > 0 ? tc.low_detail_side : track::low_detail_texture_count(t);
        track::SampleRect r = track::low_detail_texture_rect(t, region % n, region / n);
        // Texel centres on the samples: s = (x / cell - x0 + 1/2) / edge.
        float k = 1.0f / (t.cell_size * k_shading_edge);
        float ps[4] = {k, 0, 0, (0.5f - static_cast<float>(r.x0)) / k_shading_edge};
        float pt[4] = {0, 0, k, (0.5f - static_cast<float>(r.z0)) / k_shading_edge};
        p.active_texture(GL_TEXTURE1_ARB);
        glBindTexture(GL_TEXTURE_2D, tc.shading[static_cast<std::size_t>(region)]);
        ++stats.now.texture_changes;
        glTexGenfv(GL_S, GL_OBJECT_PLANE, ps);
        glTexGenfv(GL_T, GL_OBJECT_PLANE, pt);
        p.active_texture(GL_TEXTURE0_ARB);
    }
    TextureId bound = ~0u;
    for (const Group& g : c.groups[static_cast<std::size_t>(level)]) {
        TextureId tex = static_cast<std::size_t>(g.tile) < tc.tile_textures.size()
                            ? tc.tile_textures[static_cast<std::size_t>(g.tile)]
                            : 0;
        bind_counted(tex, bound, stats);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(g.count), GL_UNSIGNED_SHORT, idx.data() + g.first);
    }
}

// Far ground: the low-detail texture of its region, or the vertex colours
// (shading times the tiles' mean colours) without one or when `plain`.
void draw_far(const track::Terrain& t, const TerrainChunks& tc, Chunk& c, int level, bool plain, RenderStats& stats)
{
    glVertexPointer(3, GL_FLOAT, 0, c.positions.data());
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, c.far_colours.data());
    const auto& idx = c.indices[static_cast<std::size_t>(level)];
    int ld = plain ? -1 : low_detail_for(t, tc, c);
    if (ld < 0) {
        glDisable(GL_TEXTURE_2D);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(idx.size()), GL_UNSIGNED_SHORT, idx.data());
        glEnable(GL_TEXTURE_2D);
        return;
    }
    track::SampleRect r = track::low_detail_texture_rect(t, ld % tc.low_detail_side, ld / tc.low_detail_side);
    float ws = static_cast<float>(r.x1 - r.x0) * t.cell_size, hs = static_cast<float>(r.z1 - r.z0) * t.cell_size;
    float ls[4] = {1.0f / ws, 0, 0, -static_cast<float>(r.x0) * t.cell_size / ws};
    float lt[4] = {0, 0, 1.0f / hs, -static_cast<float>(r.z0) * t.cell_size / hs};
    glTexGenfv(GL_S, GL_OBJECT_PLANE, ls);
    glTexGenfv(GL_T, GL_OBJECT_PLANE, lt);
    TextureId bound = ~0u;
    bind_counted(tc.low_detail[static_cast<std::size_t>(ld)], bound, stats);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(idx.size()), GL_UNSIGNED_SHORT, idx.data());
}

}  // namespace

int draw_terrain(track::Terrain& t, const Camera& cam, const TerrainDrawOptions& options)
{
    TerrainChunks* tc = chunks_of(t);
    if (!tc || tc->chunks.empty() || tc->chunks.front().colours.empty())
        return 0;
    // The shader methods draw the near ground through the ground program
    // when it and the shading textures can be had, else as the hardware
    // methods do.
    int choice = core::settings().render_texture.index;
    // "Software" spares the near ground the tile textures: on a software
    // rasteriser a texture fetch per ground pixel costs more than the
    // whole rest of the frame; the vertex shading carries the tiles' mean
    // colours there instead.
    bool near_tiles = options.textured && choice != static_cast<int>(TerrainMethod::software);
    bool shaded = false;
    if (terrain_method_uses_shaders(choice) && near_tiles) {
        shaded = gl_procs().active_texture && build_ground_program() && ensure_shading(t, *tc);
        if (!shaded && !tc->fallback_logged) {
            platform::log_printf("Shader terrain rendering not available: drawing the ground without shaders\n");
            tc->fallback_logged = true;
        }
    }
    int mode = (shaded ? 1 : 0) | (near_tiles ? 0 : 2);
    if (tc->lists_mode != mode) {
        for (Chunk& c : tc->chunks)
            c.delete_lists();
        tc->lists_mode = mode;
    }
    auto planes = frustum_planes(cam, projection());
    g_visible.clear();
    float span = k_chunk_cells * t.cell_size;
    bool any_near = false;
    for (Chunk& c : tc->chunks) {
        float x0 = static_cast<float>(c.ox) * t.cell_size, z0 = static_cast<float>(c.oz) * t.cell_size;
        if (box_outside(planes, x0, c.min_y, z0, x0 + span, c.max_y, z0 + span))
            continue;
        float dx = std::max({x0 - cam.position[0], 0.0f, cam.position[0] - (x0 + span)});
        float dz = std::max({z0 - cam.position[2], 0.0f, cam.position[2] - (z0 + span)});
        float dy = std::max({c.min_y - cam.position[1], 0.0f, cam.position[1] - c.max_y});
        float distance = std::sqrt(dx * dx + dz * dz + dy * dy);
        int level = chunk_level(c.error, distance, options.detail);
        // Near or far by distance alone: flat ground near the camera takes
        // coarse steps but still shows its tiles.
        bool far = chunk_beyond_tiles(distance, options.detail);
        g_visible.push_back({&c, level, far});
        any_near = any_near || (near_tiles && !far);
    }
    RenderStats& stats = render_stats();
    int triangles = 0;
    glDisable(GL_LIGHTING);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glEnableClientState(GL_VERTEX_ARRAY);
    float sgen[4] = {1.0f / k_tile_texture_span, 0, 0, 0};
    float tgen[4] = {0, 0, 1.0f / k_tile_texture_span, 0};
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGenfv(GL_S, GL_OBJECT_PLANE, sgen);
    glTexGenfv(GL_T, GL_OBJECT_PLANE, tgen);
    // 1. The near ground with the tile textures.
    if (any_near) {
        if (shaded) {
            use_program(k_program_ground);
        } else {
            use_program(0);
            glEnableClientState(GL_COLOR_ARRAY);
            glEnable(GL_TEXTURE_2D);
            glEnable(GL_TEXTURE_GEN_S);
            glEnable(GL_TEXTURE_GEN_T);
            set_combiner_double(true);
        }
        for (const Visible& v : g_visible) {
            if (v.far)
                continue;
            Chunk& c = *v.chunk;
            if (shaded)
                triangles += draw_listed(c, v.level, false, stats, [&] { draw_near_shaded(t, *tc, c, v.level, stats); });
            else
                triangles += draw_listed(c, v.level, false, stats, [&] { draw_near_fixed(*tc, c, v.level, stats); });
        }
        if (shaded) {
            use_program(0);
        } else {
            set_combiner_double(false);
            glDisableClientState(GL_COLOR_ARRAY);
        }
    }
    // 2. The far ground with the low-detail textures.
    use_program(0);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    for (const Visible& v : g_visible) {
        if (near_tiles && !v.far)
            continue;
        Chunk& c = *v.chunk;
        // Near ground without tiles ("Software") keeps its vertex colours.
        bool plain = !v.far && options.textured;
        triangles += draw_listed(c, v.level, v.far, stats, [&] { draw_far(t, *tc, c, v.level, plain, stats); });
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glTexGenfv(GL_S, GL_OBJECT_PLANE, sgen);
    glTexGenfv(GL_T, GL_OBJECT_PLANE, tgen);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_TEXTURE_2D);
    stats.now.ground_polygons += triangles;
    note_max();
    return triangles;
}

}  // namespace zv::render
