#include "render/terrain_textures.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/settings.h"
#include "render/gl.h"
#include "render/gl_caps.h"

namespace zv::render {

namespace {

constexpr int k_bias_limit = 10;
constexpr int k_min_low_detail_edge = 32, k_max_low_detail_edge = 1024;

int g_bias_override = -1;

bool shader_caps(const GlCaps& caps) { return caps.vertex_shader && caps.fragment_shader && caps.multitexture; }

}  // namespace

bool terrain_method_supported(int choice, const GlCaps& caps)
{
    switch (static_cast<TerrainMethod>(choice)) {
    case TerrainMethod::software:
    case TerrainMethod::hardware_copy: return choice >= 0;
    case TerrainMethod::hardware_direct: return caps.framebuffer_object;
    case TerrainMethod::shaders_copy: return shader_caps(caps);
    case TerrainMethod::shaders_direct: return shader_caps(caps) && caps.framebuffer_object;
    }
    return false;
}

bool terrain_method_available(int choice)
{
    if (!terrain_method_supported(choice, gl_caps()))
        return false;
    const GlProcs& p = gl_procs();
    bool fbo = p.gen_framebuffers && p.bind_framebuffer && p.framebuffer_texture_2d && p.check_framebuffer_status &&
               p.delete_framebuffers;
    bool shaders = p.create_shader && p.shader_source && p.compile_shader && p.create_program && p.link_program &&
                   p.use_program && p.active_texture;
    switch (static_cast<TerrainMethod>(choice)) {
    case TerrainMethod::hardware_direct: return fbo;
    case TerrainMethod::shaders_copy: return shaders;
    case TerrainMethod::shaders_direct: return shaders && fbo;
    default: return true;
    }
}

int terrain_texture_method(int choice)
{
    switch (static_cast<TerrainMethod>(choice)) {
    case TerrainMethod::hardware_copy:
    case TerrainMethod::shaders_copy: return 2;
    case TerrainMethod::hardware_direct:
    case TerrainMethod::shaders_direct: return 3;
    default: return 1;
    }
}

bool terrain_method_uses_shaders(int choice)
{
    return choice == static_cast<int>(TerrainMethod::shaders_copy) ||
           choice == static_cast<int>(TerrainMethod::shaders_direct);
}

// ---- ground tile textures ----

int ground_texture_level_bias(double levels)
{
    if (!(levels == levels))  // NaN
        return 0;
    return static_cast<int>(std::clamp(10.0 - levels, 0.0, 10.0));
}

int ground_texture_resolution(int choice) { return 32 << std::clamp(choice, 0, 5); }

void set_ground_texture_level_bias(int bias) { g_bias_override = bias < 0 ? -1 : std::min(bias, k_bias_limit); }

GroundTextureSettings ground_texture_settings()
{
    const core::Settings& s = core::settings();
    GroundTextureSettings g;
    g.level_bias = g_bias_override >= 0 ? g_bias_override : ground_texture_level_bias(s.ground_texture_detail.value);
    g.mipmaps = s.ground_mipmaps.index == 1;
    return g;
}

GroundTileLevels ground_tile_levels(int width, int height, int bias, bool mipmaps)
{
    GroundTileLevels l;
    width = std::max(width, 1);
    height = std::max(height, 1);
    int levels = mip_level_count(width, height);
    int skip = 0;
    while (skip < bias && skip + 1 < levels && std::min(width, height) >> (skip + 1) >= k_min_ground_tile_edge)
        ++skip;
    LevelSize s = mip_level_size(width, height, skip);
    l.base_level = skip;
    l.width = s.width;
    l.height = s.height;
    l.mipmapped = mipmaps;
    l.max_level = mipmaps ? levels - 1 : skip;
    return l;
}

TextureId make_ground_tile_texture(const std::uint8_t* rgba, int width, int height, const GroundTextureSettings& s)
{
    if (!rgba || width <= 0 || height <= 0)
        return 0;
    Image im;
    im.width = width;
    im.height = height;
    im.channels = 4;
    im.pixels.assign(rgba, rgba + im.level0_bytes());
    generate_mip_chain(im, false);
    GroundTileLevels l = ground_tile_levels(width, height, s.level_bias, s.mipmaps);
    const std::uint8_t* base = im.pixels.data() + mip_level_offset(width, height, 4, l.base_level);
    TextureId id = l.mipmapped ? make_texture(base, l.width, l.height, 4) : make_texture_nomip(base, l.width, l.height, 4);
    if (id) {
        glBindTexture(GL_TEXTURE_2D, id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    }
    return id;
}

void apply_ground_tile_levels(TextureId id, const GroundTextureSettings& s)
{
    if (!id)
        return;
    glBindTexture(GL_TEXTURE_2D, id);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    if (w <= 0 || h <= 0)
        return;
    GroundTileLevels l = ground_tile_levels(w, h, s.level_bias, s.mipmaps);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, l.base_level);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, l.max_level);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, l.mipmapped ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR);
}

