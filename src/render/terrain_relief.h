// Ground whose heights changed after loading (ruts, berms, the editor's
// brush) keeps its baked shading, which was made for the old slopes. The
// relief factor relights it: the sun on the slope as it is now over the sun
// on the slope the shading was made for.
#pragma once

#include <span>

#include "render/camera.h"
#include "track/terrain.h"

namespace zv::render {

// At sample (i, j): lambert(current surface) / lambert(`base` surface) for
// the sun direction `sun` (towards the sun, any length), each lambert term
// at least 0.1, the ratio limited to 0.25 ... 2. Exactly 1 where the nine
// samples around (i, j) did not change. `base` holds the heights the
// shading was made for (same layout as the terrain's).
float relief_factor(const track::Terrain& t, std::span<const float> base, int i, int j, const Vec3f& sun);

}  // namespace zv::render
