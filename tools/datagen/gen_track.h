// Track folders: the layout of a circuit (straights joined by rounded
// corners), its jumps, berms, rhythm sections and whoops, the height field
// and surfaces built around it, and every file of the folder: terrain,
// tiles, shading and shadows, timing gates, statues, billboards, flaggers,
// cameras, lighting, map and description.
#pragma once

#include "core/saf_writer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zv::datagen {

enum class TrackKind { outdoor, supercross };

struct TrackSpec {
    std::string folder;     // "rabbithill"
    std::string long_name;  // "Rabbit Hill"
    TrackKind kind = TrackKind::outdoor;
    std::uint64_t seed = 1;
    bool designed = false;  // the hand-laid Rabbit Hill corners instead of random ones
};

struct TrackReport {
    int grid_side = 0;
    double field_size = 0;  // feet
    double lap_length = 0;  // feet, one normal lap along the centre line
    int checkpoints = 0;
    int first_lap = 0, normal_lap = 0;
    int gates = 0;
    int statues = 0;
    int billboards = 0;
    int flaggers = 0;
    int cameras = 0;
    double climb = 0;       // feet between the lowest and highest point of the line
    double steepest = 0;    // steepest grade of the line (jumps aside), rise over run
    std::vector<std::string> features;  // in lap order
};

// The files of the folder, paths relative to the folder. False (with a
// message on standard error) when no usable layout was found.
bool build_track(const TrackSpec& spec, std::vector<core::SafMember>& files, TrackReport& report);

// Ground tile textures shared by every track ("tiles/...").
void tile_texture_members(std::vector<core::SafMember>& out);

}  // namespace zv::datagen
