// The terrain files of a track folder: terrain.hf with its heights or
// terrain.png, shading and shadows pictures, the tile table, the tile map
// and the decals, read by the track loader as a whole. What loads is queried
// as the simulation queries it, saved as the editor saves it and must load
// again to the same ground.
#include "harness.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "core/data_file.h"
#include "track/terrain.h"

namespace zv::fuzz {

namespace {

// The files of the folder, chosen by a step's control byte (modulo their
// count); a file no step names is absent.
constexpr const char* k_terrain_files[] = {"terrain.hf", "terrain.png", "shadingx2.ppm", "shading.ppm",
                                           "shadows.pgm", "tileinfo", "tilemap", "decals", "texturelist"};
constexpr std::size_t k_terrain_file_count = std::size(k_terrain_files);

// Fields above this size exponent (513 samples a side) only cost time: each
// run would allocate hundreds of megabytes before reading on.
constexpr long k_largest_fuzzed_exponent = 8;

// The renderer's side, as a machine with shaders and frame buffer objects
// has it; pictures named starting with "x" do not load.
class FakeTerrainHooks : public track::TerrainRenderHooks {
public:
    bool shaders_active() override { return true; }
    bool create_framebuffer_object(int) override { return true; }
    void build_lod_tables(track::Terrain&) override {}
    void create_low_detail_textures(track::Terrain&, int) override {}
    void create_lod_textures(track::Terrain&) override {}
    bool load_pixels(std::string_view name, track::TexturePixels& out) override
    {
        if (name.empty() || name[0] == 'x')
            return false;
        out.width = 2;
        out.height = 2;
        out.channels = 3;
        out.data.assign(12, 200);
        return true;
    }
    std::size_t texture_memory_used() override { return 0; }
    void heights_changed(track::Terrain&, int, int, int, int) override {}
};

using FolderFiles = std::vector<std::optional<std::string>>;

void write_folder(const std::string& folder, const FolderFiles& files)
{
    mkdir((scratch_folder() + folder).c_str(), 0700);
    for (std::size_t k = 0; k < k_terrain_file_count; ++k) {
        const std::string name = folder + "/" + k_terrain_files[k];
        remove_scratch(name);
        remove_scratch(name + ".gz");
        if (files[k])
            write_scratch(name, *files[k]);
    }
}

bool same_ground(const track::Terrain& a, const track::Terrain& b)
{
    if (a.grid_side != b.grid_side || a.tile_map != b.tile_map || a.decals.size() != b.decals.size() ||
        a.tiles.size() != b.tiles.size())
        return false;
    // Heights go through 16-bit samples between the lowest and highest.
    auto [lo, hi] = std::minmax_element(a.heights.begin(), a.heights.end());
    const double step = (static_cast<double>(*hi) - *lo) / 65535.0;
    const double slack = step + 1.0e-6 * std::max(std::fabs(*lo), std::fabs(*hi)) + 1.0e-6;
    for (std::size_t k = 0; k < a.heights.size(); ++k)
        if (std::fabs(static_cast<double>(a.heights[k]) - b.heights[k]) > slack)
            return false;
    return true;
}

}  // namespace

// The first byte picks the load options (texture method, dynamic lighting),
// the rest are steps whose control byte names the file they hold.
int fuzz_terrain(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static FakeTerrainHooks hooks;
    track::set_terrain_render_hooks(&hooks);
    use_fake_resources();

    FolderFiles files(k_terrain_file_count);
    for (const Step& s : split_steps(data + 1, size - 1))
        files[s.control % k_terrain_file_count].emplace(reinterpret_cast<const char*>(s.bytes.data()),
                                                        s.bytes.size());
    if (files[0] && std::strtol(files[0]->substr(0, 16).c_str(), nullptr, 10) > k_largest_fuzzed_exponent)
        return 0;
    write_folder("ground", files);

    track::TerrainLoadOptions options;
    options.texture_method = data[0] % 4;
    options.texture_size = 64 << (data[0] >> 2 & 3);
    options.dynamic_lighting = data[0] & 0x10;
    track::Terrain t;
    if (!track::load_terrain(t, scratch_folder() + "ground", options))
        return 0;

    const float far = t.field_size * 2;
    for (float x : {-far, 0.0f, t.cell_size * 0.5f, t.field_size * 0.37f, t.field_size, far, NAN})
        for (float z : {-far, t.field_size * 0.61f, far}) {
            (void)track::terrain_height(t, x, z);
            (void)track::terrain_normal(t, x, z);
            if (!track::terrain_tile(t, x, z))
                std::abort();  // a loaded field always has a tile everywhere
        }

    // The editor's save, with the tile table beside it, loads to the same ground.
    FolderFiles kept(k_terrain_file_count);
    kept[5] = files[5];
    kept[8] = files[8];
    write_folder("saved", kept);
    track::Terrain again;
    if (!track::save_terrain(t, scratch_folder() + "saved") ||
        !track::load_terrain(again, scratch_folder() + "saved", options) || !same_ground(t, again))
        std::abort();
    return 0;
}

Seeds terrain_seeds()
{
    auto as_bytes = [](const std::string& s) {
        return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    };
    auto step = [&](std::uint8_t file, const std::string& bytes) { return step_bytes(file, as_bytes(bytes)); };
    const std::string tileinfo = "texture @tiles/grass.png\nfriction 0.75 1\naddtile\ntexture @tiles/loam.png\naddtile\n";
    const std::string decals = "[2.5 3] 1.5708 2 6 @decals/startline.png\n[1 1] 0 1 1 xmissing.png\n";

    // A 5 x 5 field with its samples in terrain.hf.
    std::string samples;
    for (int k = 0; k < 25; ++k) {
        samples += static_cast<char>(k * 40 & 0xff);
        samples += static_cast<char>(k * 9);
    }
    std::string pixels(75, '\x40');
    std::string inline_heights = std::string(1, '\x05') + step(0, "1 1.5 -2 8\n:" + samples) +
                                 step(3, "P6\n5 5\n255\n" + pixels) + step(4, "P5\n5 5\n255\n" + pixels.substr(0, 25)) +
                                 step(5, tileinfo) + step(6, std::string("\x00\x01\x01\x07", 4)) + step(7, decals);

    // The same ground as the editor writes it: heights in terrain.png.
    std::string written;
    track::Terrain t;
    t.size_exponent = 1;
    t.grid_side = 5;
    t.tile_side = 2;
    t.cell_size = 1.5f;
    t.field_size = 6;
    for (int k = 0; k < 25; ++k)
        t.heights.push_back(static_cast<float>(k % 7) - 2.0f);
    t.tile_map = {1, 0, 0, 1};
    mkdir((scratch_folder() + "seed").c_str(), 0700);
    if (track::save_terrain(t, scratch_folder() + "seed")) {
        written = std::string(1, '\x12');
        for (std::size_t k = 0; k < k_terrain_file_count; ++k) {
            std::vector<std::uint8_t> bytes;
            if (core::read_data_file(scratch_folder() + "seed/" + k_terrain_files[k], bytes))
                written += step_bytes(static_cast<std::uint8_t>(k), bytes);
        }
        written += step(5, tileinfo) + step(7, decals);
    }
    return {inline_heights, written, std::string(1, '\x02') + step(0, "0 4 0 0\n") + step(3, "P6 3 3 255 " + pixels.substr(0, 27)) +
                                         step(8, "1\ndirt.png\n") + step(6, "\x05")};
}

}  // namespace zv::fuzz
