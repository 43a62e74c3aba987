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
#include "render/textures.h"

namespace zv::render {

namespace {

constexpr float k_tile_texture_span = 16.0f;  // feet per repeat of a tile texture
constexpr int k_far_level = 3;                // from step 8 the ground goes untextured

// One group of triangles sharing a tile texture.
struct Group {
    track::TextureId texture = 0;
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
    // Display lists per step (0: not compiled yet) and the texture binds
    // each one makes.
    std::array<unsigned, k_lod_levels> lists{};
    std::array<int, k_lod_levels> list_binds{};
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
    std::vector<Chunk> chunks;
    std::vector<std::array<std::uint8_t, 3>> tile_colours;  // per tile type
    std::vector<track::TextureId> low_detail;               // methods 2 and 3
    int low_detail_side = 0;
    std::size_t next_dirty = 0;

    ~TerrainChunks() override
    {
        for (Chunk& c : chunks)
            c.delete_lists();
        for (track::TextureId id : low_detail)
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

int tile_at(const track::Terrain& t, int i, int j)
{
    if (t.tile_map.empty() || t.tiles.empty())
        return 0;
    int c = std::clamp(i / 2, 0, t.tile_side - 1), r = std::clamp(j / 2, 0, t.tile_side - 1);
    return t.tile_map[static_cast<std::size_t>(c + t.tile_side * r)];
}

void build_colours(const track::Terrain& t, const TerrainChunks& tc, Chunk& c)
{
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
        std::size_t s = static_cast<std::size_t>(i) + static_cast<std::size_t>(w) * j;
        std::array<int, 3> shade = {128, 128, 128};
        if (t.shading.size() >= static_cast<std::size_t>(w) * w * 3)
            shade = {t.shading[s * 3], t.shading[s * 3 + 1], t.shading[s * 3 + 2]};
        int shadow = s < t.shadows.size() ? t.shadows[s] : 0;
        int lit = 255 - shadow * 5 / 8;
        std::size_t o = static_cast<std::size_t>(v) * 4;
        const auto& tile = tc.tile_colours.empty() ? std::array<std::uint8_t, 3>{128, 128, 128}
                                                   : tc.tile_colours[static_cast<std::size_t>(
                                                         std::min<int>(tile_at(t, i, j), static_cast<int>(tc.tile_colours.size()) - 1))];
        for (int k = 0; k < 3; ++k) {
            int half = shade[static_cast<std::size_t>(k)] * lit / 255;  // half intensity: the combiner doubles it
            c.colours[o + k] = static_cast<std::uint8_t>(std::min(255, half));
            c.far_colours[o + k] = static_cast<std::uint8_t>(std::min(255, half * 2 * tile[static_cast<std::size_t>(k)] / 255));
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
                int tile = tile_at(t, c.ox + x + step / 2, c.oz + z + step / 2);
                append_cell(by_tile[static_cast<std::size_t>(std::min<int>(tile, static_cast<int>(by_tile.size()) - 1))],
                            x, z, step, c.ox, c.oz);
            }
        bool skirts_done = false;
        for (std::size_t tile = 0; tile < by_tile.size(); ++tile) {
            if (by_tile[tile].empty())
                continue;
            Group g;
            g.texture = tile < t.tiles.size() ? t.tiles[tile].texture : 0;
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

std::array<std::uint8_t, 3> mean_colour(const std::string& name)
{
    const std::uint8_t* px = nullptr;
    int w = 0, h = 0;
    if (name.empty() || !load_image_rgba(name, px, w, h))
        return {128, 128, 128};
    // The last level of the chain is the 1 x 1 mean.
    std::size_t last = mip_chain_bytes(w, h, 4) - 4;
    return {px[last], px[last + 1], px[last + 2]};
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
        t.render_data = std::move(tc);
    }

    void create_low_detail_textures(track::Terrain& t, int per_side) override
    {
        TerrainChunks* tc = chunks_of(t);
        if (!tc)
            return;
        prepare_tiles(t, *tc);
        tc->low_detail_side = per_side;
        for (int b = 0; b < per_side; ++b)
            for (int a = 0; a < per_side; ++a) {
                track::SampleRect r = track::low_detail_texture_rect(t, a, b);
                int w = std::max(1, r.x1 - r.x0), h = std::max(1, r.z1 - r.z0);
                int tw = half_power_of_two(w) * (is_power_of_two(w) ? 2 : 1);
                int th = half_power_of_two(h) * (is_power_of_two(h) ? 2 : 1);
                tw = std::min(tw, 512);
                th = std::min(th, 512);
                Image im;
                im.width = tw;
                im.height = th;
                im.channels = 3;
                im.pixels.resize(im.level0_bytes());
                for (int y = 0; y < th; ++y)
                    for (int x = 0; x < tw; ++x) {
                        int i = r.x0 + x * w / tw, j = r.z0 + y * h / th;
                        std::size_t s = static_cast<std::size_t>(i) + static_cast<std::size_t>(t.grid_side) * j;
                        const auto& tile = tc->tile_colours[static_cast<std::size_t>(
                            std::min<int>(tile_at(t, i, j), static_cast<int>(tc->tile_colours.size()) - 1))];
                        int lit = 255 - (s < t.shadows.size() ? t.shadows[s] : 0) * 5 / 8;
                        for (int k = 0; k < 3; ++k) {
                            int shade = s * 3 + 2 < t.shading.size() ? t.shading[s * 3 + k] : 128;
                            im.pixels[(static_cast<std::size_t>(y) * tw + x) * 3 + k] =
                                static_cast<std::uint8_t>(std::min(255, shade * 2 * lit / 255 * tile[static_cast<std::size_t>(k)] / 255));
                        }
                    }
                generate_mip_chain(im, false);
                TextureId id = make_texture(im.pixels.data(), im.width, im.height, 3);
                if (id) {
                    // Seen only from afar: the cheapest filtering does.
                    glBindTexture(GL_TEXTURE_2D, id);
                    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
                }
                tc->low_detail.push_back(id);
            }
    }

    void create_lod_textures(track::Terrain& t) override
    {
        TerrainChunks* tc = chunks_of(t);
        if (!tc)
            return;
        prepare_tiles(t, *tc);
        for (Chunk& c : tc->chunks) {
            build_colours(t, *tc, c);
            build_groups(t, c);
        }
    }

    bool load_pixels(std::string_view name, track::TexturePixels& out) override
    {
        const std::uint8_t* px = nullptr;
        int w = 0, h = 0;
        if (!load_image_rgba(name, px, w, h))
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
        if (tc.tile_colours.size() == t.tiles.size() && !tc.tile_colours.empty())
            return;
        tc.tile_colours.clear();
        for (const track::TileType& tile : t.tiles)
            tc.tile_colours.push_back(mean_colour(tile.texture_name));
        if (tc.tile_colours.empty())
            tc.tile_colours.push_back({128, 128, 128});
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

// The low-detail texture whose samples hold the whole chunk, or -1.
int low_detail_for(const track::Terrain& t, const TerrainChunks& tc, const Chunk& c)
{
    if (tc.low_detail.empty() || tc.low_detail_side <= 0)
        return -1;
    int n = tc.low_detail_side;
    for (int b = std::max(0, c.oz / 384 - 1); b <= std::min(n - 1, c.oz / 384 + 1); ++b)
        for (int a = std::max(0, c.ox / 384 - 1); a <= std::min(n - 1, c.ox / 384 + 1); ++a) {
            track::SampleRect r = track::low_detail_texture_rect(t, a, b);
            if (r.x0 <= c.ox && r.z0 <= c.oz && c.ox + k_chunk_cells <= r.x1 && c.oz + k_chunk_cells <= r.z1) {
                std::size_t k = static_cast<std::size_t>(a + n * b);
                return k < tc.low_detail.size() && tc.low_detail[k] ? static_cast<int>(k) : -1;
            }
        }
    return -1;
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

// The coarsest step whose height error stays under the tolerance on screen,
// and never finer than the distance rule asks for.
int pick_level(const Chunk& c, float distance, const TerrainDrawOptions& o)
{
    int far = lod_level(lod_step(distance, o.detail_distance));
    if (!(distance > 0))
        return 0;
    const Projection& p = projection();
    float pixels_per_foot = static_cast<float>(p.height) / (2.0f * p.half_v * distance);
    int level = 0;
    while (level + 1 < k_lod_levels && c.error[static_cast<std::size_t>(level + 1)] * pixels_per_foot <= o.error_pixels)
        ++level;
    return std::max(level, std::min(far, k_lod_levels - 1));
}

}  // namespace

void install_terrain_hooks() { track::set_terrain_render_hooks(&g_hooks); }

void remove_terrain_hooks()
{
    if (track::terrain_render_hooks() == &g_hooks)
        track::set_terrain_render_hooks(nullptr);
}

float terrain_detail_distance(double ground_detail)
{
    // 0 ... 100 maps to 16 ... 96 feet per doubling of the step.
    return static_cast<float>(16.0 + 0.8 * std::clamp(ground_detail, 0.0, 100.0));
}

int draw_decals(track::Terrain& t, const Camera& cam, float max_distance)
{
    if (t.decals.empty())
        return 0;
    constexpr int k_decal_grid = 8;  // subdivisions per side, draped on the ground
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1, -2);
    glDisable(GL_LIGHTING);
    glColor4f(1, 1, 1, 1);
    int drawn = 0;
    for (const track::Decal& d : t.decals) {
        if (!d.texture)
            continue;
        float dx = d.x - cam.position[0], dz = d.z - cam.position[2];
        if (dx * dx + dz * dz > max_distance * max_distance)
            continue;
        glBindTexture(GL_TEXTURE_2D, d.texture);
        ++render_stats().now.texture_changes;
        // size * aspect long along the rotated x, size wide along the rotated z.
        float ux = d.cos_angle * d.size * d.aspect, uz = -d.sin_angle * d.size * d.aspect;
        float vx = d.sin_angle * d.size, vz = d.cos_angle * d.size;
        for (int j = 0; j < k_decal_grid; ++j) {
            glBegin(GL_TRIANGLE_STRIP);
            for (int i = 0; i <= k_decal_grid; ++i)
                for (int k = 0; k < 2; ++k) {
                    float s = static_cast<float>(i) / k_decal_grid, tt = static_cast<float>(j + k) / k_decal_grid;
                    float x = d.x + (s - 0.5f) * ux + (tt - 0.5f) * vx, z = d.z + (s - 0.5f) * uz + (tt - 0.5f) * vz;
                    glTexCoord2f(s, tt);
                    glVertex3f(x, track::terrain_height(t, x, z) + 0.02f, z);
                }
            glEnd();
        }
        ++drawn;
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    render_stats().now.decals += drawn;
    note_max();
    return drawn;
}

float terrain_error_pixels(double ground_detail)
{
    // 100 allows half a pixel, 0 eight pixels.
    return static_cast<float>(0.5 + 7.5 * (1.0 - std::clamp(ground_detail, 0.0, 100.0) / 100.0));
}

void refresh_terrain(track::Terrain& t, int budget)
{
    TerrainChunks* tc = chunks_of(t);
    if (!tc || tc->chunks.empty())
        return;
    std::size_t n = tc->chunks.size();
    for (std::size_t tried = 0; tried < n && budget > 0; ++tried) {
        Chunk& c = tc->chunks[tc->next_dirty];
        tc->next_dirty = (tc->next_dirty + 1) % n;
        if (!c.dirty)
            continue;
        build_positions(t, c);
        c.delete_lists();
        c.dirty = false;
        budget -= k_chunk_vertices;
    }
}

int draw_terrain(track::Terrain& t, const Camera& cam, const TerrainDrawOptions& options)
{
    TerrainChunks* tc = chunks_of(t);
    if (!tc || tc->chunks.empty() || tc->chunks.front().colours.empty())
        return 0;
    use_program(0);
    auto planes = frustum_planes(cam, projection());
    glDisable(GL_LIGHTING);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    float sgen[4] = {1.0f / k_tile_texture_span, 0, 0, 0};
    float tgen[4] = {0, 0, 1.0f / k_tile_texture_span, 0};
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGenfv(GL_S, GL_OBJECT_PLANE, sgen);
    glTexGenfv(GL_T, GL_OBJECT_PLANE, tgen);
    int triangles = 0;
    track::TextureId bound = ~0u;
    RenderStats& stats = render_stats();
    float span = k_chunk_cells * t.cell_size;
    for (Chunk& c : tc->chunks) {
        float x0 = static_cast<float>(c.ox) * t.cell_size, z0 = static_cast<float>(c.oz) * t.cell_size;
        if (box_outside(planes, x0, c.min_y, z0, x0 + span, c.max_y, z0 + span))
            continue;
        float dx = std::max({x0 - cam.position[0], 0.0f, cam.position[0] - (x0 + span)});
        float dz = std::max({z0 - cam.position[2], 0.0f, cam.position[2] - (z0 + span)});
        float dy = std::max({c.min_y - cam.position[1], 0.0f, cam.position[1] - c.max_y});
        float distance = std::sqrt(dx * dx + dz * dz + dy * dy);
        int level = pick_level(c, distance, options);
        bool textured = options.textured && level < k_far_level;
        unsigned& list = c.lists[static_cast<std::size_t>(level)];
        triangles += chunk_triangles(1 << level);
        if (list) {
            glCallList(list);
            stats.now.texture_changes += c.list_binds[static_cast<std::size_t>(level)];
            continue;
        }
        // The first draw at this step compiles it; every bind is in the list.
        list = glGenLists(1);
        if (list)
            glNewList(list, GL_COMPILE_AND_EXECUTE);
        bound = ~0u;
        int binds_before = stats.now.texture_changes;
        glVertexPointer(3, GL_FLOAT, 0, c.positions.data());
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, textured ? c.colours.data() : c.far_colours.data());
        const auto& idx = c.indices[static_cast<std::size_t>(level)];
        if (textured) {
            glEnable(GL_TEXTURE_2D);
            glEnable(GL_TEXTURE_GEN_S);
            glEnable(GL_TEXTURE_GEN_T);
            set_combiner_double(true);
            for (const Group& g : c.groups[static_cast<std::size_t>(level)]) {
                if (!g.texture) {
                    // A tile without a picture: its mean colour, untextured.
                    glDisable(GL_TEXTURE_2D);
                    glColorPointer(4, GL_UNSIGNED_BYTE, 0, c.far_colours.data());
                    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(g.count), GL_UNSIGNED_SHORT, idx.data() + g.first);
                    glColorPointer(4, GL_UNSIGNED_BYTE, 0, c.colours.data());
                    glEnable(GL_TEXTURE_2D);
                    continue;
                }
                if (g.texture != bound) {
                    glBindTexture(GL_TEXTURE_2D, g.texture);
                    bound = g.texture;
                    ++stats.now.texture_changes;
                }
                glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(g.count), GL_UNSIGNED_SHORT, idx.data() + g.first);
            }
            set_combiner_double(false);
            glDisable(GL_TEXTURE_GEN_S);
            glDisable(GL_TEXTURE_GEN_T);
        } else if (int ld = low_detail_for(t, *tc, c); ld >= 0) {
            // The hardware methods: one low-detail texture holds the tiles
            // and the shading of this part of the field.
            track::SampleRect r = track::low_detail_texture_rect(t, ld % tc->low_detail_side, ld / tc->low_detail_side);
            float ws = (r.x1 - r.x0) * t.cell_size, hs = (r.z1 - r.z0) * t.cell_size;
            float ls[4] = {1.0f / ws, 0, 0, -r.x0 * t.cell_size / ws};
            float lt[4] = {0, 0, 1.0f / hs, -r.z0 * t.cell_size / hs};
            glTexGenfv(GL_S, GL_OBJECT_PLANE, ls);
            glTexGenfv(GL_T, GL_OBJECT_PLANE, lt);
            glEnable(GL_TEXTURE_2D);
            glEnable(GL_TEXTURE_GEN_S);
            glEnable(GL_TEXTURE_GEN_T);
            track::TextureId tex = tc->low_detail[static_cast<std::size_t>(ld)];
            if (tex != bound) {
                glBindTexture(GL_TEXTURE_2D, tex);
                bound = tex;
                ++stats.now.texture_changes;
            }
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(idx.size()), GL_UNSIGNED_SHORT, idx.data());
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
            glDisable(GL_TEXTURE_GEN_S);
            glDisable(GL_TEXTURE_GEN_T);
            glTexGenfv(GL_S, GL_OBJECT_PLANE, sgen);
            glTexGenfv(GL_T, GL_OBJECT_PLANE, tgen);
        } else {
            glDisable(GL_TEXTURE_2D);
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(idx.size()), GL_UNSIGNED_SHORT, idx.data());
        }
        if (list)
            glEndList();
        c.list_binds[static_cast<std::size_t>(level)] = stats.now.texture_changes - binds_before;
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_TEXTURE_2D);
    stats.now.ground_polygons += triangles;
    note_max();
    return triangles;
}

}  // namespace zv::render
