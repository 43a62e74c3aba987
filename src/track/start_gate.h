// The start: the starting gates' bars dropping at the start tick, and the
// false-start rule of online races.
#pragma once

#include <array>
#include <vector>

namespace zv::track {

constexpr float k_gate_bar_angle = 0.5890486f;    // 3 pi / 16: bar fully up
constexpr float k_gate_fall_accel = 32.0f;        // per second squared
constexpr float k_gate_max_fall_speed = 8.0f;
constexpr int k_false_start_penalty_ticks = 15 * 128;
constexpr float k_false_start_distance_sq = 9.0f;  // 3 units from the start position

struct GateState {
    float raise = 1;         // 1 up, 0 down
    float fall_speed = 0;    // per second
    int touch_tick = -1;     // last tick a bike touched the gate object
};

// One state per starting gate of the loaded track, all up (begin_race calls it).
void reset_gate_states();
const std::vector<GateState>& gate_states();
// The tick the gates drop: S, or S + 127 online when this machine drives no rider.
int gate_drop_tick();
// Bikes are tested against the gate objects until 10 seconds after S.
bool gate_contacts_active(int tick);
// A bike touched the gate object this tick: the bar holds for this tick.
void stamp_gate_touch(int gate, int tick);
// Moves every gate for this tick: a gate whose object was touched this tick
// (its last contact tick, or stamp_gate_touch) holds; the others fall. Then
// each gate object's rotation is set so that the bar stands turned.
void update_gate_drop(int tick);
// How far the gate object's bar (and its collision shape) is turned about the
// gate's own x axis, in radians.
float gate_bar_angle(int gate);
// Row-major rotation of a gate object: about y by the heading, then the bar
// about the object's own x axis (world = rotation * local). The object keeps
// its shape in object coordinates, so contacts that apply the object's
// rotation turn the shape with the bar.
std::array<float, 9> gate_rotation(float heading, float bar_angle);

// Online races, the local rider: before the start (tick <= S), moving 3 units
// or more from the start position gives a 15 second penalty ("15 second false
// start penalty" on the message lines). Returns true while the bike must be
// held in its waiting state at the start this tick.
bool false_start_tick(int tick, float distance_sq);
int false_start_hold();   // ticks the bike is still held
void reset_false_start(); // begin_race calls it

}  // namespace zv::track
