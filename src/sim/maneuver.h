// Scripted riding for the test bench and the tests: a flat test field,
// bikes placed side by side or at a track's start positions, and four
// maneuvers (rest, launch, brake, ride) with what they measured.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/control.h"
#include "sim/setup.h"
#include "sim/vec.h"
#include "track/terrain.h"

namespace zv::sim {

enum class Maneuver { rest, launch, brake, ride };
const char* maneuver_name(Maneuver m);
std::optional<Maneuver> parse_maneuver(std::string_view name);

// A flat field of the default surface: (2^(exponent+1) + 1)^2 samples at
// height 0, one default tile.
track::Terrain make_flat_field(int exponent = 8, float cell_size = 4.0f);

struct StartPose {
    Vec3 position;   // ground point under the bike
    float heading;   // radians about world y; 0 faces world -z
};

// Side-by-side start positions in the middle of the field, 8 ft apart.
std::vector<StartPose> side_by_side(const track::Terrain& field, int riders);

// The setup the bench rides with: the configuration's defaults with
// automatic shifting and the wheelie cut (as computer riders use).
RiderSetup bench_setup();

struct ManeuverOptions {
    std::string model = "450sxf(2017)";
    Maneuver maneuver = Maneuver::rest;
    float seconds = 20;       // maneuver time after the settling period
    RiderSetup setup = bench_setup();
    bool stop_when_done = true;  // a braking rider is done once stopped
    bool objects = false;        // also collide with the loaded track's objects
    // Called each tick with the contacts made, before the world moves, and
    // after it moved (the ground's roost and erosion ride along this way).
    std::function<void(std::span<Bike* const> bikes, int tick)> before_step;
    std::function<void(std::span<Bike* const> bikes, int tick)> after_step;
};

struct RiderReport {
    std::string model;
    float max_speed_mph = 0;
    std::optional<float> time_to_30mph_s;
    std::optional<float> time_to_60mph_s;
    std::optional<float> stop_distance_ft;
    int knockouts = 0;
    float max_abs_lean_deg = 0;
    float fork_sag_mm = 0;
    float shock_sag_mm = 0;
    float max_rpm = 0;
    int final_gear = 1;       // 1-based
    bool nan = false;
};

struct ManeuverReport {
    int ticks = 0;
    double wall_seconds = 0;
    double realtime_factor = 0;
    std::vector<RiderReport> riders;
};

// The settling time before every maneuver (the sag is measured at its end).
constexpr float k_settle_seconds = 2.0f;

// Runs the maneuver for every start pose on the terrain. Every rider gets
// the same model, setup and script.
ManeuverReport run_maneuver(const track::Terrain& terrain, std::span<const StartPose> starts,
                            const ManeuverOptions& options);

// The rider input of a maneuver at a moment (exposed for tests).
struct ManeuverState {
    bool braking = false;
    bool done = false;
    bool stalled = false;  // the launch gains no more speed (a bike that never reaches 40 mph)
};
RiderInput maneuver_input(Maneuver m, float speed_mph, ManeuverState& state);

}  // namespace zv::sim
