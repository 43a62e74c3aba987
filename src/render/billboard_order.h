// The order billboards are drawn in: depth keys, a linear radix sort
// (farthest first) and the look-ahead reordering that saves texture changes
// where quads do not overlap on screen.
#pragma once

#include <cstdint>
#include <vector>

namespace zv::render {

struct BillboardItem {
    std::uint32_t key = 0;
    int index = 0;            // into the track's billboard list
    std::uint32_t texture = 0;
    // Screen-space extent (at unit distance) for the overlap test.
    float x0 = 0, x1 = 0, y0 = 0, y1 = 0;
};

// floor(backward · position × 1024 + 2^24), held within 32 bits.
std::uint32_t billboard_depth_key(float backward_dot_position);

// Four byte-wise counting passes, least significant byte first; stable.
void radix_sort_billboards(std::vector<BillboardItem>& items, std::vector<BillboardItem>& scratch);

bool billboards_overlap(const BillboardItem& a, const BillboardItem& b);
// For each billboard, the next one within `window` places that has the same
// texture moves up to follow it, unless it overlaps one it would pass.
void reorder_for_textures(std::vector<BillboardItem>& items, int window);

// Texture switches needed to draw the list in order.
int texture_changes(const std::vector<BillboardItem>& items);

// Fade factor of a ghost at distance d from the viewed rider with fade
// distance F: (d - F/2) / (F/2), limited to 0 ... 1; F <= 0 gives 1.
float ghost_fade(float distance, float fade_distance);

}  // namespace zv::render
