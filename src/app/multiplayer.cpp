#include "app/multiplayer.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "app/console.h"
#include "app/main_loop.h"
#include "app/menu.h"
#include "app/race_session.h"
#include "app/shape_check.h"
#include "app/startup.h"
#include "app/startup_flags.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/log.h"
#include "race/race_demo.h"
#include "race/riders.h"
#include "race/session.h"
#include "replay/history.h"
#include "sim/bike.h"
#include "sim/world.h"
#include "track/race_rules.h"
#include "track/terrain.h"
#include "track/track.h"
#include "track/track_list.h"
#include "net/rider_description.h"

namespace zv::app {

namespace {

net::Connection g_connection;
// The player's description as last sent, to notice a change.
std::string g_sent_description;
int g_description_check = 0;
constexpr int k_description_check_ticks = 128;

replay::DemoRider own_rider_from_settings()
{
    const core::Settings& s = core::settings();
    replay::DemoRider r;
    r.bike = s.bike.current() ? s.bike.current() : "";
    r.rider_texture = s.rider_texture_file() ? s.rider_texture_file() : "";
    r.bike_texture = s.bike_texture_file() ? s.bike_texture_file() : "";
    r.wheel_texture = s.wheel_texture_file() ? s.wheel_texture_file() : "";
    r.head_texture = s.head_texture_file() ? s.head_texture_file() : "";
    r.number = s.number.text;
    r.name = s.name.text;
    return r;
}

// The local bikes drop arcade physics while the server forbids it.
bool switch_arcade_off()
{
    for (race::RiderSlot& r : race::rider_slots())
        if (r.bike && r.kind != race::k_rider_history)
            r.bike->arcade = 0;
    return core::settings().arcade.index == 1;
}

std::optional<core::Digest> start_server_race(Game& g, const net::RaceParameters& race, std::uint32_t entry)
{
    const net::Client& c = g_connection.client;
    static std::array<replay::DemoRider, race::k_rider_slot_count> riders;
    race::GateKinds gates{};
    for (int slot = 0; slot < race::k_rider_slot_count; ++slot) {
        const net::SlotInfo& info = c.slots[static_cast<std::size_t>(slot)];
        riders[static_cast<std::size_t>(slot)] = info.rider;
        if (static_cast<std::uint32_t>(slot) == c.slot)
            gates[static_cast<std::size_t>(slot)] = race::k_gate_human;
        else if (info.status != net::SlotStatus::none)
            gates[static_cast<std::size_t>(slot)] = race::k_gate_network;
    }
    race::SessionRequest req;
    req.gates = &gates;
    req.record_demo = core::settings().record.index == 1;
    req.time_limit_ticks = std::max(0, race.length_ticks);
    req.laps = race.laps;
    req.skill = core::settings().skill.index;
    req.track_folder = race.track;
    req.server_start_tick = race.start_tick;
    req.network_riders = &riders;
    // Without a place in the race the player rides on to warm up.
    req.warmup = entry == net::k_no_slot;
    g.connected = true;
    if (!load_session(g, req))
        return std::nullopt;
    if (c.arcade_disabled)
        switch_arcade_off();
    return track::track_hash();
}

void connection_reset(Game& g)
{
    g.connected = false;
    g_sent_description.clear();
}

void install_hooks(Game& g)
{
    net::ClientHost& h = g_connection.client.host;
    h.show = [](const std::string& text) { core::show_message("%s", text.c_str()); };
    h.track_installed = [](const std::string& folder) {
        return track::find_track(startup_lists().tracks, folder) >= 0;
    };
    h.start_race = [&g](const net::RaceParameters& race, std::uint32_t entry) {
        return start_server_race(g, race, entry);
    };
    h.set_race_clock = [](std::int32_t tick) {
        if (sim::SimWorld* w = race::physics_world())
            w->tick = tick;
    };
    // The server's texts go into the demo being recorded, if any.
    h.server_text = [](const std::string& text) { race::record_race_message(text); };
    h.disable_arcade = switch_arcade_off;
    h.set_gate_time = [](int slot, int gate, int tick) { track::set_gate_time(slot, gate, tick); };
    h.update_standings = [] {
        if (const sim::SimWorld* w = race::physics_world())
            track::update_standings(w->tick);
    };
    h.rider_data = [](int slot, int tick) { track::note_rider_data(slot, tick); };
    h.transfer_ready = [] { outgoing_transfer().server_ready = true; };
    h.transfer_denied = [] { stop_transfer(); };
    h.connection_reset = [&g] { connection_reset(g); };
    h.redirect = [](const std::string& address) { net::request_connection(g_connection, address); };

    ConsoleHooks& console = console_hooks();
    console.queue_chat = [](std::string_view text) { net::send_chat(g_connection.client, text); };
    console.queue_file_message = [](std::string_view text) { net::queue_command(g_connection.client, text); };
}

net::LocalView local_view(const Game& g, double now)
{
    net::LocalView v;
    v.now = now;
    const sim::SimWorld* w = race::physics_world();
    v.race_clock = w ? w->tick : 0;
    const net::Client& c = g_connection.client;
    if (net::has_place(c) && track::track_loaded()) {
        const int slot = static_cast<int>(c.slot);
        const race::RiderSlot& r = race::rider_slot(slot);
        // Sampling allocates nothing; only ticks that send need it.
        if (r.bike && r.kind == race::k_rider_local && v.race_clock % net::k_state_interval == 0)
            v.state = replay::sample_state(*r.bike, track::loaded_terrain());
        v.gates_passed = track::rider_position(slot);
        if (v.gates_passed > 0)
            v.last_gate_tick = track::crossing_tick(slot, v.gates_passed - 1);
    }
    v.in_chooser = g.menu_page == 2;
    return v;
}

// Once a second: the player's changed bike, skins, number or name go to the
// server.
void check_description(net::Client& c)
{
    if (++g_description_check < k_description_check_ticks)
        return;
    g_description_check = 0;
    c.own_rider = own_rider_from_settings();
    std::string now = net::format_rider_description(c.own_rider, net::k_description_datagram_room);
    if (g_sent_description.empty())
        g_sent_description = now;
    else if (now != g_sent_description) {
        g_sent_description = now;
        c.description_changed = true;
    }
}

}  // namespace

net::Connection& multiplayer() { return g_connection; }


void install_multiplayer(Game& g)
{
    install_hooks(g);
    const StartupFlags& f = startup_flags();
    g_connection.fake.lag = f.fake_lag;
    g_connection.fake.loss_percent = f.packet_loss_percent;
    g_connection.fixed_files_ok = generic_shapes_are_stock();
    if (g.values && g.values->password)
        g_connection.client.password = *g.values->password;
    if (g.values && g.values->connect_target && !g.values->connect_target->empty())
        net::request_connection(g_connection, *g.values->connect_target);
}

void multiplayer_tick(Game& g, double now)
{
    net::Connection& n = g_connection;
    if (std::optional<std::string>& target = menu_connect_target(); target) {
        net::request_connection(n, *target);
        target.reset();
    }
    if (!n.requested && !n.client.active) {
        g.connected = false;
        return;
    }
    if (n.requested) {
        n.client.own_rider = own_rider_from_settings();
        g_sent_description.clear();
    }
    net::net_update(n, local_view(g, now));
    g.connected = net::connected(n);
    if (g.connected) {
        // A setup read or applied meanwhile must not bring arcade physics back.
        if (n.client.arcade_disabled)
            switch_arcade_off();
        check_description(n.client);
        send_file_parts(g, now);
    }
}

void send_file_parts(Game& g, double now)
{
    OutgoingTransfer& t = outgoing_transfer();
    if (!t.file || !t.server_ready || now < t.next_part_time)
        return;
    t.next_part_time = now + k_file_part_interval;
    std::array<std::uint8_t, k_file_part_size> part;
    const std::size_t got = core::read_bytes(*t.file, part.data(), part.size());
    if (got > 0) {
        net::queue_file_part(g_connection.client, std::span(part.data(), got));
        return;
    }
    const std::string closing = t.closing_message.substr(0, k_chat_payload_limit);
    stop_transfer();
    if (!g.connected || !g_connection.client.active)
        core::show_message("Not connected to server");
    else
        net::queue_command(g_connection.client, closing);
}

bool race_tick_allowed(const Game& g)
{
    if (!g.connected)
        return true;
    return g_connection.client.server_tick_known && g_connection.client.newest_server_tick >= 1;
}

int server_ticks_ahead()
{
    const sim::SimWorld* w = race::physics_world();
    const net::Client& c = g_connection.client;
    if (!w || !c.server_tick_known)
        return 1;  // no bending until the server's clock is heard
    return static_cast<int>(c.newest_server_tick) - w->tick;
}

bool before_race_start()
{
    const sim::SimWorld* w = race::physics_world();
    return w && w->tick < g_connection.client.race.start_tick;
}

void multiplayer_disconnect(Game& g, double now)
{
    if (!g_connection.client.active) {
        // Nothing to tell a server: only the game's side is left to reset.
        g_connection.requested.reset();
        if (g.connected)
            core::show_message("Disconnected\n");
        g.connected = false;
        return;
    }
    net::LocalView v;
    v.now = now;
    net::disconnect_from_server(g_connection, v);
    g.connected = net::connected(g_connection);
}

void multiplayer_leave(Game& g)
{
    g_connection.requested.reset();
    if (g_connection.client.active) {
        net::leave_server_now(g_connection);
    }
    g.connected = false;
}

void multiplayer_request_restart()
{
    net::request_restart(g_connection.client);
    net::flush_outbox(g_connection);
}

bool multiplayer_has_place() { return net::has_place(g_connection.client); }

bool multiplayer_spectating()
{
    const net::Client& c = g_connection.client;
    return c.active && !net::has_place(c) &&
           (c.state == net::ConnectionState::joined || c.state == net::ConnectionState::racing);
}

int multiplayer_ping_ticks() { return g_connection.client.ping_ticks; }

int multiplayer_offset_ticks()
{
    const sim::SimWorld* w = race::physics_world();
    return w ? g_connection.client.server_estimate - w->tick : 0;
}

std::vector<std::vector<std::string>> multiplayer_rider_rows()
{
    std::vector<std::vector<std::string>> rows;
    const net::Client& c = g_connection.client;
    if (!c.active)
        return rows;
    for (int slot = 0; slot < net::k_slot_count; ++slot) {
        const net::SlotInfo& info = c.slots[static_cast<std::size_t>(slot)];
        if (info.status == net::SlotStatus::none)
            continue;
        const bool own = static_cast<std::uint32_t>(slot) == c.slot;
        const int ping = own ? c.ping_ticks : replay::slot_network(slot)->ping_ticks;
        char ms[32];
        std::snprintf(ms, sizeof ms, "%d", static_cast<int>(ping * 1000 / 128));
        rows.push_back({info.rider.number, std::to_string(slot), ms, info.rider.bike, info.rider.name});
    }
    return rows;
}

}  // namespace zv::app
