// Track files: tileinfo and the older texturelist, timing_gates, collision
// shapes, robot line files, ".jm" models, and the track list with the "desc"
// files that name its tracks.
#include "harness.h"

#include "autopilot/line_file.h"
#include "autopilot/line_table.h"
#include "core/data_file.h"
#include "render/jm_format.h"
#include "track/shape.h"
#include "track/tileinfo.h"
#include "track/timing_file.h"
#include "track/track_list.h"

#include <sys/stat.h>

#include <algorithm>

namespace zv::fuzz {

namespace {

core::DataFilePtr scratch_file(const char* name, const std::uint8_t* data, std::size_t size)
{
    if (!write_scratch(name, data, size))
        return nullptr;
    return core::open_data_file(scratch_folder() + name, "rb");
}

}  // namespace

int fuzz_tileinfo(const std::uint8_t* data, std::size_t size)
{
    std::vector<track::TileType> tiles;
    if (core::DataFilePtr f = scratch_file("tileinfo", data, size))
        track::read_tileinfo(*f, tiles, track::TileTextures::pixels);
    if (core::DataFilePtr f = scratch_file("texturelist", data, size))
        track::read_texturelist(*f, tiles, track::TileTextures::pixels);
    return 0;
}

int fuzz_timing_gates(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    track::TrackTiming t = track::parse_timing_gates(text);
    // What was kept must read back the same way.
    std::string again = track::format_timing_gates(t);
    track::parse_timing_gates(again);
    return 0;
}

int fuzz_shape(const std::uint8_t* data, std::size_t size)
{
    if (core::DataFilePtr f = scratch_file("fuzz.shp", data, size))
        if (auto shape = track::read_shape(*f))
            track::update_bounding_radius(*shape);
    return 0;
}

// The first byte sizes the table (a file for another table is ignored), the
// rest is the file.
int fuzz_lines(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    autopilot::LineTable table;
    autopilot::create_table(table, (data[0] & 3) + 1, ((data[0] >> 2) & 3) + 1);
    if (core::DataFilePtr f = scratch_file("lines", data + 1, size - 1))
        if (autopilot::read_lines(*f, table) >= 0)
            (void)autopilot::format_lines(table);
    return 0;
}

int fuzz_jm(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto model = render::read_jm(text))
        (void)render::write_jm(*model);
    return 0;
}

// The "desc" file of the track folder "fuzz" up to the first NUL byte, then
// the working-set names the list is built from, one a line.
int fuzz_track_list(const std::uint8_t* data, std::size_t size)
{
    use_scratch_data_folders();
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = std::min(all.find('\0'), all.size());
    mkdir((scratch_folder() + "data/fuzz").c_str(), 0700);
    if (!write_scratch("data/fuzz/desc", all.substr(0, cut)))
        return 0;
    std::vector<std::string> names = {"fuzz/terrain.hf"};
    for (std::string_view rest = all.substr(std::min(cut + 1, all.size())); !rest.empty();) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        names.emplace_back(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    const track::TrackList list = track::build_track_list(names, 0);
    const int fuzz = track::find_track(list, "fuzz");
    if (list.names.size() != list.folders.size() || fuzz < 0)
        std::abort();
    // The desc file gives one line of text, never empty: it is a menu entry.
    const std::string& shown = list.names[static_cast<std::size_t>(fuzz)];
    if (shown.empty() || shown.size() > 1023 || shown.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        std::abort();
    // Each folder is listed once.
    for (std::size_t i = 0; i < list.size(); ++i)
        if (track::find_track(list, list.folders[i]) != static_cast<int>(i))
            std::abort();
    return 0;
}

Seeds track_list_seeds()
{
    return {std::string("Fuzz Hill\r\nsecond line") + '\0' + "arena/terrain.hf\narena/terrain.hf.gz\nb/terrain.gz.scram\nc/x.png",
            std::string("\n") + '\0' + "fuzz/terrain.hf.gz"};
}

Seeds tileinfo_seeds()
{
    return {"texture @tiles/grass-repeat.png\nfriction 0.75 1\nfriction 0.5 30\nroll_resist 8 22 1\n"
            "roost count=4 size=0.2 grow=2 r=70 g=110 b=40 fade_a=-200 randomize=10\nerode_depth 0.6\naddtile\n"
            "texture @tiles/loam-repeat.png\nfriction 0.95 1\nerode_lower 40\naddtile\n",
            "2\ndirt.png\ngrass.png\n"};
}

Seeds timing_gates_seeds()
{
    return {"startinggate:\n[594.5 0 1505.2] -1.570796\n[594.5 0 1508.4] -1.570796\ncheckpoints:\n"
            "72 [606.7 5.35 1567.6] [1 0 0]\n24 [754.7 6.98 1567.6] [1 0 0]\n24 [888.7 4.9 1567.6] [1 0 0]\n"
            "firstlap:\n0 1 2 \nnormallap:\n1 2 \n"};
}

Seeds shape_seeds() { return {"2\n0 0 0 0.5 1 1000 10\n0 1 0 0.25 1 1000 10\n", "0\n"}; }

Seeds lines_seeds()
{
    autopilot::LineTable table;
    autopilot::create_table(table, 1, 2);
    return {std::string(1, '\x04') + autopilot::format_lines(table)};
}

Seeds jm_seeds()
{
    render::JmModel m;
    render::JmMesh mesh;
    for (int i = 0; i < 3; ++i) {
        render::JmVertex v;
        v.position = {float(i), float(i * i), 0.5f};
        v.uv = {0.25f * i, 0.5f};
        mesh.vertices.push_back(v);
    }
    mesh.triangles.push_back({0, 1, 2});
    m.meshes.push_back(mesh);
    auto text = render::write_jm(m);
    m.version = 1;
    auto v1 = render::write_jm(m);
    return {text.value_or(""), v1.value_or("")};
}

}  // namespace zv::fuzz
