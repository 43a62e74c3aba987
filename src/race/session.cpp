#include "race/session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>

#include "core/debug_level.h"
#include "core/loading_status.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/log.h"
#include "race/ground_effects.h"
#include "race/hooks.h"
#include "race/race_demo.h"
#include "race/race_tick.h"
#include "autopilot/roster.h"
#include "race/robots.h"
#include "race/time_trial.h"
#include "replay/history.h"
#include "sim/setup.h"
#include "track/race_rules.h"
#include "track/terrain.h"
#include "track/timing.h"
#include "track/track.h"

namespace zv::race {

namespace {

bool g_force_reload = false;  // "forcereload" until the next load
Session g_session;

// Computer riders' bikes by gate kind (plain robots ride the player's model).
constexpr const char* k_robot_2stroke_model = "yz250(2012)";
constexpr const char* k_robot_4stroke_model = "yz250f(2017)";

std::mt19937& random_generator()
{
    static std::mt19937 rng(static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count()));
    return rng;
}

std::array<int, k_rider_name_count>& name_order()
{
    static std::array<int, k_rider_name_count> order = [] {
        std::array<int, k_rider_name_count> o{};
        std::iota(o.begin(), o.end(), 0);
        return o;
    }();
    return order;
}

void show_loading(const char* text)
{
    if (race_hooks().show_loading)
        race_hooks().show_loading(text);
}

void begin_phase(const char* text) { core::begin_loading_stage(text); }

void end_phase(const char* text)
{
    core::end_loading_stage();
    platform::log_printf("%.64s...done\n", text);
}

bool bring_in_track(const std::string& folder)
{
    if (folder.empty())
        return false;
    if (track::track_loaded() && track::current_track() == folder && !g_force_reload)
        return true;
    g_force_reload = false;
    if (sim::SimWorld* world = physics_world())
        world->terrain = nullptr;
    track::free_track();
    track::set_current_track(folder);
    // The renderer keeps what the new track asks for again and frees the rest.
    if (race_hooks().track_changing)
        race_hooks().track_changing();
    bool loaded = track::load_track();
    if (!loaded && race_hooks().track_failed)
        race_hooks().track_failed();
    return loaded;
}

void log_bike_distances()
{
    if (core::debug_level() < 1)
        return;
    for (int slot = 0; slot < k_rider_slot_count; ++slot)
        if (rider_slot(slot).bike)
            platform::log_printf("Rider %d (kind %d) is %.2f ft from its start\n", slot,
                                 rider_slot(slot).kind, static_cast<double>(distance_from_start(slot)));
}

const char* model_for(int gate_kind)
{
    switch (gate_kind) {
    case k_gate_robot_2stroke: return k_robot_2stroke_model;
    case k_gate_robot_4stroke: return k_robot_4stroke_model;
    default: return core::settings().bike.current();
    }
}

const char* or_empty(const char* text) { return text ? text : ""; }

// Creates one slot's bike at its start position; false when the world is
// missing. A robot is the race's robot_index-th: it rides and wears its
// roster profile (plain robot gates take the profile's bike).
bool create_slot_bike(int slot, int kind, int gate_kind, int robot_index,
                      const replay::DemoRider* remote = nullptr)
{
    sim::SimWorld* world = physics_world();
    if (!world)
        return false;
    const core::Settings& s = core::settings();
    RiderSlot& r = rider_slot(slot);
    std::string number = kind == k_rider_local ? s.number.text : std::to_string(slot + 1);
    autopilot::RobotChoice robot;
    if (remote) {
        // A network opponent on the bike and in the colours it described.
        number = remote->number;
        r.bike = sim::create_bike(*world, remote->bike, slot, number, remote->rider_texture, remote->head_texture,
                                  remote->bike_texture, remote->wheel_texture);
    } else if (kind == k_rider_local) {
        r.bike = sim::create_bike(*world, model_for(gate_kind), slot, number,
                                  s.rider_texture_file() ? s.rider_texture_file() : "",
                                  s.head_texture_file() ? s.head_texture_file() : "",
                                  s.bike_texture_file() ? s.bike_texture_file() : "",
                                  s.wheel_texture_file() ? s.wheel_texture_file() : "");
    } else {
        robot = robot_choice(robot_index);
        const autopilot::RobotProfile& p = *robot.profile;
        number = p.number;
        const char* model = gate_kind == k_gate_robot && p.bike ? p.bike : model_for(gate_kind);
        r.bike = sim::create_bike(*world, model, slot, number, or_empty(p.rider_texture), or_empty(p.head_texture),
                                  or_empty(p.bike_texture), or_empty(p.wheel_texture));
    }
    if (!r.bike)
        return false;
    r.kind = kind;
    const track::Terrain& terrain = track::loaded_terrain();
    track::StartPose p = track::start_position(track::track_timing(), slot, terrain.field_size);
    sim::Vec3 ground{p.x, track::terrain_height(terrain, p.x, p.z), p.z};
    r.start_heading = p.heading;
    // Set down with the tyres just clear of the ground.
    sim::place_bike(*r.bike, ground + sim::Vec3{0, 0.1f, 0}, p.heading);
    r.start = sim::body_position(r.bike->body(sim::k_frame));
    if (kind == k_rider_local)
        sim::set_setup(*r.bike, rider_setup_from_settings());
    r.personality = kind == k_rider_robot
                        ? autopilot::personalities()[static_cast<std::size_t>(robot.personality)].name
                        : "";
    if (kind == k_rider_local || kind == k_rider_robot)
        set_up_line_rider(slot, *r.bike, kind == k_rider_robot, robot.personality,
                          static_cast<std::uint32_t>(random_generator()()));
    track::RiderEntry entry;
    entry.source = remote                  ? track::RiderSource::remote
                   : kind == k_rider_local ? track::RiderSource::local
                   : kind == k_rider_robot ? track::RiderSource::robot
                                           : track::RiderSource::replayed;
    entry.number = number;
    entry.bike_name = r.bike->info.name;
    track::set_rider(slot, entry);
    return true;
}

}  // namespace

