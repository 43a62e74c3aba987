// Fork and shock: spring-and-damper forces computed each tick from the joint
// readings and handed to the slider and pivot motors.
#pragma once

#include "sim/bike.h"

namespace zv::sim {

// Damper with high-speed coefficients (c) and low-speed offsets (l); v < 0
// compresses. The offset never takes the force past 1/8 or 8 times the
// linear force.
float damper_force(float v, float c_compression, float l_compression, float c_rebound, float l_rebound);

// Air column of length travel + gap compressed by x: 82.46169 ((L/(L-x))^1.4 - 1).
float air_spring_force(float x, float travel, float gap);

struct LinkagePoint {
    float compression;  // shock compression, ft
    float slope;        // d compression / d travel fraction
};
LinkagePoint linkage_curve(const BikeInfo& info, float fraction);

// The fork's setup-dependent values.
struct ForkValues {
    float spring, preload, gap;
    float c_c, l_c, c_r, l_r;
};
ForkValues fork_values(const Bike& bike);
ForkValues shock_values(const Bike& bike);  // gap unused

// Net fork force at slider position q (<= 0) moving at q_rate.
float fork_force(const Bike& bike, float q, float q_rate);
// Shock torque at the pivot for swingarm angle theta (<= 0) and rate.
float shock_torque(const Bike& bike, float theta, float theta_rate);

// Reads the slider and the pivot, sets both motors.
void suspension_step(Bike& bike);

}  // namespace zv::sim
