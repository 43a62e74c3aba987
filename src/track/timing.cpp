#include "track/timing.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace zv::track {

namespace {

TrackTiming g_timing;

constexpr float k_start_row_spacing = 10.0f;   // between rows behind a gate
constexpr float k_start_row_offset = 0.0625f;  // the first row stands just behind the gate
constexpr float k_line_spacing = 5.0f;         // riders side by side without gates

}  // namespace

const TrackTiming& track_timing() { return g_timing; }
TrackTiming& mutable_track_timing() { return g_timing; }
void set_track_timing(TrackTiming timing) { g_timing = std::move(timing); }

void free_timing() { g_timing = TrackTiming{}; }

int lap_entry(const TrackTiming& t, long long p)
{
    if (p < 0 || !t.has_timing())
        return -1;
    const long long f = t.first_count();
    if (p < f)
        return t.first_lap[static_cast<std::size_t>(p)];
    return t.normal_lap[static_cast<std::size_t>((p - f) % t.normal_count())];
}

int checkpoint_at(const TrackTiming& t, long long p)
{
    const int e = lap_entry(t, p);
    if (e < 0)
        return -1;
    const int c = e % k_autopilot_skip_flag;
    return c < static_cast<int>(t.checkpoints.size()) ? c : -1;
}

const Checkpoint* checkpoint_of_position(const TrackTiming& t, long long p)
{
    const int c = checkpoint_at(t, p);
    return c < 0 ? nullptr : &t.checkpoints[static_cast<std::size_t>(c)];
}

bool is_lap_end(const TrackTiming& t, long long p)
{
    if (!t.has_timing())
        return false;
    const long long f = t.first_count();
    return p >= f - 1 && (p + 1 - f) % t.normal_count() == 0;
}

long long lap_end_position(const TrackTiming& t, long long lap)
{
    return t.first_count() - 1 + (lap - 1) * static_cast<long long>(t.normal_count());
}

int laps_completed(const TrackTiming& t, int position)
{
    if (!t.has_timing() || position < t.first_count())
        return 0;
    return (position - t.first_count()) / t.normal_count() + 1;
}

int checkpoints_into_lap(const TrackTiming& t, int position)
{
    if (!t.has_timing() || position < t.first_count())
        return std::max(position, 0);
    return (position - t.first_count()) % t.normal_count() + 1;
}

bool in_checkpoint_zone(const Checkpoint& c, float x, float z)
{
    const float dx = x - c.x;
    const float dz = z - c.z;
    return dx * dx + dz * dz <= c.radius * c.radius && dx * c.dir_x + dz * c.dir_z >= 0.0f;
}

float normalize_heading(float a)
{
    constexpr float pi = std::numbers::pi_v<float>;
    if (a >= -pi && a <= pi)
        return a;
    if (!std::isfinite(a))
        return 0.0f;
    const float u = (a + pi) / (2.0f * pi);
    return (u - std::floor(u)) * 2.0f * pi - pi;
}

StartPose start_position(const TrackTiming& t, int slot, float field_size)
{
    StartPose pose;
    if (slot < 0)
        slot = 0;
    if (t.gates.empty()) {
        pose.x = field_size / 2 + k_line_spacing * static_cast<float>(slot);
        pose.z = field_size / 2;
        return pose;
    }
    const int g = static_cast<int>(t.gates.size());
    const StartingGate& gate = t.gates[static_cast<std::size_t>(slot % g)];
    const float row = static_cast<float>(slot / g) + k_start_row_offset;
    pose.x = gate.x + std::sin(gate.heading) * row * k_start_row_spacing;
    pose.z = gate.z + std::cos(gate.heading) * row * k_start_row_spacing;
    pose.heading = gate.heading;
    return pose;
}

bool checkpoint_pose(const TrackTiming& t, long long p, const GroundGrid& ground,
                     CheckpointPose& out)
{
    const Checkpoint* c = checkpoint_of_position(t, p);
    if (!c)
        return false;
    out.x = c->x;
    out.z = c->z;
    out.heading = std::atan2(-c->dir_x, -c->dir_z);
    out.y = 0.0f;
    if (ground.side > 0 && ground.height && ground.cell_size > 0.0f) {
        // The sample at the truncated cell index, kept on the grid.
        auto index = [&](float v) {
            const float u = v / ground.cell_size;
            if (!(u > 0.0f))
                return 0;
            if (u >= static_cast<float>(ground.side - 1))
                return ground.side - 1;
            return static_cast<int>(u);
        };
        out.y = ground.height(index(c->x), index(c->z));
    }
    return true;
}

}  // namespace zv::track
