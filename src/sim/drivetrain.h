// Engine, clutch, gearbox and brakes: one rotating engine mass coupled to the
// rear wheel through a torsional spring-and-damper driveline.
#pragma once

#include "sim/bike.h"

namespace zv::sim {

// Curve torque at an engine speed (rad/s) for a throttle 0..1.
float engine_torque(const BikeInfo& info, float engine_speed, float throttle);
// The same with the stop-wheelies cut of the bike applied.
float bike_engine_torque(const Bike& bike);

// Gear after a change by delta: clamped to 0..5, then lowered past missing gears.
int shifted_gear(const BikeInfo& info, int gear, int delta);
// Engine turns per rear-wheel turn in the current gear.
float overall_ratio(const Bike& bike);

// Clutch engagement from the lever's engagement, the engine speed and the
// auto clutch speed (rpm).
float clutch_engagement(float clutch, float engine_rpm, float auto_clutch_rpm);

// Wraps an angle to (-pi, pi].
float wrap_angle(float a);

struct DrivelineResult {
    float engagement;
    float torque;        // driveline torque before the clutch square
    float transmitted;   // applied to the wheel
};
// One tick of the driveline given the rear wheel angle and rate; updates the
// engine speed and the reference angle, returns what it transmitted. Does
// not touch ODE (the caller applies the torque).
DrivelineResult driveline_update(Bike& bike, float wheel_angle, float wheel_rate);

// Automatic shifting check (every 32 ticks).
void auto_shift_step(Bike& bike, int tick);
// The drivetrain of the bike step: automatic shifting, driveline, torques.
void drivetrain_step(Bike& bike, int tick);
// Brake torques on the axle motors (antilock, stop-wheelies release).
void brake_step(Bike& bike);

}  // namespace zv::sim
