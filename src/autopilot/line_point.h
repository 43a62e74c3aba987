// One sampled point of a learnt line: where the bike's frame was, how fast it
// went, and its attitude (sign inverted while both wheels are off the ground).
#pragma once

namespace zv::autopilot {

struct LinePoint {
    float x = 0, y = 0, z = 0;  // frame position, feet
    float speed = 0;            // frame speed, ft/s
    float attitude = 0;
};

// Points are sampled every 32 ticks (a quarter second).
inline constexpr int k_sample_ticks = 32;

}  // namespace zv::autopilot
