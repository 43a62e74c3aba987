// The canonical written form of a terrain (the track editor's save).
#include "track/terrain.h"

#include "core/data_file.h"
#include "core/messages.h"
#include "track/terrain_images.h"
#include "track/terrain_png.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace zv::track {

namespace {

// Opens a track file for writing, creating its folder when needed.
core::DataFilePtr open_for_writing(const std::string& base, const char* file)
{
    std::string name = base + "/" + file;
    if (!name.empty() && name[0] == '@') {
        std::string home = core::home_folder();
        if (!home.empty())
            core::make_directories_for(home + name.substr(1));
    } else {
        core::make_directories_for(name);
    }
    return core::open_data_file(name, "wb");
}

bool report(const char* file)
{
    core::show_message("Can't open '%s'", file);
    return false;
}

// One written file waiting to take its old self's place.
struct Written {
    core::DataFilePtr file;
    const char* name;
    bool complete;
};

// The files belong together (the header's height range scales the PNG's
// samples), so each replaces its old self only when every one was written
// whole; otherwise the old terrain stays as it was.
bool put_in_place(std::vector<Written>& files, bool ok)
{
    for (const Written& w : files)
        ok = ok && w.complete;
    for (Written& w : files)
        if (!core::commit_data_file(std::move(w.file), ok) && (ok || !w.complete)) {
            core::show_message("Can't write '%s'", w.name);
            ok = false;
        }
    return ok;
}

}  // namespace

bool save_terrain(const Terrain& t, std::string_view track_path)
{
    const std::size_t w = static_cast<std::size_t>(t.grid_side);
    if (w == 0 || t.heights.size() != w * w)
        return false;
    const std::string base(track_path);
    bool ok = true;
    std::vector<Written> files;

    auto [lo_it, hi_it] = std::minmax_element(t.heights.begin(), t.heights.end());
    const double lo = *lo_it, hi = *hi_it;
    if (auto f = open_for_writing(base, "terrain.hf")) {
        bool good = core::print(*f, "%d %f %f %f\n", t.size_exponent, static_cast<double>(t.cell_size), lo, hi) > 0;
        files.push_back({std::move(f), "terrain.hf", good});
    } else {
        ok = report("terrain.hf");
    }

    std::vector<std::uint16_t> samples(w * w, 0);
    if (hi > lo) {
        for (std::size_t k = 0; k < samples.size(); ++k) {
            double s = (t.heights[k] - lo) / (hi - lo) * 65535.0 + 0.5;
            samples[k] = static_cast<std::uint16_t>(std::clamp(s, 0.0, 65535.0));
        }
    }
    if (auto f = open_for_writing(base, "terrain.png")) {
        bool good = write_png_grey16(*f, t.grid_side, t.grid_side, samples.data());
        files.push_back({std::move(f), "terrain.png", good});
    } else {
        ok = report("terrain.png");
    }

    // A terrain built in memory may lack shading: write it neutral then.
    std::vector<std::uint8_t> stored = t.shading;
    if (stored.size() != w * w * 3)
        stored.assign(w * w * 3, 127);
    std::vector<std::uint8_t> doubled(stored.size());
    for (std::size_t k = 0; k < stored.size(); ++k)
        doubled[k] = static_cast<std::uint8_t>(std::min(stored[k] * 2, 255));
    if (auto f = open_for_writing(base, "shading.ppm")) {
        bool good = write_pnm(*f, 3, t.grid_side, t.grid_side, doubled.data());
        files.push_back({std::move(f), "shading.ppm", good});
    } else {
        ok = report("shading.ppm");
    }
    if (auto f = open_for_writing(base, "shadingx2.ppm")) {
        bool good = write_pnm(*f, 3, t.grid_side, t.grid_side, stored.data());
        files.push_back({std::move(f), "shadingx2.ppm", good});
    } else {
        ok = report("shadingx2.ppm");
    }

    std::vector<std::uint8_t> map = t.tile_map;
    map.resize(static_cast<std::size_t>(t.tile_side) * t.tile_side, 0);
    if (auto f = open_for_writing(base, "tilemap")) {
        bool good = core::write_bytes(*f, map.data(), map.size()) == map.size();
        files.push_back({std::move(f), "tilemap", good});
    } else {
        ok = report("tilemap");
    }

    if (auto f = open_for_writing(base, "decals")) {
        bool good = true;
        for (const Decal& d : t.decals)
            good &= core::print(*f, "[%f %f] %f %f %f %s\n", static_cast<double>(d.x), static_cast<double>(d.z),
                             static_cast<double>(d.angle), static_cast<double>(d.size),
                             static_cast<double>(d.aspect), d.texture_name.c_str()) > 0;
        files.push_back({std::move(f), "decals", good});
    } else {
        ok = report("decals");
    }
    return put_in_place(files, ok);
}

}  // namespace zv::track
