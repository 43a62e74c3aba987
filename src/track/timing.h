// The track's timing data: starting gates, checkpoints and the lap sequence
// (the order in which checkpoints are passed on the first lap and on every
// later lap), with the queries on lap positions, start positions and the
// pose of a rider put back onto the course. One table per loaded track,
// filled by read_timing_gates and released by free_timing.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zv::track {

constexpr int k_ticks_per_second = 128;
constexpr int k_max_starting_gates = 160;
constexpr int k_max_checkpoints = 256;
constexpr int k_max_lap_entries = 256;     // per list (first lap, normal lap)
// Added to a lap entry that the auto pilot's segment tables leave out; for
// timing the entry is the same checkpoint.
constexpr int k_autopilot_skip_flag = 100000;

constexpr const char* k_default_gate_model = "@startgate.jm";
constexpr const char* k_default_gate_texture = "@startgate.ppm";
constexpr const char* k_default_gate_shape = "@startgate.shp";

// A bike standing at a gate faces -(sin heading, cos heading) in (x, z); the
// gate object stands 3 units further that way.
struct StartingGate {
    float x = 0, y = 0, z = 0;  // y: the gate object's height
    float heading = 0;          // radians, in [-pi, pi]
    int object = -1;            // index in the track object list, -1 when none
    std::string model = k_default_gate_model;    // "" = none
    std::string texture = k_default_gate_texture;
    std::string shape = k_default_gate_shape;
};

// Only the horizontal parts (x, z) of centre and direction are used. The
// direction points the way riders travel through the checkpoint.
struct Checkpoint {
    float radius = 0;
    float x = 0, y = 0, z = 0;
    float dir_x = 0, dir_y = 0, dir_z = 0;
};

struct TrackTiming {
    std::vector<StartingGate> gates;
    std::vector<Checkpoint> checkpoints;
    std::vector<int> first_lap;    // F entries: checkpoint number (+ skip flag)
    std::vector<int> normal_lap;   // N entries
    int first_lap_autopilot = 0;   // entries below the skip flag, per list
    int normal_lap_autopilot = 0;

    // Laps, standings and results exist only with timing.
    bool has_timing() const
    {
        return !checkpoints.empty() && !first_lap.empty() && !normal_lap.empty() &&
               first_lap_autopilot > 0 && normal_lap_autopilot > 0;
    }
    int first_count() const { return static_cast<int>(first_lap.size()); }
    int normal_count() const { return static_cast<int>(normal_lap.size()); }
};

// ---- the loaded track's table ----
const TrackTiming& track_timing();
TrackTiming& mutable_track_timing();        // the editor's and the tests' way in
void set_track_timing(TrackTiming timing);
// Releases the checkpoint table and lap sequence and forgets the gates (their
// objects belong to the track object list). The track's free_track calls it.
void free_timing();

// ---- lap positions ----
// Position p counts the passages since the start: p < F is entry p of the
// first-lap list, p >= F entry (p - F) mod N of the normal-lap list.
// Lap k ends at position F - 1 + (k - 1) N.
int lap_entry(const TrackTiming& t, long long p);        // raw entry; -1 when none
int checkpoint_at(const TrackTiming& t, long long p);    // checkpoint number; -1 when none
const Checkpoint* checkpoint_of_position(const TrackTiming& t, long long p);
bool is_lap_end(const TrackTiming& t, long long p);
long long lap_end_position(const TrackTiming& t, long long lap);  // lap >= 1
int laps_completed(const TrackTiming& t, int position);
int checkpoints_into_lap(const TrackTiming& t, int position);
// The front wheel at (x, z) is in the zone of c: inside its radius and not
// behind its plane.
bool in_checkpoint_zone(const Checkpoint& c, float x, float z);

// Brings an angle into [-pi, pi]: frac((a + pi) / 2pi) * 2pi - pi.
float normalize_heading(float a);

// ---- placing riders ----
struct StartPose {
    float x = 0, z = 0;
    float heading = 0;  // the bike faces -(sin, cos)
};
// With G gates slot s takes gate s mod G, row s / G; without gates the riders
// stand in a line across the middle of the field. The height comes from the
// ground (the simulation drops the bike onto it).
StartPose start_position(const TrackTiming& t, int slot, float field_size);

// The terrain's height samples as the placement needs them.
struct GroundGrid {
    int side = 0;           // samples per side
    float cell_size = 1;
    std::function<float(int i, int j)> height;  // sample (i along x, j along z)
};

struct CheckpointPose {
    float x = 0, y = 0, z = 0;  // y: the ground sample nearest the centre
    float heading = 0;          // the bike faces along the checkpoint direction
};
// The pose at the checkpoint of lap position p (false when there is none).
// The simulation raises the bike in steps of 0.25 until it touches nothing.
bool checkpoint_pose(const TrackTiming& t, long long p, const GroundGrid& ground,
                     CheckpointPose& out);

}  // namespace zv::track
