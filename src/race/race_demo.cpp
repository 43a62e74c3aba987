#include "race/race_demo.h"

#include <algorithm>
#include <array>
#include <vector>

#include "autopilot/roster.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/log.h"
#include "race/hooks.h"
#include "race/race_tick.h"
#include "race/riders.h"
#include "race/session.h"
#include "race/time_trial.h"
#include "replay/demo_player.h"
#include "replay/demo_writer.h"
#include "replay/history.h"
#include "replay/pose.h"
#include "replay/state_record.h"
#include "sim/bike.h"
#include "track/race_rules.h"
#include "track/terrain.h"
#include "track/timing.h"
#include "track/track.h"

namespace zv::race {

namespace {

// A replayed rider's effect level rises this fast while its record says so
// and falls at the bike model's own rate otherwise (per second).
constexpr float k_effect_rise = 8.0f;
constexpr float k_effect_fall = 4.0f;
// Time-trial ghosts ride in slots 1 onwards.
constexpr int k_first_ghost_slot = 1;

struct RaceDemo {
    replay::DemoRecorder recorder;
    replay::DemoPlayer player;
    std::array<bool, k_rider_slot_count> ghost{};
    std::array<float, k_rider_slot_count> effect{};
    // The time-trial ghost: its lap and the player's start at these
    // positions; the ghost's gates are noted at the start of every tick.
    int ghost_start = 0;
    int ghost_gates = 0;
    int player_start = 0;
    int lap_slot = -1;  // a lap was timed for this slot this tick
};

RaceDemo& demo()
{
    static RaceDemo d;
    return d;
}

sim::SimWorld* world() { return physics_world(); }
int clock_tick() { return world() ? world()->tick : 0; }

// Puts a history-driven rider into the pose its history gives.
void pose_rider(const replay::Pose& pose, void*)
{
    if (pose.slot < 0 || pose.slot >= k_rider_slot_count || !track::track_loaded())
        return;
    RiderSlot& r = rider_slot(pose.slot);
    if (!r.bike || r.kind != k_rider_history)
        return;
    replay::apply_record_to_bike(*r.bike, pose.record, track::loaded_terrain());
    const replay::DriveState d = replay::decode_drive(pose.record.bytes[replay::k_at_drive]);
    float& level = demo().effect[static_cast<std::size_t>(pose.slot)];
    if (d.effect || d.crashed())
        level = std::min(1.0f, level + k_effect_rise / k_ticks_per_second);
    else
        level = std::max(0.0f, level - k_effect_fall / k_ticks_per_second);
}

// How a rider simulated here is described in the header.
replay::DemoRider describe(int slot)
{
    const RiderSlot& r = rider_slot(slot);
    replay::DemoRider d;
    d.bike = r.bike->info.name;
    d.rider_texture = r.bike->rider_texture;
    d.bike_texture = r.bike->bike_texture;
    d.wheel_texture = r.bike->wheel_texture;
    d.head_texture = r.bike->head_texture;
    d.number = r.bike->number;
    d.name = r.kind == k_rider_local ? core::settings().name.text : autopilot::k_robot_name;
    return d;
}

// The header of a recording of the race as loaded: its riders are the ones
// simulated here, in slot order.
replay::DemoHeader recording_header(std::vector<int>& slots)
{
    replay::DemoHeader header;
    const track::RaceState& race = track::race_state();
    header.race_length_ticks = race.time_limit_ticks;
    header.laps = race.extra_laps;
    header.start_tick = race.start_tick;
    header.track = track::current_track();
    slots.clear();
    for (int slot = 0; slot < k_rider_slot_count; ++slot) {
        const RiderSlot& r = rider_slot(slot);
        if (r.bike && r.kind != k_rider_history) {
            header.riders.push_back(describe(slot));
            slots.push_back(slot);
        }
    }
    return header;
}

void begin_recording(bool time_trial, int demo_backups)
{
    replay::RecordingSetup setup;
    setup.header = recording_header(setup.slots);
    setup.time_trial = time_trial;
    setup.demo_backups = demo_backups;
    if (!replay::begin_demo_recording(demo().recorder, setup))
        platform::log_printf("Demo recording not started\n");
}

// Samples the riders simulated here now (the history skips ticks that
// already hold a record) so that a forced block carries the latest states.
void sample_local_riders(int tick)
{
    if (!track::track_loaded())
        return;
    const track::Terrain& terrain = track::loaded_terrain();
    for (int slot = 0; slot < k_rider_slot_count; ++slot) {
        const RiderSlot& r = rider_slot(slot);
        if (r.bike && r.kind != k_rider_history)
            replay::add_state_to_history(slot, replay::sample_state(*r.bike, terrain), tick);
    }
}

void end_recording()
{
    RaceDemo& d = demo();
    if (!replay::is_recording(d.recorder))
        return;
    const int tick = clock_tick();
    sample_local_riders(tick);
    if (!replay::end_demo_recording(d.recorder, tick))
        platform::log_printf("Demo %s not kept whole\n", d.recorder.file_name.c_str());
}

// Makes a history-driven rider for a listed demo rider, set in the slot's
// starting gate until its first pose.
bool create_replayed_rider(int slot, const replay::DemoRider& rider)
{
    sim::SimWorld* w = world();
    if (!w || !track::track_loaded())
        return false;
    RiderSlot& r = rider_slot(slot);
    r.bike = sim::create_bike(*w, rider.bike, slot, rider.number, rider.rider_texture, rider.head_texture,
                              rider.bike_texture, rider.wheel_texture);
    if (!r.bike)
        return false;
    r.kind = k_rider_history;
    r.personality.clear();
    r.progress_tick = 0;
    const track::Terrain& terrain = track::loaded_terrain();
    track::StartPose p = track::start_position(track::track_timing(), slot, terrain.field_size);
    sim::place_bike(*r.bike, {p.x, track::terrain_height(terrain, p.x, p.z) + 0.1f, p.z}, p.heading);
    r.start = sim::body_position(r.bike->body(sim::k_frame));
    r.start_heading = p.heading;
    track::RiderEntry entry;
    entry.source = track::RiderSource::replayed;
    entry.number = rider.number;
    entry.bike_name = r.bike->info.name;
    track::set_rider(slot, entry);
    demo().effect[static_cast<std::size_t>(slot)] = 0;
    if (race_hooks().bike_created)
        race_hooks().bike_created(slot);
    return true;
}

// The demo's riders take free slots from `first` on, in list order.
void bring_in_riders(int first, bool ghosts)
{
    RaceDemo& d = demo();
    std::vector<int> slots;
    int slot = first;
    for (const replay::DemoRider& rider : d.player.header.riders) {
        while (slot < k_rider_slot_count && rider_slot(slot).bike)
            ++slot;
        if (slot >= k_rider_slot_count || !create_replayed_rider(slot, rider)) {
            slots.push_back(k_no_rider);
            continue;
        }
        d.ghost[static_cast<std::size_t>(slot)] = ghosts;
        slots.push_back(slot++);
    }
    replay::set_demo_slots(d.player, slots);
}

void remove_ghosts()
{
    RaceDemo& d = demo();
    for (int slot = 0; slot < k_rider_slot_count; ++slot) {
        if (!d.ghost[static_cast<std::size_t>(slot)])
            continue;
        d.ghost[static_cast<std::size_t>(slot)] = false;
        RiderSlot& r = rider_slot(slot);
        if (!r.bike)
            continue;
        if (race_hooks().slot_emptied)
            race_hooks().slot_emptied(slot);
        r.bike.reset();
        r.kind = k_rider_history;
        track::clear_rider(slot);
    }
}

// The player's slot, or -1.
int local_slot()
{
    for (int slot = 0; slot < k_rider_slot_count; ++slot)
        if (rider_slot(slot).bike && rider_slot(slot).kind == k_rider_local)
            return slot;
    return -1;
}

// A completed time-trial lap: the ghost is replaced when the player beat it
// (or there is none), the best lap starts again as the ghost with the
// player's next lap, and a new lap recording begins.
void change_laps(int slot)
{
    RaceDemo& d = demo();
    const std::string folder = track::current_track();
    const bool ghost_was_racing = replay::is_playing(d.player);
    replay::close_demo_playback(d.player);
    end_recording();
    remove_ghosts();

    const TrialRecord& trial = trial_record();
    const int player_gates = track::rider_position(slot) - d.player_start;
    const bool beaten = !ghost_was_racing || player_gates > d.ghost_gates;
    if ((!replay::demo_file_exists(replay::fastlap_demo_name(folder)) || beaten) && trial.last_ticks > 0) {
        if (!replay::keep_lap_as_ghost(folder))
            platform::log_printf("Can't keep the lap as the ghost of %s\n", folder.c_str());
    }

    d.player_start = track::rider_position(slot);
    d.ghost_start = d.player_start;
    d.ghost_gates = 0;
    if (replay::open_demo_playback(d.player, replay::fastlap_demo_name(folder), true)) {
        bring_in_riders(k_first_ghost_slot, true);
        for (int s = 0; s < k_rider_slot_count; ++s)
            if (d.ghost[static_cast<std::size_t>(s)])
                track::set_rider_position(s, d.ghost_start);
    }
    begin_recording(true, 0);
    if (replay::is_recording(d.recorder)) {
        // The new lap starts from the state the last one ended in.
        sample_local_riders(clock_tick());
        for (int s : d.recorder.slots)
            replay::mark_newest_unwritten(s);
        replay::record_demo_tick(d.recorder, clock_tick(), true);
    }
    track::update_standings(clock_tick());
}

void run_race_tick(void*) { race_tick(); }

}  // namespace

void close_race_demo()
{
    RaceDemo& d = demo();
    end_recording();
    replay::close_demo_playback(d.player);
    replay::set_hold_older_records(false);
    d.ghost.fill(false);
    d.effect.fill(0);
    d.lap_slot = -1;
    d.ghost_gates = d.ghost_start = d.player_start = 0;
}

bool open_race_playback(std::string_view file_name)
{
    return replay::open_demo_playback(demo().player, file_name);
}

const replay::DemoHeader* playback_header()
{
    return replay::is_playing(demo().player) ? &demo().player.header : nullptr;
}

void start_race_demo(bool record, int demo_backups)
{
    RaceDemo& d = demo();
    replay::set_pose_handler(pose_rider, nullptr);
    const bool time_trial = session().time_trial;
    if (replay::is_playing(d.player)) {
        // Raced against, the demo's riders are ghosts; played alone, they
        // are the race.
        bring_in_riders(0, local_slot() >= 0);
        if (record) {
            if (const char* refusal = replay::recording_conflict(d.player.file_name)) {
                core::show_message("%s", refusal);
                record = false;
            }
        }
    }
    if (time_trial) {
        const int player = local_slot();
        d.player_start = player >= 0 ? track::rider_position(player) : 0;
        if (track::track_timing().has_timing())
            begin_recording(true, 0);
        return;
    }
    if (record)
        begin_recording(false, demo_backups);
}

bool record_race_to(std::string_view file_name)
{
    end_recording();
    std::vector<int> slots;
    const replay::DemoHeader header = recording_header(slots);
    return replay::begin_demo_recording_to(demo().recorder, file_name, header, slots);
}

bool demo_exhausted()
{
    const replay::DemoPlayer& p = demo().player;
    constexpr long long k_quiet_ticks = 2 * k_ticks_per_second;
    return replay::is_playing(p) && world() && p.header.version == replay::k_demo_version && p.origin_set &&
           world()->tick > p.next_block_tick + k_quiet_ticks;
}

bool demo_playing() { return replay::is_playing(demo().player); }
bool demo_recording() { return replay::is_recording(demo().recorder); }
const std::string& playback_file() { return demo().player.file_name; }

void race_demo_pose(int tick, bool spectating)
{
    for (int slot = 0; slot < k_rider_slot_count; ++slot) {
        if (!rider_slot(slot).bike || rider_slot(slot).kind != k_rider_history)
            continue;
        replay::pose_at_tick(slot, replay::display_tick(tick, spectating));
        // The race rules stop counting a replayed rider whose data ran out.
        const replay::SlotHistory* h = replay::slot_history(slot);
        const int newest = h->ring[static_cast<std::size_t>(h->head)].tick;
        if (newest != replay::k_empty_tick)
            track::note_rider_data(slot, newest);
    }
    // The ghost's gates when the player's lap may end this tick.
    RaceDemo& d = demo();
    if (session().time_trial) {
        for (int slot = 0; slot < k_rider_slot_count; ++slot)
            if (d.ghost[static_cast<std::size_t>(slot)] && rider_slot(slot).bike) {
                d.ghost_gates = track::rider_position(slot) - d.ghost_start;
                break;
            }
    }
}

void race_demo_lap_done(int slot) { demo().lap_slot = slot; }

void race_demo_tick()
{
    RaceDemo& d = demo();
    sim::SimWorld* w = world();
    if (!w)
        return;
    if (replay::is_recording(d.recorder)) {
        replay::record_demo_tick(d.recorder, w->tick, false);
        // A race recording ends with the race.
        if (!session().time_trial && race_ended())
            end_recording();
    }
    if (replay::is_playing(d.player))
        replay::play_demo_tick(d.player, w->tick);
    if (d.lap_slot >= 0) {
        const int slot = d.lap_slot;
        d.lap_slot = -1;
        if (session().time_trial)
            change_laps(slot);
    }
}

bool can_seek_race_demo()
{
    RaceDemo& d = demo();
    if (!replay::is_playing(d.player) || replay::is_recording(d.recorder) || !world())
        return false;
    for (const RiderSlot& r : rider_slots())
        if (r.bike && r.kind != k_rider_history)
            return false;
    return true;
}

bool seek_race_demo(double seconds)
{
    if (!can_seek_race_demo())
        return false;
    replay::SeekHooks hooks;
    hooks.run_tick = run_race_tick;
    return replay::seek_demo(demo().player, world()->tick, seconds, hooks);
}

const char* name_race_demo(std::string_view argument)
{
    return replay::name_demo(demo().recorder, argument);
}

void record_race_message(std::string_view text)
{
    RaceDemo& d = demo();
    if (replay::is_recording(d.recorder))
        replay::record_demo_message(d.recorder, clock_tick(), text);
}

bool is_ghost_rider(int slot)
{
    return slot >= 0 && slot < k_rider_slot_count && demo().ghost[static_cast<std::size_t>(slot)] &&
           rider_slot(slot).bike != nullptr;
}

float posed_effect_level(int slot)
{
    if (slot < 0 || slot >= k_rider_slot_count)
        return 0;
    return demo().effect[static_cast<std::size_t>(slot)];
}

}  // namespace zv::race
