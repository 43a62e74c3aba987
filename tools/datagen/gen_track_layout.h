// The centre line of a circuit: straights joined by circular corners,
// sampled every foot, with the jumps and sections laid along it.
#pragma once

#include "gen_util.h"

#include <string>
#include <vector>

namespace zv::datagen {

struct Corner {
    double x = 0, z = 0;  // the polygon vertex the corner rounds
    double radius = 60;
};

enum class Feature { none, tabletop, double_jump, rhythm, whoops };
const char* feature_name(Feature f);

struct PlacedFeature {
    Feature kind = Feature::none;
    double s0 = 0, s1 = 0;  // along the centre line
    double height = 0;
    int count = 0;          // rollers or whoops
};

struct PathPoint {
    double x = 0, z = 0;
    double tx = 1, tz = 0;    // unit tangent (travel direction)
    double s = 0;             // from the gate line
    double curvature = 0;     // signed: positive turns towards (-tz, tx)
    double half_width = 14;
    double baseline = 0;      // smoothed ground under the line
    double profile = 0;       // jump and section heights
    double berm = 0;          // height of the berm at the outside edge
    int segment = 0;          // straight k = 2k, corner k = 2k + 1
};

struct Layout {
    std::vector<PathPoint> points;  // closed loop, points[0] at the gate line
    double length = 0;
    std::vector<PlacedFeature> features;
    std::vector<double> corner_radius;  // per corner, in lap order from the first turn
    double start_straight = 0;          // from the gate to the first turn
    double pad_half_width = 66;
};

struct LayoutParams {
    double half_width = 14;
    double pad_half_width = 66;  // at the gate
    double pad_length = 40;      // full width this far past the gate
    double funnel_end = 300;     // back to the track width here
    double gate_offset = 40;     // gate line past the end of the last corner
    double shoulder = 20;
    double jump_scale = 1;       // feature heights
    double gap = 40;             // lip to landing peak of a double
};

// Rounds the polygon's corners; nullopt-like empty layout when a straight is
// too short for its corners.
Layout build_layout(const std::vector<Corner>& corners, const LayoutParams& params);
// The features along the straights: `preferred` per straight (straight k
// runs from corner k to corner k + 1; straight 0 holds the gate and stays
// flat), cycling through a seeded choice where none is given.
void place_features(Layout& layout, const LayoutParams& params, const std::vector<Feature>& preferred,
                    std::uint64_t seed);
// Smallest distance between parts of the line more than `apart` feet of
// track from each other, less their widths and shoulders (negative = the
// track runs into itself).
double layout_clearance(const Layout& layout, double shoulder, double apart);

// Height of the features at s.
double feature_height(const Layout& layout, double s);

}  // namespace zv::datagen
