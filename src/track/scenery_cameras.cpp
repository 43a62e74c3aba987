#include "track/scenery_cameras.h"

#include "core/data_file.h"
#include "core/debug_level.h"
#include "platform/log.h"
#include "track/scenery.h"
#include "track/terrain.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace zv::track {

namespace {

constexpr int k_auto_pilot_mark = 100000;
constexpr std::size_t k_line_size = 1024;

std::vector<Camera> g_cameras;
std::array<int, k_camera_checkpoints> g_checkpoint_camera = [] {
    std::array<int, k_camera_checkpoints> t;
    t.fill(-1);
    return t;
}();

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// "gate" then white space or the end of the line, then decimal numbers.
void read_gate_line(const char* rest, int next_camera)
{
    const char* p = rest;
    for (;;) {
        while (is_blank(*p))
            ++p;
        if (!std::isdigit(static_cast<unsigned char>(*p)))
            return;
        const char* start = p;
        while (std::isdigit(static_cast<unsigned char>(*p)))
            ++p;
        if (*p && !is_blank(*p))
            return;  // "12x" is not a number
        if (p - start > 9)
            return;
        int n = std::atoi(start);
        if (n > k_camera_checkpoints - 1)
            return;
        g_checkpoint_camera[static_cast<std::size_t>(n)] = next_camera;
    }
}

}  // namespace

int load_cameras(std::string_view path)
{
    clear_cameras();
    core::DataFilePtr f = core::open_data_file(path, "rb");
    if (!f)
        return -1;
    Camera pending;
    std::string line;
    while (core::read_line(*f, line, k_line_size)) {
        const char* s = line.c_str();
        while (*s == ' ' || *s == '\t')
            ++s;
        float x, y, z, v;
        if (std::sscanf(s, "addcamera %f %f %f", &x, &y, &z) == 3) {
            Camera c = pending;
            c.x = x;
            c.z = z;
            c.y_above_ground = y;
            c.y = terrain_height(x, z) + y;
            g_cameras.push_back(c);
            pending = Camera{};
        } else if (std::sscanf(s, "fov %f", &v) == 1) {
            if (std::isfinite(v))
                pending.fov = std::fabs(v);
        } else if (std::sscanf(s, "autofovsize %f", &v) == 1) {
            if (std::isfinite(v))
                pending.auto_fov_size = std::fabs(v);
        } else if (std::string_view(s).substr(0, 4) == "gate" && (s[4] == '\0' || is_blank(s[4]))) {
            read_gate_line(s + 4, static_cast<int>(g_cameras.size()));
        }
    }
    if (core::debug_level() > 0)
        platform::log_printf("%d cameras found\n", static_cast<int>(g_cameras.size()));
    return static_cast<int>(g_cameras.size());
}

std::span<const Camera> cameras() { return g_cameras; }

void clear_cameras()
{
    std::vector<Camera>().swap(g_cameras);
    g_cameras.reserve(k_initial_list_capacity);
    g_checkpoint_camera.fill(-1);
}

int camera_for_checkpoint(int checkpoint)
{
    if (checkpoint >= k_auto_pilot_mark)
        checkpoint -= k_auto_pilot_mark;
    if (checkpoint < 0 || checkpoint >= k_camera_checkpoints)
        return -1;
    int cam = g_checkpoint_camera[static_cast<std::size_t>(checkpoint)];
    return cam < static_cast<int>(g_cameras.size()) ? cam : -1;
}

}  // namespace zv::track
