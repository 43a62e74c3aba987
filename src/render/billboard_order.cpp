#include "render/billboard_order.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zv::render {

std::uint32_t billboard_depth_key(float d)
{
    double k = std::floor(static_cast<double>(d) * 1024.0 + 16777216.0);
    if (!(k > 0))
        return 0;
    if (k >= 4294967295.0)
        return 4294967295u;
    return static_cast<std::uint32_t>(k);
}

void radix_sort_billboards(std::vector<BillboardItem>& items, std::vector<BillboardItem>& scratch)
{
    scratch.resize(items.size());
    for (int pass = 0; pass < 4; ++pass) {
        int shift = pass * 8;
        std::array<std::size_t, 257> count{};
        for (const BillboardItem& b : items)
            ++count[((b.key >> shift) & 0xff) + 1];
        for (std::size_t i = 1; i < count.size(); ++i)
            count[i] += count[i - 1];
        for (const BillboardItem& b : items)
            scratch[count[(b.key >> shift) & 0xff]++] = b;
        items.swap(scratch);
    }
}

bool billboards_overlap(const BillboardItem& a, const BillboardItem& b)
{
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

void reorder_for_textures(std::vector<BillboardItem>& items, int window)
{
    if (window <= 1)
        return;
    std::size_t n = items.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        std::size_t end = std::min(n, i + 1 + static_cast<std::size_t>(window));
        for (std::size_t j = i + 1; j < end; ++j) {
            if (items[j].texture != items[i].texture)
                continue;
            if (j == i + 1)
                break;
            bool blocked = false;
            for (std::size_t k = i + 1; k < j && !blocked; ++k)
                blocked = billboards_overlap(items[k], items[j]);
            if (!blocked)
                std::rotate(items.begin() + static_cast<long>(i + 1), items.begin() + static_cast<long>(j),
                            items.begin() + static_cast<long>(j + 1));
            break;
        }
    }
}

int texture_changes(const std::vector<BillboardItem>& items)
{
    int changes = 0;
    std::uint32_t bound = 0;
    bool any = false;
    for (const BillboardItem& b : items) {
        if (!any || b.texture != bound) {
            ++changes;
            bound = b.texture;
            any = true;
        }
    }
    return changes;
}

float ghost_fade(float d, float f)
{
    if (!(f > 0))
        return 1.0f;
    float v = (d - f / 2) / (f - f / 2);
    return std::clamp(v, 0.0f, 1.0f);
}

}  // namespace zv::render
