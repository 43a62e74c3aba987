#include "replay/visibility.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "replay/history.h"
#include "track/race_rules.h"

namespace zv::replay {

namespace {

constexpr int k_ticks_per_second = 128;
constexpr double k_tick_seconds = 1.0 / k_ticks_per_second;
constexpr int k_last_gates = 4;   // the gates a rider is judged on

double g_bias = k_default_off_course_bias;
double g_scale = k_default_off_course_scale;

SlotDriver driver_of(const VisibilityContext& c, int slot)
{
    return c.drivers ? c.drivers[slot] : SlotDriver::replayed;
}

// Off course at any of the rider's last up to four gates: max(1, n - 3) .. n
// with n the gates passed (n itself is the gate it is heading for).
bool off_course_lately(int slot, int tick, int start_tick)
{
    const int n = track::rider_position(slot);
    for (int g = std::max(1, n - (k_last_gates - 1)); g <= n; ++g)
        if (off_course_at_gate(slot, g, tick, start_tick))
            return true;
    return false;
}

}  // namespace

void set_off_course_parameters(double bias_seconds, double scale)
{
    g_bias = bias_seconds;
    g_scale = scale;
}

void reset_off_course_parameters()
{
    g_bias = k_default_off_course_bias;
    g_scale = k_default_off_course_scale;
}

double off_course_bias() { return g_bias; }
double off_course_scale() { return g_scale; }

bool off_course_at_gate(int slot, int gate, int tick, int race_start_tick)
{
    if (gate < 1)
        return false;
    long long b = race_start_tick;
    for (int g = gate - 1; g >= std::max(0, gate - 3); --g)
        if (int t = track::crossing_tick(slot, g); t != -1) {
            b = t;
            break;
        }
    long long c = tick;
    for (int g = gate, end = track::rider_position(slot); g < end; ++g)
        if (int t = track::crossing_tick(slot, g); t != -1) {
            c = t;
            break;
        }
    // The first rider in race order through gate g with both its times.
    for (const track::Standing& s : track::running_standings()) {
        if (track::rider_position(s.slot) <= gate)
            return false;
        const int t0 = track::crossing_tick(s.slot, gate - 1);
        const int t1 = track::crossing_tick(s.slot, gate);
        if (t0 == -1 || t1 == -1)
            continue;
        const double leader = static_cast<double>(t1 - t0) * k_tick_seconds;
        return static_cast<double>(c - b) * k_tick_seconds >= g_scale * leader + g_bias;
    }
    return false;
}

bool is_rider_hidden(int slot, const VisibilityContext& c)
{
    if (slot < 0 || slot >= k_history_slots)
        return true;
    const SlotDriver d = driver_of(c, slot);
    if (d == SlotDriver::empty)
        return true;
    if (d == SlotDriver::local)
        return c.spectating && slot != c.viewed_slot;

    // A history that does not reach within a second of now.
    std::optional<Bracket> b = bracket_tick(slot, c.tick);
    if (!b)
        return true;
    const SlotHistory& h = *slot_history(slot);
    const long long now = c.tick;
    if (now < static_cast<long long>(h.ring[static_cast<std::size_t>(b->older)].tick) - k_ticks_per_second ||
        now > static_cast<long long>(h.ring[static_cast<std::size_t>(b->newer)].tick) + k_ticks_per_second)
        return true;

    if (!c.on_server || c.own_slot < 0 || c.own_slot >= k_history_slots)
        return false;

    if (d == SlotDriver::remote && slot != c.own_slot) {
        const SlotNetwork* n = slot_network(slot);
        // Tick numbers wrap as the server counts them; a state stamped ahead
        // of this client's clock is fresh.
        const auto age = static_cast<std::int32_t>(static_cast<std::uint32_t>(c.tick) - n->newest_tick);
        if (!n->received || age >= k_ticks_per_second)
            return true;
    }

    if (track::running_standings().size() < 2 ||
        static_cast<double>(now - c.race_start_tick) * k_tick_seconds < g_bias)
        return false;
    const int own = c.own_slot;
    if (track::is_finished(own) || off_course_lately(own, c.tick, c.race_start_tick))
        return false;
    return track::is_finished(slot) || off_course_lately(slot, c.tick, c.race_start_tick);
}

}  // namespace zv::replay
