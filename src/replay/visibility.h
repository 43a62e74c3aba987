// Which history-driven riders are drawn and heard: riders without a recent
// history, stale network riders and, in a server race, riders that have
// wandered far off the course are hidden.
#pragma once

namespace zv::replay {

constexpr double k_default_off_course_bias = 10.0;   // seconds
constexpr double k_default_off_course_scale = 1.5;

// The server may change both; disconnecting brings back the defaults.
void set_off_course_parameters(double bias_seconds, double scale);
void reset_off_course_parameters();
double off_course_bias();
double off_course_scale();

// Who drives a slot, as the visibility test needs it.
enum class SlotDriver : unsigned char {
    empty,
    local,      // simulated here: the player or a computer rider
    replayed,   // a demo's rider
    remote,     // a network opponent
};

struct VisibilityContext {
    int tick = 0;                 // the current tick
    int race_start_tick = 0;
    bool on_server = false;       // this client holds a slot on a race server
    bool spectating = false;      // connected without a place in the race
    int own_slot = 160;           // this client's own rider (160: none)
    int viewed_slot = 160;
    // Who drives each slot; nullptr means every slot counts as replayed.
    const SlotDriver* drivers = nullptr;  // 160 entries
};

// The visibility test of one slot; gate times and standings come from the
// race rules, the newest received state from the network bookkeeping.
bool is_rider_hidden(int slot, const VisibilityContext& context);

// Off course at gate g: the time from the latest of the rider's last three
// gates before g (or the start) to its time at g or later (or now) is at
// least scale times the leading rider's time from g - 1 to g, plus the bias.
bool off_course_at_gate(int slot, int gate, int tick, int race_start_tick);

}  // namespace zv::replay