// ---- low-detail textures ----

int low_detail_edge(int texture_edge)
{
    int e = std::clamp(texture_edge, k_min_low_detail_edge, k_max_low_detail_edge);
    return is_power_of_two(e) ? e : round_down_power_of_two(e);
}

std::array<int, 3> sample_light(const track::Terrain& t, int i, int j)
{
    int w = t.grid_side;
    if (w <= 0)
        return {128, 128, 128};
    i = std::clamp(i, 0, w - 1);
    j = std::clamp(j, 0, w - 1);
    std::size_t s = static_cast<std::size_t>(i) + static_cast<std::size_t>(w) * static_cast<std::size_t>(j);
    std::array<int, 3> shade = {128, 128, 128};
    if (t.shading.size() >= static_cast<std::size_t>(w) * w * 3)
        shade = {t.shading[s * 3], t.shading[s * 3 + 1], t.shading[s * 3 + 2]};
    int shadow = s < t.shadows.size() ? t.shadows[s] : 0;
    int lit = 255 - shadow * 5 / 8;
    return {shade[0] * lit / 255, shade[1] * lit / 255, shade[2] * lit / 255};
}

int tile_at_sample(const track::Terrain& t, int i, int j)
{
    if (t.tile_map.empty() || t.tiles.empty() || t.tile_side <= 0)
        return 0;
    int c = std::clamp(i / 2, 0, t.tile_side - 1), r = std::clamp(j / 2, 0, t.tile_side - 1);
    return t.tile_map[static_cast<std::size_t>(c + t.tile_side * r)];
}

Image compose_low_detail(const track::Terrain& t, const track::SampleRect& rect, int edge,
                         std::span<const TileSource> tiles)
{
    Image im;
    edge = std::max(edge, 1);
    im.width = im.height = edge;
    im.channels = 3;
    im.pixels.assign(im.level0_bytes(), 0);
    const int w = std::max(1, rect.x1 - rect.x0), h = std::max(1, rect.z1 - rect.z0);
    const float feet_per_texel = static_cast<float>(std::max(w, h)) * t.cell_size / static_cast<float>(edge);
    const int last = std::max(t.grid_side - 1, 0);
    for (int y = 0; y < edge; ++y) {
        float v = static_cast<float>(rect.z0) + (static_cast<float>(y) + 0.5f) * static_cast<float>(h) / edge;
        for (int x = 0; x < edge; ++x) {
            float u = static_cast<float>(rect.x0) + (static_cast<float>(x) + 0.5f) * static_cast<float>(w) / edge;
            int i = std::clamp(static_cast<int>(u + 0.5f), 0, last), j = std::clamp(static_cast<int>(v + 0.5f), 0, last);
            std::array<int, 3> light = sample_light(t, i, j);
            int tile = tile_at_sample(t, static_cast<int>(u), static_cast<int>(v));
            std::array<int, 3> colour = {128, 128, 128};
            if (tile >= 0 && static_cast<std::size_t>(tile) < tiles.size()) {
                const TileSource& src = tiles[static_cast<std::size_t>(tile)];
                colour = {src.mean[0], src.mean[1], src.mean[2]};
                if (src.chain && src.width > 0 && src.height > 0) {
                    // The level whose texels match the footprint of one
                    // low-detail texel.
                    float texels = feet_per_texel * static_cast<float>(src.width) / k_tile_texture_span;
                    int levels = mip_level_count(src.width, src.height);
                    int level = texels > 1 ? std::min(levels - 1, static_cast<int>(std::log2(texels))) : 0;
                    LevelSize ls = mip_level_size(src.width, src.height, level);
                    float fx = u * t.cell_size / k_tile_texture_span, fz = v * t.cell_size / k_tile_texture_span;
                    fx -= std::floor(fx);
                    fz -= std::floor(fz);
                    int px = std::clamp(static_cast<int>(fx * ls.width), 0, ls.width - 1);
                    int py = std::clamp(static_cast<int>(fz * ls.height), 0, ls.height - 1);
                    const std::uint8_t* p = src.chain + mip_level_offset(src.width, src.height, 4, level) +
                                            (static_cast<std::size_t>(py) * ls.width + px) * 4;
                    colour = {p[0], p[1], p[2]};
                }
            }
            std::size_t o = (static_cast<std::size_t>(y) * edge + x) * 3;
            for (std::size_t k = 0; k < 3; ++k)
                im.pixels[o + k] = static_cast<std::uint8_t>(std::min(255, colour[k] * light[k] * 2 / 255));
        }
    }
    return im;
}