int offline_start_tick(double r)
{
    constexpr int first = 128 * 13, last = 128 * 15 - 1;
    if (!(r > 0.0))
        return first;
    return std::min(static_cast<int>(128.0 * (13.0 + 2.0 * r)), last);
}

GateKinds gate_kinds_from_settings()
{
    GateKinds kinds{};
    const core::Settings& s = core::settings();
    for (int i = 0; i < core::k_gate_count; ++i)
        kinds[static_cast<std::size_t>(i)] = s.slots[static_cast<std::size_t>(i)].index;
    return kinds;
}

std::array<int, k_rider_slot_count>& starting_grid()
{
    static std::array<int, k_rider_slot_count> grid = [] {
        std::array<int, k_rider_slot_count> g{};
        std::iota(g.begin(), g.end(), 0);
        return g;
    }();
    return grid;
}

const std::array<int, k_rider_name_count>& rider_name_order() { return name_order(); }

const Session& session() { return g_session; }

void seed_race_random(unsigned seed) { random_generator().seed(seed); }

bool load_session(const SessionRequest& req)
{
    if (race_hooks().loading_started)
        race_hooks().loading_started();
    show_loading("Resetting...");
    platform::log_printf("Resetting\n");
    // The robots take the roster's profiles in this race's order.
    shuffle_robot_roster([] { return static_cast<std::uint32_t>(random_generator()()); });
    for (int i = 0; i < k_rider_name_count; ++i)
        name_order()[static_cast<std::size_t>(i)] = robot_choice(i).profile - autopilot::robot_roster().data();

    begin_phase("Remembering lines");
    if (g_session.loaded && track::track_loaded())
        save_robot_lines();
    close_race_demo();
    end_phase("Remembering lines");
    g_session = Session{};

    begin_phase("Cleaning up");
    free_all_bikes();
    end_phase("Cleaning up");

    sim::SimWorld* world = physics_world();
    if (!world)
        return false;
    world->tick = 0;
    replay::clear_history();
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const int drawn_start = offline_start_tick(uniform(random_generator()));
    int start_tick = req.server_start_tick >= 0 ? req.server_start_tick : drawn_start;
    // A demo names its track and brings its race length, laps and start.
    std::string folder = req.track_folder;
    int time_limit = req.time_limit_ticks, laps = req.laps;
    if (req.demo_playing && !req.demo_file.empty()) {
        if (open_race_playback(req.demo_file)) {
            const replay::DemoHeader& h = *playback_header();
            folder = h.track;
            start_tick = h.start_tick;
            time_limit = h.race_length_ticks;
            laps = h.laps;
        } else {
            platform::log_printf("Can't play demo '%s'\n", req.demo_file.c_str());
        }
    }
    world->start_tick = start_tick;
    world->connected = req.connected;

    if (!bring_in_track(folder)) {
        close_race_demo();
        platform::log_printf("Can't load track '%s'\n", folder.c_str());
        return false;
    }
    world->terrain = &track::loaded_terrain();

    // The gate table: entry k gets the kind of the grid's slot k.
    GateKinds entries{};
    g_session.time_trial = req.gates == nullptr;
    g_session.skill = req.skill;
    reset_trial_record();
    if (g_session.time_trial) {
        entries[0] = k_gate_human;
        world->tick = k_time_trial_start_tick;
    } else if (req.network_riders) {
        entries = *req.gates;
    } else {
        const std::array<int, k_rider_slot_count>& grid = starting_grid();
        for (int k = 0; k < k_rider_slot_count; ++k)
            entries[static_cast<std::size_t>(k)] =
                (*req.gates)[static_cast<std::size_t>(std::clamp(grid[static_cast<std::size_t>(k)], 0, k_rider_slot_count - 1))];
    }
    int human = -1, first = -1;
    for (int k = 0; k < k_rider_slot_count; ++k) {
        int& e = entries[static_cast<std::size_t>(k)];
        if (e < k_gate_empty || e > k_gate_network)
            e = k_gate_empty;
        if (e == k_gate_human) {
            if (human < 0)
                human = k;
            else
                e = k_gate_empty;  // one local rider only
        }
        if (e != k_gate_empty && first < 0)
            first = k;
    }
    if (first < 0) {
        // A server's race with nobody in it yet stays empty.
        if (!req.demo_playing && !req.network_riders)
            entries[0] = k_gate_robot;
        first = 0;
    }
    // The player watches their own bike when they ride.
    g_session.first_viewed = human >= 0 ? human : first;

    track::RaceSetup setup;
    setup.start_tick = start_tick;
    setup.time_limit_ticks = std::max(0, time_limit);
    setup.laps = std::max(0, laps);
    setup.online = req.connected;
    setup.local_drives_rider = !req.connected || (human >= 0 && !req.warmup);
    setup.track_name = folder;
    track::begin_race(setup);
    sim::reset_mechanic();

    begin_phase("Analyzing lines");
    load_robot_lines(req.skill);
    end_phase("Analyzing lines");

    begin_phase("Loading bikes");
    int made = 0, robots = 0;
    for (int k = 0; k < k_rider_slot_count; ++k) {
        int e = entries[static_cast<std::size_t>(k)];
        if (e == k_gate_empty)
            continue;
        // Network opponents come with the race server's descriptions.
        if (e == k_gate_network) {
            if (req.network_riders &&
                create_slot_bike(k, k_rider_history, e, 0, &(*req.network_riders)[static_cast<std::size_t>(k)]) &&
                race_hooks().bike_created)
                race_hooks().bike_created(k);
            continue;
        }
        int kind = e == k_gate_human ? k_rider_local : k_rider_robot;
        char progress[96];
        std::snprintf(progress, sizeof progress, "%.64s%s", "Loading bikes",
                      std::string(static_cast<std::size_t>(made % 4), '.').c_str());
        show_loading(progress);
        if (create_slot_bike(k, kind, e, robots)) {
            ++made;
            if (race_hooks().bike_created)
                race_hooks().bike_created(k);
        }
        robots += kind == k_rider_robot ? 1 : 0;
    }
    // The demo's riders, and the recording of this race.
    start_race_demo(req.record_demo, core::settings().demo_backups);
    end_phase("Loading bikes");
    // No particle of the last race is left in the air; a server's race
    // keeps every rider on the same ground.
    reset_ground_effects(req.connected);
    // What neither the track nor the bikes asked for again goes now.
    if (race_hooks().bikes_loaded)
        race_hooks().bikes_loaded();
    g_session.loaded = true;
    return true;
}

void end_session()
{
    if (g_session.loaded && track::track_loaded())
        save_robot_lines();
    g_session.loaded = false;
    if (sim::SimWorld* world = physics_world())
        dJointGroupEmpty(world->group());
    log_bike_distances();
    close_race_demo();
    platform::log_printf("Deallocating bikes\n");
    free_all_bikes();
    platform::log_printf("Finished deallocating bikes\n");
    if (sim::SimWorld* world = physics_world())
        world->terrain = nullptr;
    track::free_track();
}

bool race_ended()
{
    return g_session.loaded && !g_session.time_trial && track::has_final_standings() &&
           g_session.end_delay_ticks <= 0;
}

void count_down_end_of_race()
{
    if (g_session.loaded && !g_session.time_trial && track::has_final_standings() &&
        g_session.end_delay_ticks > 0)
        --g_session.end_delay_ticks;
}

void force_track_reload() { g_force_reload = true; }
bool track_reload_forced() { return g_force_reload; }

}  // namespace zv::race
