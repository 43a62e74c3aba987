#include "autopilot/start_procedure.h"

#include <algorithm>
#include <cmath>

namespace zv::autopilot {
namespace {

constexpr float k_tick_rate = 128;
constexpr float k_blip_min = 0.25f, k_blip_spread = 0.5f;    // s of full throttle
constexpr float k_pause_min = 2.0f, k_pause_spread = 0.5f;   // s between blips
constexpr float k_first_pause_spread = 2.0f;
constexpr float k_hold_min = 0.125f, k_hold_spread = 0.375f; // s closed after the ready signal
constexpr float k_launch_seconds = 2.0f;                     // full throttle after the launch
constexpr float k_clutch_out_seconds = 0.25f;
constexpr float k_governed_after_start = 5.0f;

int ticks(float seconds) { return static_cast<int>(std::floor(seconds * k_tick_rate)); }

float draw(const std::function<float()>& rand)
{
    float r = rand ? rand() : 0.0f;
    return std::isfinite(r) ? std::clamp(r, 0.0f, 1.0f) : 0.0f;
}

}  // namespace

int ready_signal_tick(int start_tick) { return start_tick - k_ready_signal_lead_ticks; }

StartPlan plan_start(int start_tick, int ready_tick, float reaction_low, float reaction_high,
                     const std::function<float()>& rand)
{
    StartPlan plan;
    plan.start_tick = start_tick;
    plan.ready_tick = std::min(ready_tick, start_tick);
    // Times in seconds of race clock from its zero.
    const float ready = static_cast<float>(plan.ready_tick) / k_tick_rate;
    float t = 0;
    float pause = k_first_pause_spread * draw(rand);
    while (t + pause < ready && plan.blip_count < k_max_start_blips) {
        float on = t + pause;
        float off = on + k_blip_min + k_blip_spread * draw(rand);
        plan.blip_on[static_cast<size_t>(plan.blip_count)] = ticks(on);
        plan.blip_off[static_cast<size_t>(plan.blip_count)] = std::min(ticks(off), plan.ready_tick);
        ++plan.blip_count;
        t = off;
        pause = k_pause_min + k_pause_spread * draw(rand);
    }
    plan.rev_tick = plan.ready_tick + ticks(k_hold_min + k_hold_spread * draw(rand));
    float reaction = reaction_low + draw(rand) * (reaction_high - reaction_low);
    plan.launch_tick = start_tick + ticks(std::max(0.0f, reaction));
    return plan;
}

bool start_procedure(const StartPlan& plan, int tick, const sim::Bike& bike, sim::RiderInput& out)
{
    const int launch_end = plan.launch_tick + ticks(k_launch_seconds);
    if (tick >= launch_end || tick >= plan.start_tick + ticks(k_governed_after_start))
        return false;
    if (bike.knocked_off())
        return false;
    if (tick < plan.launch_tick) {
        // Held: clutch in, both brakes on, first gear.
        bool open = false;
        if (tick < plan.ready_tick) {
            for (int b = 0; b < plan.blip_count; ++b)
                if (tick >= plan.blip_on[static_cast<size_t>(b)] && tick < plan.blip_off[static_cast<size_t>(b)])
                    open = true;
        } else {
            open = tick >= plan.rev_tick;
        }
        out.throttle = open ? 1.0f : 0.0f;
        out.clutch = 1;
        out.front_brake = out.rear_brake = 1;
        out.steer = 0;
        out.lean = 0;
        out.back_up = 0;
        // The gearbox acts on a change of the input: every other tick asks
        // for one gear down until first.
        out.shift = bike.controls.gear > 0 && (tick & 1) ? -1.0f : 0.0f;
        return true;
    }
    // Launch: full throttle, brakes off, the clutch let out evenly.
    float since = static_cast<float>(tick - plan.launch_tick) / k_tick_rate;
    out.throttle = 1;
    out.front_brake = out.rear_brake = 0;
    out.clutch = std::clamp(1 - since / k_clutch_out_seconds, 0.0f, 1.0f);
    out.back_up = 0;
    return true;
}

float start_random(std::uint32_t& state)
{
    // A 32-bit linear congruential step; the top 24 bits make the fraction.
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 16777216.0f;
}

bool start_procedure(const sim::Bike& bike, float reaction_min, float reaction_max, int tick, int start_tick,
                     int ready_tick, StartProcedureState& state, sim::RiderInput& out)
{
    if (!state.planned) {
        if (state.random == 0)
            state.random = 1;
        state.plan = plan_start(start_tick, ready_tick, reaction_min, reaction_max,
                                [&state] { return start_random(state.random); });
        state.planned = true;
    }
    if (start_procedure(state.plan, tick, bike, out))
        return true;
    if (!bike.knocked_off() && tick >= state.plan.launch_tick) {
        out.throttle = 1;
        out.front_brake = out.rear_brake = 0;
        out.clutch = 0;
    }
    return false;
}

}  // namespace zv::autopilot