Image shading_texture(const track::Terrain& t, const track::SampleRect& rect)
{
    Image im;
    im.width = im.height = k_shading_edge;
    im.channels = 3;
    im.pixels.assign(im.level0_bytes(), 0);
    int last = std::max(t.grid_side - 1, 0);
    for (int y = 0; y < k_shading_edge; ++y)
        for (int x = 0; x < k_shading_edge; ++x) {
            std::array<int, 3> light = sample_light(t, std::min(rect.x0 + x, last), std::min(rect.z0 + y, last));
            std::size_t o = (static_cast<std::size_t>(y) * k_shading_edge + x) * 3;
            for (std::size_t k = 0; k < 3; ++k)
                im.pixels[o + k] = static_cast<std::uint8_t>(std::min(255, light[k]));
        }
    return im;
}

void draw_region_from_above(const track::Terrain& t, const track::SampleRect& rect, int edge,
                            std::span<const TextureId> tile_textures, std::span<const TileSource> tiles)
{
    const int w = std::max(1, rect.x1 - rect.x0), h = std::max(1, rect.z1 - rect.z0);
    // One vertex per texel at most: the tiles' own mip levels do the rest.
    const int step = std::max(1, std::max(w, h) / std::max(edge, 1));
    const int nx = (w + step - 1) / step, nz = (h + step - 1) / step;
    std::vector<float> pos;
    std::vector<std::uint8_t> col;
    pos.reserve(static_cast<std::size_t>(nx + 1) * (nz + 1) * 2);
    col.reserve(static_cast<std::size_t>(nx + 1) * (nz + 1) * 4);
    for (int b = 0; b <= nz; ++b)
        for (int a = 0; a <= nx; ++a) {
            int i = std::min(rect.x0 + a * step, rect.x1), j = std::min(rect.z0 + b * step, rect.z1);
            pos.push_back(static_cast<float>(i) * t.cell_size);
            pos.push_back(static_cast<float>(j) * t.cell_size);
            std::array<int, 3> light = sample_light(t, i, j);
            col.insert(col.end(), {static_cast<std::uint8_t>(light[0]), static_cast<std::uint8_t>(light[1]),
                                   static_cast<std::uint8_t>(light[2]), 255});
        }
    std::size_t kinds = std::max<std::size_t>(1, tile_textures.size());
    std::vector<std::vector<std::uint32_t>> by_tile(kinds);
    for (int b = 0; b < nz; ++b)
        for (int a = 0; a < nx; ++a) {
            int tile = tile_at_sample(t, rect.x0 + a * step + step / 2, rect.z0 + b * step + step / 2);
            auto& out = by_tile[std::min<std::size_t>(static_cast<std::size_t>(tile), kinds - 1)];
            std::uint32_t v00 = static_cast<std::uint32_t>(a + (nx + 1) * b), v10 = v00 + 1;
            std::uint32_t v01 = v00 + static_cast<std::uint32_t>(nx + 1), v11 = v01 + 1;
            out.insert(out.end(), {v00, v10, v11, v00, v11, v01});
        }
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glViewport(0, 0, edge, edge);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    // Screen x along world x, screen y along world z: the bottom row of the
    // picture is the region's first row of samples, as the texture wants it.
    glOrtho(rect.x0 * t.cell_size, (rect.x0 + w) * t.cell_size, rect.z0 * t.cell_size, (rect.z0 + h) * t.cell_size,
            -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    float sgen[4] = {1.0f / k_tile_texture_span, 0, 0, 0};
    float tgen[4] = {0, 1.0f / k_tile_texture_span, 0, 0};
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGenfv(GL_S, GL_OBJECT_PLANE, sgen);
    glTexGenfv(GL_T, GL_OBJECT_PLANE, tgen);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_PRIMARY_COLOR);
    glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 2.0f);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, pos.data());
    for (std::size_t k = 0; k < by_tile.size(); ++k) {
        if (by_tile[k].empty())
            continue;
        TextureId tex = k < tile_textures.size() ? tile_textures[k] : 0;
        if (tex) {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, tex);
            glColorPointer(4, GL_UNSIGNED_BYTE, 0, col.data());
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(by_tile[k].size()), GL_UNSIGNED_INT, by_tile[k].data());
        } else {
            // No picture: the tile's mean colour times the light.
            std::array<std::uint8_t, 3> mean = k < tiles.size() ? tiles[k].mean : std::array<std::uint8_t, 3>{128, 128, 128};
            std::vector<std::uint8_t> tinted(col.size());
            for (std::size_t v = 0; v < col.size(); v += 4)
                for (std::size_t c = 0; c < 3; ++c)
                    tinted[v + c] = static_cast<std::uint8_t>(std::min(255, col[v + c] * mean[c] * 2 / 255));
            glDisable(GL_TEXTURE_2D);
            glColorPointer(4, GL_UNSIGNED_BYTE, 0, tinted.data());
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(by_tile[k].size()), GL_UNSIGNED_INT, by_tile[k].data());
        }
    }
    glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 1.0f);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
}

