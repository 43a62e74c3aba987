// Trackside cameras and the table that picks one for each checkpoint.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace zv::track {

constexpr float k_default_camera_fov = 90.0f;  // degrees
constexpr int k_camera_checkpoints = 256;

struct Camera {
    float x = 0, y = 0, z = 0;  // y absolute
    float y_above_ground = 0;
    std::array<float, 4> values{};  // owned by the viewing code; 0 from the file
    float fov = k_default_camera_fov;
    float auto_fov_size = 0;
};

// Reads the cameras file line by line; unknown lines are ignored. Returns the
// number of cameras, or -1 when the file does not open (no cameras).
int load_cameras(std::string_view path);
std::span<const Camera> cameras();
void clear_cameras();

// The camera for a checkpoint (an auto-pilot mark of 100000 and above is
// taken off first); -1 when none.
int camera_for_checkpoint(int checkpoint);

}  // namespace zv::track
