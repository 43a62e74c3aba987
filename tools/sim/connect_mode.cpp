// zarvox-sim --connect HOST[:PORT]: the game's race-server client without a
// window. A robot rides this client's rider in the server's race, through
// the game's own race tick, with the clock bent toward the server's as the
// game bends it; at the end it reports the connection states reached, the
// riders seen, the datagrams sent and received and the standings.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/data_file.h"
#include "core/messages.h"
#include "net/clock_rate.h"
#include "net/connection.h"
#include "race/ground_effects.h"
#include "race/race_tick.h"
#include "race/riders.h"
#include "race/session.h"
#include "race/standings.h"
#include "replay/state_record.h"
#include "sim/bike.h"
#include "sim/vec.h"
#include "load_clients.h"
#include "sim_cli.h"
#include "track/race_rules.h"
#include "track/terrain.h"
#include "track/track.h"
#include "track/track_list.h"

namespace zv::sim_tool {
namespace {

constexpr double k_tick = 1.0 / 128;
constexpr double k_max_advance = 0.125;

double steady_now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

struct ClientRun {
    net::Connection n;
    track::TrackList tracks;
    std::vector<std::string> states;    // every connection state reached, in order
    std::vector<std::string> messages;  // what the game would have shown
    std::array<replay::DemoRider, race::k_rider_slot_count> riders{};
    bool session = false;
    // The standings as they stood when the first race this client rode was
    // decided (later races would overwrite the live ones), and the other
    // riders that had moved away from their gates by then.
    std::vector<race::RiderResult> final_results;
    std::vector<int> moved;
};

std::optional<core::Digest> start_race(ClientRun& run, const net::RaceParameters& p, std::uint32_t entry)
{
    const net::Client& c = run.n.client;
    race::GateKinds gates{};
    for (int slot = 0; slot < race::k_rider_slot_count; ++slot) {
        const net::SlotInfo& info = c.slots[static_cast<std::size_t>(slot)];
        run.riders[static_cast<std::size_t>(slot)] = info.rider;
        if (static_cast<std::uint32_t>(slot) == c.slot)
            gates[static_cast<std::size_t>(slot)] = entry != net::k_no_slot ? race::k_gate_robot : race::k_gate_empty;
        else if (info.status != net::SlotStatus::none)
            gates[static_cast<std::size_t>(slot)] = race::k_gate_network;
    }
    race::SessionRequest req;
    req.gates = &gates;
    req.time_limit_ticks = std::max(0, p.length_ticks);
    req.laps = p.laps;
    req.track_folder = p.track;
    req.connected = true;
    req.server_start_tick = p.start_tick;
    req.network_riders = &run.riders;
    run.session = race::load_session(req);
    if (!run.session)
        return std::nullopt;
    return track::track_hash();
}

void install_hooks(ClientRun& run)
{
    net::ClientHost& h = run.n.client.host;
    h.show = [&run](const std::string& text) {
        std::string line = text;
        while (!line.empty() && line.back() == '\n')
            line.pop_back();
        run.messages.push_back(line);
    };
    h.track_installed = [&run](const std::string& folder) { return track::find_track(run.tracks, folder) >= 0; };
    h.start_race = [&run](const net::RaceParameters& p, std::uint32_t entry) { return start_race(run, p, entry); };
    h.set_race_clock = [](std::int32_t tick) {
        if (sim::SimWorld* w = race::physics_world())
            w->tick = tick;
    };
    h.set_gate_time = [](int slot, int gate, int tick) { track::set_gate_time(slot, gate, tick); };
    h.update_standings = [] {
        if (const sim::SimWorld* w = race::physics_world())
            track::update_standings(w->tick);
    };
    h.rider_data = [](int slot, int tick) { track::note_rider_data(slot, tick); };
    h.connection_reset = [&run] { run.session = false; };
}

net::LocalView local_view(const ClientRun& run, double now)
{
    net::LocalView v;
    v.now = now;
    const sim::SimWorld* w = race::physics_world();
    v.race_clock = w ? w->tick : 0;
    const net::Client& c = run.n.client;
    if (run.session && net::has_place(c)) {
        const int slot = static_cast<int>(c.slot);
        const race::RiderSlot& r = race::rider_slot(slot);
        if (r.bike && v.race_clock % net::k_state_interval == 0)
            v.state = replay::sample_state(*r.bike, track::loaded_terrain());
        v.gates_passed = track::rider_position(slot);
        if (v.gates_passed > 0)
            v.last_gate_tick = track::crossing_tick(slot, v.gates_passed - 1);
    }
    return v;
}

void note_state(ClientRun& run)
{
    if (!run.n.client.active)
        return;
    // Every connection starts contacting the server, however soon the
    // welcome comes.
    if (run.states.empty())
        run.states.push_back(net::state_name(net::ConnectionState::connecting));
    const std::string name = net::state_name(run.n.client.state);
    if (run.states.empty() || run.states.back() != name)
        run.states.push_back(name);
}

constexpr float k_moved_feet = 20.0f;

void note_final_standings(ClientRun& run)
{
    if (!run.final_results.empty() || !track::has_final_standings())
        return;
    run.final_results = race::race_results();
    const int own = static_cast<int>(run.n.client.slot);
    for (int slot = 0; slot < race::k_rider_slot_count; ++slot) {
        const race::RiderSlot& r = race::rider_slot(slot);
        if (slot == own || !r.bike)
            continue;
        const sim::Vec3 at = sim::body_position(r.bike->body(sim::k_frame));
        const float dx = at.x - r.start.x, dz = at.z - r.start.z;
        if (dx * dx + dz * dz > k_moved_feet * k_moved_feet)
            run.moved.push_back(slot);
    }
}

void one_tick(ClientRun& run, double now)
{
    net::net_update(run.n, local_view(run, now));
    note_state(run);
    const net::Client& c = run.n.client;
    if (run.session && c.active && c.server_tick_known && c.newest_server_tick >= 1) {
        race::race_tick();
        note_final_standings(run);
    }
}

void print_string(const std::string& s)
{
    std::putchar('"');
    for (unsigned char ch : s) {
        if (ch == '"' || ch == '\\')
            std::printf("\\%c", ch);
        else if (ch < 0x20)
            std::printf("\\u%04x", ch);
        else
            std::putchar(ch);
    }
    std::putchar('"');
}

void print_report(const ClientRun& run, const std::vector<race::RiderResult>& results, bool json)
{
    const net::Client& c = run.n.client;
    std::vector<int> seen;
    for (int slot = 0; slot < net::k_slot_count; ++slot)
        if (run.riders[static_cast<std::size_t>(slot)].name.size() || run.riders[static_cast<std::size_t>(slot)].bike.size())
            seen.push_back(slot);
    if (!json) {
        std::printf("states:");
        for (const std::string& s : run.states)
            std::printf(" %s", s.c_str());
        std::printf("\ndatagrams sent %llu, received %llu\nriders seen:\n",
                    static_cast<unsigned long long>(c.stats.sent), static_cast<unsigned long long>(c.stats.received));
        for (int slot : seen) {
            const replay::DemoRider& r = run.riders[static_cast<std::size_t>(slot)];
            std::printf("  slot %d: %s (#%s) on %s\n", slot, r.name.c_str(), r.number.c_str(), r.bike.c_str());
        }
        std::printf("standings:\n");
        for (const race::RiderResult& r : results)
            std::printf("  %d. slot %d #%s laps %d%s\n", r.place, r.slot, r.number.c_str(), r.laps,
                        r.finished ? " finished" : "");
        return;
    }
    std::printf("{\"states\": [");
    for (std::size_t i = 0; i < run.states.size(); ++i) {
        std::printf("%s", i ? ", " : "");
        print_string(run.states[i]);
    }
    std::printf("], \"sent\": %llu, \"received\": %llu, \"riders\": [",
                static_cast<unsigned long long>(c.stats.sent), static_cast<unsigned long long>(c.stats.received));
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const replay::DemoRider& r = run.riders[static_cast<std::size_t>(seen[i])];
        std::printf("%s{\"slot\": %d, \"name\": ", i ? ", " : "", seen[i]);
        print_string(r.name);
        std::printf(", \"number\": ");
        print_string(r.number);
        std::printf(", \"bike\": ");
        print_string(r.bike);
        std::printf("}");
    }
    std::printf("], \"standings\": [");
    for (std::size_t i = 0; i < results.size(); ++i)
        std::printf("%s{\"place\": %d, \"slot\": %d, \"laps\": %d, \"finished\": %s}", i ? ", " : "", results[i].place,
                    results[i].slot, results[i].laps, results[i].finished ? "true" : "false");
    std::printf("], \"final_standings\": [");
    for (std::size_t i = 0; i < run.final_results.size(); ++i) {
        const race::RiderResult& r = run.final_results[i];
        std::printf("%s{\"place\": %d, \"slot\": %d, \"laps\": %d, \"finished\": %s}", i ? ", " : "", r.place, r.slot,
                    r.laps, r.finished ? "true" : "false");
    }
    std::printf("], \"moved\": [");
    for (std::size_t i = 0; i < run.moved.size(); ++i)
        std::printf("%s%d", i ? ", " : "", run.moved[i]);
    std::printf("], \"messages\": [");
    for (std::size_t i = 0; i < run.messages.size(); ++i) {
        std::printf("%s", i ? ", " : "");
        print_string(run.messages[i]);
    }
    std::printf("]}\n");
}

int run_connect_mode(const Options& o)
{
    const std::string address = o.value("--connect");
    double seconds = 30;
    if (o.has("--seconds")) {
        char* end = nullptr;
        seconds = std::strtod(o.value("--seconds").c_str(), &end);
        if (o.value("--seconds").empty() || *end || !(seconds > 0) || seconds > 86400) {
            std::fprintf(stderr, "zarvox-sim: --seconds takes a number of seconds above 0\n");
            return k_exit_failure;
        }
    }
    if (o.has("--clients")) {
        char* end = nullptr;
        const long n = std::strtol(o.value("--clients").c_str(), &end, 10);
        if (o.value("--clients").empty() || *end || n < 1 || n > net::k_slot_count) {
            std::fprintf(stderr, "zarvox-sim: --clients takes a whole number from 1 to 160\n");
            return k_exit_failure;
        }
        return run_load_clients(o, n, seconds);
    }
    auto run = std::make_unique<ClientRun>();
    run->tracks = track::build_track_list(core::working_set(), 0);
    track::set_track_list(run->tracks.folders, run->tracks.names);
    if (!race::create_physics_world()) {
        std::fprintf(stderr, "zarvox-sim: no physics world\n");
        return k_exit_failure;
    }
    race::set_ground_effects(0, 0);
    install_hooks(*run);
    run->n.client.password = o.value("--password");
    run->n.client.own_rider.bike = "250f";
    run->n.client.own_rider.number = "99";
    run->n.client.own_rider.name = "Headless Rider";
    net::request_connection(run->n, address);

    // The main loop's clock without frames: ticks at 128 a second of wall
    // time, bent toward the server's clock.
    const double start = steady_now();
    double last = start, target = 0, simulated = 0;
    while (steady_now() - start < seconds) {
        const double now = steady_now();
        double advance = std::min(now - last, k_max_advance);
        last = now;
        const net::Client& c = run->n.client;
        const sim::SimWorld* w = race::physics_world();
        if (c.active && c.server_tick_known && w) {
            const double d = (static_cast<double>(c.newest_server_tick) - w->tick - 1) * k_tick;
            advance *= net::clock_rate(d, w->tick < c.race.start_tick);
        }
        target += advance;
        while (simulated < target) {
            simulated += k_tick;
            one_tick(*run, steady_now());
        }
        if (!run->n.client.active && !run->n.requested && !run->states.empty())
            break;  // the server ended the connection
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const std::vector<race::RiderResult> results = run->session ? race::race_results() : std::vector<race::RiderResult>{};
    const bool reached_race = std::find(run->states.begin(), run->states.end(), "RACING") != run->states.end();
    net::leave_server_now(run->n);
    print_report(*run, results, o.has("--json"));
    race::end_session();
    race::destroy_physics_world();
    return reached_race ? 0 : k_exit_failure;
}

const bool registered_connect = register_subject_mode(
    {"--connect", "join a race server as a headless client; a robot rides (with --seconds, --password)",
     run_connect_mode},
    "HOST[:PORT]",
    {
        {"--password", true, "TEXT", "connect: the race server's password"},
        {"--seconds", true, "S", "connect: how long to stay (default 30)"},
        {"--clients", true, "N", "connect: N load clients riding a synthetic lap, no bikes simulated"},
        {"--json", false, {}, "print one JSON object"},
    });

}  // namespace
}  // namespace zv::sim_tool