namespace {

void count_texture_memory(std::size_t bytes) { set_texture_memory(texture_memory() + bytes); }

// A texture object of edge x edge RGB texels to be drawn into.
GLuint blank_texture(int edge, bool generate_mipmap)
{
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    if (generate_mipmap)
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, edge, edge, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    return tex;
}

// "Hardware/Copy": the region drawn into the back buffer and copied out.
TextureId low_detail_by_copy(const track::Terrain& t, const track::SampleRect& r, int edge, std::span<const TextureId> tile_textures,
                             std::span<const TileSource> tiles)
{
    bool mip = gl_caps().generate_mipmap;
    GLuint tex = blank_texture(edge, mip);
    if (!tex)
        return 0;
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    draw_region_from_above(t, r, edge, tile_textures, tiles);
    glBindTexture(GL_TEXTURE_2D, tex);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, edge, edge);
    if (mip)
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
    count_texture_memory(static_cast<std::size_t>(edge) * edge * 3 * (mip ? 4 : 3) / 3);
    return tex;
}

// "Hardware/Direct": the region drawn straight into the texture through a
// frame buffer object; 0 when the driver will not make one.
TextureId low_detail_direct(const track::Terrain& t, const track::SampleRect& r, int edge, std::span<const TextureId> tile_textures,
                            std::span<const TileSource> tiles)
{
    const GlProcs& p = gl_procs();
    if (!p.gen_framebuffers || !p.bind_framebuffer || !p.framebuffer_texture_2d || !p.check_framebuffer_status ||
        !p.delete_framebuffers)
        return 0;
    GLuint tex = blank_texture(edge, false);
    if (!tex)
        return 0;
    GLuint fbo = 0;
    p.gen_framebuffers(1, &fbo);
    p.bind_framebuffer(GL_FRAMEBUFFER_EXT, fbo);
    p.framebuffer_texture_2d(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, tex, 0);
    bool ok = p.check_framebuffer_status(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    if (ok)
        draw_region_from_above(t, r, edge, tile_textures, tiles);
    p.bind_framebuffer(GL_FRAMEBUFFER_EXT, 0);
    p.delete_framebuffers(1, &fbo);
    if (!ok) {
        glDeleteTextures(1, &tex);
        return 0;
    }
    glBindTexture(GL_TEXTURE_2D, tex);
    bool mip = p.generate_mipmap != nullptr;
    if (mip) {
        p.generate_mipmap(GL_TEXTURE_2D);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
    }
    count_texture_memory(static_cast<std::size_t>(edge) * edge * 3 * (mip ? 4 : 3) / 3);
    return tex;
}

// "Software": composed in memory and uploaded with its mip chain.
TextureId low_detail_in_memory(const track::Terrain& t, const track::SampleRect& r, int edge, std::span<const TileSource> tiles)
{
    Image im = compose_low_detail(t, r, edge, tiles);
    generate_mip_chain(im, false);
    TextureId id = make_texture(im.pixels.data(), im.width, im.height, 3);
    if (id) {
        // Seen only from afar: the cheapest filtering does.
        glBindTexture(GL_TEXTURE_2D, id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
    }
    return id;
}

}  // namespace

TextureId make_low_detail_texture(int method, const track::Terrain& t, const track::SampleRect& rect, int edge,
                                  std::span<const TextureId> tile_textures, std::span<const TileSource> tiles)
{
    switch (method) {
    case 3: return low_detail_direct(t, rect, edge, tile_textures, tiles);
    case 2: return low_detail_by_copy(t, rect, edge, tile_textures, tiles);
    default: return low_detail_in_memory(t, rect, edge, tiles);
    }
}

}  // namespace zv::render
