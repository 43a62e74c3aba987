// The drawing benchmark: the loaded track with a rider in the first gate and
// three more on the start straight, the chase camera flown along the
// course's checkpoints, frames drawn back to back without sleeping.
#pragma once

#include <functional>
#include <vector>

#include "render/camera.h"

namespace zv::render {

// The course as a closed path of ground points: the start gate, then the
// checkpoints of the first lap and of one normal lap. Empty without timing.
std::vector<Vec3f> course_path();
// The point `distance` feet along a path (wrapping), and the direction there.
struct PathPoint {
    Vec3f position, direction;
};
PathPoint point_along(const std::vector<Vec3f>& path, double distance);

struct FlyResult {
    int frames = 0;
    double seconds = 0;
};
// Flies for `seconds` of wall time; `frame_done` swaps the buffers (and may
// return false to stop early). The track must be loaded.
FlyResult fly_through(double seconds, int width, int height, const std::function<bool()>& frame_done);

}  // namespace zv::render
