#include "track/start_gate.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/messages.h"
#include "track/race_rules.h"
#include "track/scenery.h"
#include "track/timing.h"

namespace zv::track {

namespace {

std::vector<GateState> g_gates;
int g_hold = 0;             // ticks the local bike stays held at the start
bool g_penalized = false;   // one false start per race

constexpr int k_online_spectator_drop_delay = 127;  // ticks
constexpr int k_gate_contact_ticks = 10 * k_ticks_per_second;
constexpr float k_tick_seconds = 1.0f / static_cast<float>(k_ticks_per_second);

void match_gate_count()
{
    const std::size_t n = track_timing().gates.size();
    if (g_gates.size() != n)
        g_gates.resize(n);
}

}  // namespace

void reset_gate_states() { g_gates.assign(track_timing().gates.size(), GateState{}); }

const std::vector<GateState>& gate_states() { return g_gates; }

int gate_drop_tick()
{
    const RaceState& race = race_state();
    const long long drop = static_cast<long long>(race.start_tick) +
                           (race.online && !race.local_drives_rider ? k_online_spectator_drop_delay : 0);
    return static_cast<int>(std::min<long long>(drop, INT_MAX));
}

bool gate_contacts_active(int tick)
{
    return static_cast<long long>(tick) < static_cast<long long>(race_state().start_tick) + k_gate_contact_ticks;
}

void stamp_gate_touch(int gate, int tick)
{
    match_gate_count();
    if (gate >= 0 && gate < static_cast<int>(g_gates.size()))
        g_gates[static_cast<std::size_t>(gate)].touch_tick = tick;
}

void update_gate_drop(int tick)
{
    match_gate_count();
    const TrackTiming& t = track_timing();
    const int drop = gate_drop_tick();
    for (std::size_t i = 0; i < g_gates.size(); ++i) {
        GateState& g = g_gates[i];
        const int object = t.gates[i].object;
        const bool has_object = object >= 0 && object < track_object_count();
        if (tick < drop) {
            g.raise = 1;
            g.fall_speed = 0;
        } else if (g.touch_tick == tick || (has_object && track_object(object).last_contact_tick == tick)) {
            g.fall_speed = 0;  // a bike leans on it: the bar holds this tick
        } else {
            const float speed = g.fall_speed + k_gate_fall_accel * k_tick_seconds;
            g.raise = std::max(0.0f, g.raise - speed * k_tick_seconds);
            g.fall_speed = std::min(speed, k_gate_max_fall_speed);
        }
        if (has_object) {
            TrackObject& o = track_object(object);
            o.rotation = gate_rotation(o.angle, g.raise * k_gate_bar_angle);
        }
    }
}

float gate_bar_angle(int gate)
{
    if (gate < 0 || gate >= static_cast<int>(g_gates.size()))
        return k_gate_bar_angle;
    return g_gates[static_cast<std::size_t>(gate)].raise * k_gate_bar_angle;
}

std::array<float, 9> gate_rotation(float heading, float bar_angle)
{
    const float cy = std::cos(heading), sy = std::sin(heading);
    const float cx = std::cos(bar_angle), sx = std::sin(bar_angle);
    // R_y(heading) * R_x(bar)
    return {cy, sy * sx, sy * cx,
            0, cx, -sx,
            -sy, cy * sx, cy * cx};
}

bool false_start_tick(int tick, float distance_sq)
{
    const RaceState& race = race_state();
    if (!race.online)
        return false;
    if (!g_penalized && g_hold <= 0 && tick <= race.start_tick &&
        distance_sq >= k_false_start_distance_sq) {
        g_penalized = true;
        g_hold = static_cast<int>(std::min<long long>(
            static_cast<long long>(race.start_tick) + k_false_start_penalty_ticks - tick, INT_MAX));
        core::show_message("15 second false start penalty");
    }
    if (g_hold > 0) {
        --g_hold;
        return true;
    }
    return false;
}

int false_start_hold() { return g_hold; }

void reset_false_start()
{
    g_hold = 0;
    g_penalized = false;
}

}  // namespace zv::track
