// The teacher: a robot that rides a track alone along its centre line with
// the driving controller and records what it rode the way the learning
// records a player: a point every 32 ticks, cut into sections at the timing
// gates, each section with its time and the time through it and the next.
// A fresh install ships line files made this way, so robots race on tracks
// nobody has ridden yet.
#pragma once

#include <string>
#include <vector>

#include "autopilot/centre_line.h"
#include "autopilot/line_point.h"
#include "autopilot/line_table.h"
#include "track/terrain.h"
#include "track/timing.h"

namespace zv::autopilot {

// One recorded way through a section.
struct TaughtLine {
    int section = 0;                 // table section (first lap, then the normal lap)
    std::vector<LinePoint> points;
    int time1 = 0;                   // ticks through the section
    int time2 = 0;                   // ticks through it and the next
};

struct TeachOptions {
    float pace = 1;                  // 0 the slowest rider, 1 the fastest
    int runs = 4;                    // each from another starting gate, over another line across the course
    float offset_share = 0.1f;       // runs' lines this share of the narrowest gate's radius apart
    std::string model = "450sxf(2017)";
};

struct TeachReport {
    int runs = 0;
    int laps = 0;                    // laps completed over all runs
    int falls = 0;
    int cancelled = 0;               // sections not kept (a fall, stuck, far off the line)
    std::vector<float> lap_seconds;  // every completed lap
    double sim_seconds = 0;
};

// Rides the runs (each the first lap and a normal lap from its starting
// gate) and returns the sections' recordings, in the order they were
// offered. The terrain and the loaded track's objects are those the race
// uses.
std::vector<TaughtLine> teach_track(const track::TrackTiming& timing, const track::Terrain& terrain,
                                    const TeachOptions& options, TeachReport& report);

// What offering the recordings to a line table came to.
struct TaughtOffers {
    int stored = 0;     // into a free slot or in place of a slower line
    int refused = 0;    // duplicates, too slow for a full section, or no such section
};

// Makes `table` the track's F + N sections (none without timing) and offers
// it the recordings in the order they were ridden, the way a player's laps
// are offered: the line file written from it is what the game reads.
TaughtOffers teach_table(const track::TrackTiming& timing, const std::vector<TaughtLine>& lines, LineTable& table);

}  // namespace zv::autopilot
