// The race: every rider slot's timing (its lap position and the tick of each
// passage), the per-tick passage test, the running and final standings, timed
// races, the finish, the cutting penalty, and putting a rider back onto the
// course. One race at a time, process-wide; it runs inside the race tick.
//
// The simulation hands in plain values (the front wheel's centre, the tick);
// the race set-up registers the occupied slots with begin_race / set_rider.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "track/timing.h"

namespace zv::track {

struct Terrain;

constexpr int k_rider_slots = 160;
constexpr int k_no_slot = 160;
constexpr int k_laps_unknown = 1000000;        // K and H of a timed race until known
// Lap positions a rider can reach (1000 laps of 256 checkpoints fit); bounds
// the crossing-tick arrays against a hostile gate index from the network.
constexpr int k_max_lap_positions = 1 << 18;
constexpr int k_replayed_stale_ticks = 10 * k_ticks_per_second;
constexpr int k_remote_stale_ticks = 1 * k_ticks_per_second;

// Who moves a rider: this machine (local rider, robot) or recorded / received
// data (a demo's rider, a network opponent).
enum class RiderSource : std::uint8_t { local, robot, replayed, remote };

struct RaceSetup {
    int start_tick = 0;          // S: the gate drops
    int time_limit_ticks = 0;    // T: 0 for a race of laps only
    int laps = 0;                // L: the race's laps, or the extra laps of a timed race
    bool online = false;
    bool local_drives_rider = true;  // online: this machine has a place in the race
    std::string track_name;      // the folder name, for the results file
};

struct RiderEntry {
    RiderSource source = RiderSource::local;
    std::string number;          // the rider number text
    std::string bike_name;
};

struct RiderTiming {
    int position = 0;            // r: the next lap position to pass
    std::vector<int> ticks;      // crossing tick per lap position, -1 = passed over
    bool finished = false;
};

struct Standing {
    int slot = 0;
    int position = 0;
    int tick = 0;                // crossing tick at position - 1 (+ penalty in the final list)
    int penalty_ticks = 0;       // final list: cutting penalty left after laps were taken
    int laps_deducted = 0;       // final list
};

struct RaceState {
    int start_tick = 0;          // S
    int time_limit_ticks = 0;    // T
    int extra_laps = 0;          // L
    int race_laps = 0;           // K
    int halfway_lap = 0;         // H
    bool online = false;
    bool local_drives_rider = true;
    std::string track_name;
    std::array<bool, k_rider_slots> in_use{};
    std::array<RiderEntry, k_rider_slots> entries{};
    std::array<RiderTiming, k_rider_slots> riders{};
    std::array<int, k_rider_slots> last_data_tick{};  // replayed / remote riders
    std::vector<Standing> running;
    std::vector<Standing> final_list;
    bool final_exists = false;
};

// ---- set-up ----
// Starts a race: parameters set, every slot empty with position 0, no final
// list, gate states up and the false-start hold cleared.
void begin_race(const RaceSetup& setup);
void set_rider(int slot, const RiderEntry& entry);  // marks the slot in use
void clear_rider(int slot);
// A replayed or remote rider's data reached this tick.
void note_rider_data(int slot, int tick);
const RaceState& race_state();

// ---- per tick ----
// Tests the rider's front wheel (x, z) against the checkpoints around its lap
// position and stamps an accepted passage with tick.
void update_timing(int slot, float front_x, float front_z, int tick);
// Rebuilds the running standings, settles a timed race's laps and, when every
// rider is done, makes the final list and writes "@results.txt". Does nothing
// once the final list exists.
void update_standings(int tick);

// ---- queries ----
bool has_final_standings();
const std::vector<Standing>& running_standings();
const std::vector<Standing>& final_standings();
int rider_position(int slot);
int laps_completed(int slot);
int checkpoints_into_lap(int slot);
int crossing_tick(int slot, long long position);  // -1 when missing or passed over
// Lap k (>= 1) in ticks; 0 when either end is missing.
int lap_time_ticks(int slot, int lap);
struct BestLap {
    int lap = 0;     // 0 when none
    int ticks = 0;
};
// Fastest of laps 2 onwards (the earlier on a tie); lap 1 never counts.
BestLap best_lap(int slot);
// The last lap end of the race (F + N (K - 1) - 1; 0 when K is 0).
long long final_lap_end();
// The finished test: sets the rider's flag once it has finished.
bool is_finished(int slot);
// Ticks added for the sections the rider cut short.
int cutting_penalty(int slot);

// ---- outside changes ----
// A passage reported from elsewhere (the race server): position gate_index is
// stamped with tick and the rider's position becomes gate_index + 1.
void set_gate_time(int slot, int gate_index, int tick);
// Rewinding a demo: passages after tick are forgotten, the final list too.
void drop_passages_after(int tick);
// Cuts the rider back to position p: the crossing ticks keep their first p
// entries; the finished flag clears when p is below the former position.
void set_rider_position(int slot, int position);
// Puts the rider at the checkpoint of lap position p: sets its timing as
// set_rider_position and gives the pose for the simulation to apply.
bool place_at_checkpoint(int slot, int position, const GroundGrid& ground, CheckpointPose& out);
// The same on the loaded terrain's height samples.
bool place_at_checkpoint(int slot, int position, const Terrain& terrain, CheckpointPose& out);
// Where a time-trial attempt restarts: the second-to-last checkpoint of the
// first lap (max(F - 2, 0)).
int restart_position();

}  // namespace zv::track
