// A line along the middle of the course, made from the track's timing gates:
// a smooth curve through the checkpoint centres in lap order, leaving each
// along its direction, with the speeds a rider of a given pace can hold
// there. Robots that have no learnt line yet can follow it, and the teacher
// rides it to learn the first lines of a track.
#pragma once

#include <vector>

#include "autopilot/line_point.h"
#include "track/terrain.h"
#include "track/timing.h"

namespace zv::autopilot {

struct CentreLinePace {
    float top_speed = 85;        // ft/s
    float cornering = 22;        // ft/s^2 of sideways acceleration in turns
    float braking = 20;          // ft/s^2 planned before slow places
    float accelerating = 14;     // ft/s^2 out of them
    float crest = 1.2f;          // a crest may lift the bike at most this share of g
};
// The pace of a skill: 0 the slowest, 1 the fastest rider.
CentreLinePace centre_line_pace(float pace);

// The points from the start position (x, z, facing heading as the starting
// gates define it) through the checkpoints of lap positions 0 to
// `positions` - 1, about `spacing` feet apart, the height that of the frame
// riding over the ground. Empty when the track has no timing.
std::vector<LinePoint> centre_line(const track::TrackTiming& timing, const track::Terrain& terrain,
                                   float start_x, float start_z, float start_heading, int positions,
                                   const CentreLinePace& pace, float spacing = 4);

// Moves every point of the line `offset` feet across the course (positive
// to the left of the way it runs), sets the heights from the ground again
// and recomputes the speeds for the pace.
void offset_line(std::vector<LinePoint>& line, float offset, const track::Terrain& terrain,
                 const CentreLinePace& pace);

// Recomputes the speeds of a line's points for a pace: turns from the
// horizontal curvature, crests from the vertical one, then braking and
// accelerating limits between neighbours.
void set_line_speeds(std::vector<LinePoint>& line, const CentreLinePace& pace);

}  // namespace zv::autopilot
