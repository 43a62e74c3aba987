#include "track/terrain.h"

#include "core/data_file.h"
#include "core/debug_level.h"
#include "core/digest.h"
#include "core/loading_status.h"
#include "core/messages.h"
#include "platform/log.h"
#include "track/terrain_images.h"
#include "track/terrain_png.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

namespace zv::track {

namespace {

TerrainRenderHooks* g_hooks = nullptr;

constexpr int k_max_buffered_texture_edge = 256;  // texture methods 1 and 2
constexpr int k_low_detail_stride = 384;
constexpr int k_low_detail_border = 64;
constexpr int k_low_detail_samples = 512;
constexpr std::size_t k_decal_name_chars = 1024;

bool verbose() { return core::debug_level() > 0; }

void log_texture_memory(const char* when)
{
    if (!verbose())
        return;
    unsigned long used = g_hooks ? static_cast<unsigned long>(g_hooks->texture_memory_used()) : 0;
    platform::log_printf("%lu bytes texture memory used %s\n", used, when);
}

// Height of a 16-bit sample between the minimum and maximum, exact at both ends.
float sample_height(double lo, double range, unsigned sample)
{
    return static_cast<float>(lo + static_cast<double>(sample) * range / 65535.0);
}

bool fail(Terrain& t)
{
    free_terrain(t);
    return false;
}

bool can_not_open(Terrain& t, const std::string& name)
{
    core::show_message("Can't open '%.950s'", name.c_str());
    return fail(t);
}

// Step 3: heights from the samples after the header, or from terrain.png.
bool read_heights(Terrain& t, core::DataFile& hf, const std::string& base)
{
    const std::size_t w = static_cast<std::size_t>(t.grid_side);
    const double lo = t.min_height;
    const double range = static_cast<double>(t.max_height) - lo;
    std::optional<core::Ripemd160> digest;
    if (core::debug_level() >= 2)
        digest.emplace();
    std::vector<std::uint8_t> row(w * 2);

    if (core::read_char(hf) == ':') {
        for (std::size_t j = 0; j < w; ++j) {
            if (core::read_bytes(hf, row.data(), row.size()) != row.size()) {
                core::show_message("Error reading heights");
                return false;
            }
            float* out = &t.heights[w * j];
            for (std::size_t i = 0; i < w; ++i)
                out[i] = sample_height(lo, range, row[2 * i] | (unsigned(row[2 * i + 1]) << 8));
            if (digest)
                digest->update(row.data(), row.size());
        }
    } else {
        // No samples in terrain.hf: the picture holds them. Without a
        // readable picture the field is flat at the minimum height.
        std::vector<std::uint16_t> samples;
        auto png = core::open_data_file(base + "/terrain.png", "rb");
        if (!png || !read_png_grey16(*png, t.grid_side, samples))
            samples.assign(w * w, 0);
        for (std::size_t j = 0; j < w; ++j) {
            for (std::size_t i = 0; i < w; ++i) {
                unsigned s = samples[i + w * j];
                t.heights[i + w * j] = sample_height(lo, range, s);
                row[2 * i] = static_cast<std::uint8_t>(s & 0xff);
                row[2 * i + 1] = static_cast<std::uint8_t>(s >> 8);
            }
            if (digest)
                digest->update(row.data(), row.size());
        }
    }
    if (digest)
        platform::log_printf("%s\n", core::digest_hex(digest->finish()).c_str());
    return true;
}

// Step 6: shading at half intensity.
bool read_shading(Terrain& t, const std::string& base)
{
    bool halve = false;
    std::string name = base + "/shadingx2.ppm";
    auto file = core::open_data_file(name, "rb");
    if (!file) {
        name = base + "/shading.ppm";
        file = core::open_data_file(name, "rb");
        halve = true;
        if (!file) {
            core::show_message("Can't open '%.950s'", name.c_str());
            return false;
        }
    }
    PnmHeader header;
    if (!read_pnm_header(*file, 3, header)) {
        core::show_message("Error reading shading");
        return false;
    }
    if (header.width != t.grid_side || header.height != t.grid_side) {
        core::show_message("Bad shading dimensions (%dx%d)", header.width, header.height);
        return false;
    }
    t.shading.assign(static_cast<std::size_t>(t.grid_side) * t.grid_side * 3, 0);
    if (!read_pnm_pixels(*file, header, t.shading.data())) {
        core::show_message("Error reading shading");
        return false;
    }
    if (halve)
        for (std::uint8_t& b : t.shading)
            b = static_cast<std::uint8_t>(b >> 1);
    return true;
}

// Step 7: shadow amounts, 0 (fully lit) without the file.
bool read_shadows(Terrain& t, const std::string& base)
{
    const std::size_t count = static_cast<std::size_t>(t.grid_side) * t.grid_side;
    t.shadows.assign(count, 0);
    auto file = core::open_data_file(base + "/shadows.pgm", "rb");
    if (!file)
        return true;
    PnmHeader header;
    if (!read_pnm_header(*file, 1, header)) {
        core::show_message("Error reading shadows");
        return false;
    }
    if (header.width != t.grid_side || header.height != t.grid_side) {
        platform::log_printf("Bad shadow dimensions (%dx%d)\n", header.width, header.height);
        return false;
    }
    if (!read_pnm_pixels(*file, header, t.shadows.data())) {
        core::show_message("Error reading shadows");
        return false;
    }
    for (std::uint8_t& v : t.shadows)
        v = static_cast<std::uint8_t>(255 - v);
    return true;
}

// Step 8: the tile table.
bool read_tiles(Terrain& t, const std::string& base)
{
    TileTextures mode = t.texture_method == 1 ? TileTextures::pixels : TileTextures::texture;
    if (auto file = core::open_data_file(base + "/tileinfo", "rb")) {
        read_tileinfo(*file, t.tiles, mode);
    } else {
        std::string name = base + "/texturelist";
        file = core::open_data_file(name, "rb");
        if (!file) {
            core::show_message("Can't open '%.950s'", name.c_str());
            return false;
        }
        read_texturelist(*file, t.tiles, mode);
    }
    if (t.tiles.empty()) {
        // Every tile map entry must name a tile; a table without any gets
        // the plain default surface.
        platform::log_printf("No surface tiles defined: using the default surface\n");
        t.tiles.emplace_back();
    }
    return true;
}

// Step 9: the tile map, entries limited to the table.
bool read_tile_map(Terrain& t, const std::string& base)
{
    std::string name = base + "/tilemap";
    auto file = core::open_data_file(name, "rb");
    if (!file) {
        core::show_message("Can't open '%.950s'", name.c_str());
        return false;
    }
    // Entries past the end of a short file stay tile 0.
    t.tile_map.assign(static_cast<std::size_t>(t.tile_side) * t.tile_side, 0);
    core::read_bytes(*file, t.tile_map.data(), t.tile_map.size());
    const auto last = static_cast<std::uint8_t>(t.tiles.size() - 1);
    for (std::uint8_t& e : t.tile_map)
        e = std::min(e, last);
    return true;
}

// Step 10: the normal and shadow texture for lit rendering.
void build_normal_shadow(Terrain& t)
{
    const int w = t.grid_side;
    t.normal_shadow.assign(static_cast<std::size_t>(w) * w * 3, 0);
    update_terrain_normals(t, 0, 0, w - 1, w - 1);
}

// Decal companion textures: the name with its extension (from the last '.')
// replaced, trying each ending in turn.
TextureId load_companion(const std::string& name, const char* png_end, const char* ppm_end)
{
    std::size_t dot = name.rfind('.');
    std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    if (TextureId id = load_texture(stem + png_end))
        return id;
    return load_texture(stem + ppm_end);
}

int bucket_of(float coordinate, float field_size)
{
    float b = std::floor(coordinate / field_size * static_cast<float>(k_decal_buckets));
    float last = static_cast<float>(k_decal_buckets - 1);
    b = b > 0.0f ? (b < last ? b : last) : 0.0f;
    return static_cast<int>(b);
}

// Step 13: decals whose texture loads, registered in the buckets.
void read_decals(Terrain& t, core::DataFile& file)
{
    char name[k_decal_name_chars];
    for (;;) {
        Decal d;
        if (core::scan(file, "[ %f %f ] %f %f %f %1023s ", &d.x, &d.z, &d.angle, &d.size, &d.aspect,
                       name) != 6)
            break;
        core::refresh_loading_stage();
        if (!std::isfinite(d.x) || !std::isfinite(d.z) || !std::isfinite(d.angle) ||
            !std::isfinite(d.size) || !std::isfinite(d.aspect))
            continue;
        d.texture_name = name;
        if (t.texture_method == 1) {
            if (!g_hooks || !g_hooks->load_pixels(d.texture_name, d.pixels) || d.pixels.empty())
                continue;
        } else {
            d.texture = load_texture(d.texture_name);
            if (!d.texture)
                continue;
            if (t.lit) {
                d.normal_map = load_companion(d.texture_name, "_tnorm.png", "_tnorm.ppm");
                d.specular_map = load_companion(d.texture_name, "_tspec.png", "_tspec.ppm");
            }
        }
        d.sin_angle = std::sin(d.angle);
        d.cos_angle = std::cos(d.angle);
        t.decals.push_back(std::move(d));
    }
    for (auto& bucket : t.decal_buckets)
        bucket.clear();
    for (std::size_t k = 0; k < t.decals.size(); ++k) {
        const Decal& d = t.decals[k];
        DecalExtent e = decal_extent(d);
        int bx0 = bucket_of(d.x - e.half_x, t.field_size), bx1 = bucket_of(d.x + e.half_x, t.field_size);
        int bz0 = bucket_of(d.z - e.half_z, t.field_size), bz1 = bucket_of(d.z + e.half_z, t.field_size);
        for (int bz = bz0; bz <= bz1; ++bz)
            for (int bx = bx0; bx <= bx1; ++bx)
                t.decal_buckets[static_cast<std::size_t>(bx + k_decal_buckets * bz)].push_back(
                    static_cast<int>(k));
    }
}

}  // namespace

void set_terrain_render_hooks(TerrainRenderHooks* hooks) { g_hooks = hooks; }
TerrainRenderHooks* terrain_render_hooks() { return g_hooks; }

bool load_terrain(std::string_view track_path, int texture_method)
{
    TerrainLoadOptions options;
    options.texture_method = texture_method;
    return load_terrain(loaded_terrain(), track_path, options);
}

bool load_terrain(std::string_view track_path, const TerrainLoadOptions& options)
{
    return load_terrain(loaded_terrain(), track_path, options);
}

void free_terrain() { free_terrain(loaded_terrain()); }

void free_terrain(Terrain& terrain) { terrain = Terrain{}; }

DecalExtent decal_extent(const Decal& d)
{
    return {std::fabs(d.size * d.aspect * d.cos_angle) / 2 + std::fabs(d.size * d.sin_angle) / 2,
            std::fabs(d.size * d.cos_angle) / 2 + std::fabs(d.size * d.aspect * d.sin_angle) / 2};
}

bool load_terrain(Terrain& t, std::string_view track_path, const TerrainLoadOptions& options)
{
    free_terrain(t);
    const std::string base(track_path);
    core::begin_loading_stage("Loading terrain");

    // Header and heights.
    const std::string hf_name = base + "/terrain.hf";
    auto hf = core::open_data_file(hf_name, "rb");
    if (!hf)
        return can_not_open(t, hf_name);
    int n = -1;
    float cell = 0, lo = 0, hi = 0;
    int fields = core::scan(*hf, "%d %f %f %f ", &n, &cell, &lo, &hi);
    // Sizes beyond the limit, cells that are not a sensible positive length
    // and heights out of all proportion make a field no query could use.
    bool sane = fields == 4 && n >= 0 && n <= k_max_size_exponent && cell > 0 && cell <= k_max_cell_size &&
                std::fabs(lo) <= k_max_height_magnitude && std::fabs(hi) <= k_max_height_magnitude;
    if (!sane) {
        core::show_message("Bad height field parameters");
        core::show_message("Error reading heights");
        return fail(t);
    }
    t.size_exponent = n;
    t.grid_side = (2 << n) + 1;
    t.tile_side = 1 << n;
    t.cell_size = cell;
    t.field_size = cell * static_cast<float>(2 << n);
    t.min_height = lo;
    t.max_height = hi;
    t.heights.assign(static_cast<std::size_t>(t.grid_side) * t.grid_side, lo);
    core::begin_loading_stage("Loading heights");
    if (!read_heights(t, *hf, base))
        return fail(t);
    if (g_hooks)
        g_hooks->build_lod_tables(t);
    hf.reset();
    core::end_loading_stage();

    // Terrain texture method.
    const int size = std::max(options.texture_size, 1);
    if (options.texture_method == 3 && g_hooks && g_hooks->create_framebuffer_object(size)) {
        t.texture_method = 3;
        t.texture_edge = size;
    } else {
        t.texture_method = options.texture_method == 2 ? 2 : 1;
        t.texture_edge = std::min(size, k_max_buffered_texture_edge);
    }
    switch (t.texture_method) {
    case 1: core::show_message("Terrain texture rendering with TexSubImage"); break;
    case 2: core::show_message("Terrain texture rendering with CopyTexSubImage"); break;
    case 3: core::show_message("Terrain texture rendering with framebuffer objects"); break;
    default: core::show_message("Something went wrong setting up terrain texture rendering!"); break;
    }
    t.lit = g_hooks && g_hooks->shaders_active() && options.dynamic_lighting && t.texture_method >= 2;

    core::begin_loading_stage("Loading shading");
    if (!read_shading(t, base))
        return fail(t);
    core::end_loading_stage();

    core::begin_loading_stage("Loading shadows");
    if (!read_shadows(t, base))
        return fail(t);
    core::end_loading_stage();
    log_texture_memory("before ground tiles loaded");

    core::begin_loading_stage("Loading tileinfo");
    if (!read_tiles(t, base))
        return fail(t);
    log_texture_memory("after ground tiles loaded");
    core::end_loading_stage();

    core::begin_loading_stage("Loading tilemap");
    if (!read_tile_map(t, base))
        return fail(t);
    core::end_loading_stage();

    if (t.lit) {
        core::begin_loading_stage("Creating terrain normals");
        build_normal_shadow(t);
        core::end_loading_stage();
    }

    if (t.texture_method == 2 || t.texture_method == 3) {
        core::begin_loading_stage("Creating low detail textures");
        int per_side = low_detail_texture_count(t);
        if (verbose())
            platform::log_printf("%dx%d low detail textures needed for %dx%d field\n", per_side, per_side,
                                 t.grid_side, t.grid_side);
        if (g_hooks)
            g_hooks->create_low_detail_textures(t, per_side);
        log_texture_memory("after low detail ground textures");
        core::end_loading_stage();
    }

    core::begin_loading_stage("Creating LOD textures");
    if (g_hooks)
        g_hooks->create_lod_textures(t);
    core::end_loading_stage();

    if (auto decals = core::open_data_file(base + "/decals", "rb")) {
        core::begin_loading_stage("Loading decals");
        read_decals(t, *decals);
        core::end_loading_stage();
    }
    return true;
}

TerrainVec3 terrain_vertex_normal(const Terrain& t, int i, int j)
{
    // The eight neighbours in circular order.
    static constexpr int k_di[8] = {-1, 0, 1, 1, 1, 0, -1, -1};
    static constexpr int k_dj[8] = {-1, -1, -1, 0, 1, 1, 1, 0};
    if (t.heights.empty())
        return {0.0f, 1.0f, 0.0f};
    const double cell = t.cell_size;
    const double hc = terrain_sample(t, i, j);
    double rel[8][3];
    for (int k = 0; k < 8; ++k) {
        rel[k][0] = k_di[k] * cell;
        rel[k][1] = terrain_sample(t, i + k_di[k], j + k_dj[k]) - hc;
        rel[k][2] = k_dj[k] * cell;
    }
    double sum[3] = {0, 0, 0};
    for (int k = 0; k < 8; ++k) {
        const double* a = rel[(k + 1) % 8];  // N_k+1 - C
        const double* b = rel[k];            // N_k - C
        double c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
        double len = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
        if (len > 0)
            for (int m = 0; m < 3; ++m)
                sum[m] += c[m] / len;
    }
    double len = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
    if (!(len > 0))
        return {0.0f, 1.0f, 0.0f};
    return {static_cast<float>(sum[0] / len), static_cast<float>(sum[1] / len),
            static_cast<float>(sum[2] / len)};
}

int low_detail_texture_count(const Terrain& t)
{
    return ((2 << t.size_exponent) / 128 + 2) / 3;
}

SampleRect low_detail_texture_rect(const Terrain& t, int a, int b)
{
    auto clamp = [&](int v) { return std::clamp(v, 0, t.grid_side); };
    int x = a * k_low_detail_stride - k_low_detail_border;
    int z = b * k_low_detail_stride - k_low_detail_border;
    return {clamp(x), clamp(z), clamp(x + k_low_detail_samples), clamp(z + k_low_detail_samples)};
}

void update_terrain_normals(Terrain& t, int i0, int j0, int i1, int j1)
{
    const int w = t.grid_side;
    if (t.normal_shadow.size() != static_cast<std::size_t>(w) * w * 3 || t.shadows.size() != static_cast<std::size_t>(w) * w)
        return;
    i0 = std::max(i0, 0);
    j0 = std::max(j0, 0);
    i1 = std::min(i1, w - 1);
    j1 = std::min(j1, w - 1);
    auto scaled = [](float c) {
        float s = std::trunc(c * 127.0f);
        s = s > 127.0f ? 127.0f : (s < -127.0f ? -127.0f : s);
        return static_cast<std::uint8_t>(128 + static_cast<int>(s));
    };
    for (int j = j0; j <= j1; ++j) {
        for (int i = i0; i <= i1; ++i) {
            TerrainVec3 n = terrain_vertex_normal(t, i, j);
            std::size_t k = static_cast<std::size_t>(i) + static_cast<std::size_t>(w) * j;
            t.normal_shadow[3 * k] = scaled(n.x);
            t.normal_shadow[3 * k + 1] = static_cast<std::uint8_t>(255 - t.shadows[k]);
            t.normal_shadow[3 * k + 2] = scaled(n.z);
        }
    }
}

void notify_terrain_heights_changed(Terrain& terrain, int i0, int j0, int i1, int j1)
{
    if (g_hooks)
        g_hooks->heights_changed(terrain, i0, j0, i1, j1);
}

}  // namespace zv::track
