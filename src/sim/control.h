// The rider's controls and the stability aids: input to controls, steering
// (direct torque blended with a roll-rate servo), arcade physics, steering
// damping, the rider's body springs, the automatic dab, the dab assist and
// walking the bike backwards.
#pragma once

#include "sim/bike.h"

namespace zv::sim {

struct SimWorld;

// The nine control values of a tick.
struct RiderInput {
    float steer = 0;
    float throttle = 0;
    float front_brake = 0;
    float rear_brake = 0;
    float shift = 0;
    float clutch = 0;      // lever, 1 = fully pulled
    float sit_dab = 0;
    float back_up = 0;
    float lean = 0;
};

// Turns one tick's input into the bike's controls (clamping, sticky dab,
// clutch re-engagement, shifting on change).
void apply_input(Bike& bike, const RiderInput& input);
// Computer riders set single controls through these; each clamps.
void set_throttle(Bike& bike, float v);
void set_brakes(Bike& bike, float front, float rear);
void set_steer(Bike& bike, float v);
void set_clutch_engagement(Bike& bike, float v);
void request_shift(Bike& bike, int shift);
// The false-start hold: brakes on, foot down, clutch out, no throttle.
void hold_controls(Bike& bike);

// Lean range of the roll servo at a speed (power 4) and of the dab assist
// (power 32, times 1.25).
float lean_range(float speed, float dab_speed, float roll_limit, int power);
// The largest speed at which the dab aids act (ft/s).
float dab_speed_limit(const Bike& bike);

// Realign After Fall: the direction the course runs near a point, as a
// horizontal unit vector; false where unknown. The computer riders' recorded
// lines provide it; without a source the aid rests.
using CourseDirection = bool (*)(Vec3 position, Vec3& direction);
void set_course_direction_source(CourseDirection source);
// Seconds after the rider is back on during which the realignment may act.
constexpr float k_realign_seconds = 5.0f;
// Turns a slow bike whose rider just got back on toward the course.
// Returns whether it acted.
bool realign_step(SimWorld& world, Bike& bike);

// Parts of the bike step.
void rider_springs_step(SimWorld& world, Bike& bike);
void steering_step(SimWorld& world, Bike& bike);
void arcade_step(SimWorld& world, Bike& bike);
void steering_damping_step(Bike& bike);
// Automatic dab or back-up mode; may hold the brakes for this tick.
void dab_or_back_up_step(SimWorld& world, Bike& bike);
void dab_assist_step(SimWorld& world, Bike& bike);

}  // namespace zv::sim
