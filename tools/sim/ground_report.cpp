#include "ground_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "race/ground_effects.h"
#include "track/roost.h"
#include "track/terrain.h"
#include "track/track.h"

namespace zv::sim_tool {
namespace {

bool read_number(const Options& o, const char* name, long lo, long hi, long& out)
{
    if (!o.has(name))
        return true;
    const std::string text = o.value(name);
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < lo || v > hi) {
        std::fprintf(stderr, "zarvox-sim: %s takes %ld to %ld\n", name, lo, hi);
        return false;
    }
    out = v;
    return true;
}

}  // namespace

bool read_ground_options(const Options& o, GroundReport& g)
{
    return read_number(o, "--roostfrequency", 0, 1000, g.roost_frequency) &&
           read_number(o, "--erode", 0, 100, g.erosion);
}

void start_ground_effects(const GroundReport& g)
{
    race::set_ground_effects(static_cast<int>(g.roost_frequency), static_cast<float>(g.erosion));
}

void finish_ground_report(GroundReport& g, const std::string& track_folder)
{
    const track::Terrain& now = track::loaded_terrain();
    g.terrain_changes = now.change_count;
    g.particles_peak = race::particles_peak();
    g.particles_emitted = track::roost_pool().emitted;
    track::Terrain fresh;
    track::TerrainLoadOptions options;
    if (!track::load_terrain(fresh, "@" + track_folder, options) || fresh.heights.size() != now.heights.size()) {
        g.heights_unchanged = false;
        g.largest_height_change = -1;
        return;
    }
    for (std::size_t k = 0; k < now.heights.size(); ++k) {
        const float a = fresh.heights[k], b = now.heights[k];
        if (std::memcmp(&a, &b, sizeof a) != 0)
            g.heights_unchanged = false;
        g.largest_height_change = std::max(g.largest_height_change, std::fabs(static_cast<double>(b) - a));
    }
    track::free_terrain(fresh);
}

void print_ground_json(const GroundReport& g)
{
    std::printf("\"roost_frequency\": %ld, \"erode\": %ld, \"terrain_changes\": %u, \"particles_peak\": %d, "
                "\"particles_emitted\": %ld, \"largest_height_change_ft\": %.4f, \"heights_unchanged\": %s, ",
                g.roost_frequency, g.erosion, g.terrain_changes, g.particles_peak, g.particles_emitted,
                g.largest_height_change, g.heights_unchanged ? "true" : "false");
}

}  // namespace zv::sim_tool
