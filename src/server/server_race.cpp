// The race as the server runs it: races begin and gather their field, the
// clock and the riders' states go out 32 times a second, gate passings are
// timed by the race rules and relayed, and the results end the race.
#include <algorithm>
#include <cstdio>

#include "server/server_internal.h"
#include "track/race_rules.h"

namespace zv::server {

using namespace zv::net;

namespace {

constexpr double k_restart_request_grace = 3.0;  // seconds into a race before a restart is honoured

bool in_current_race(const Server& s, const Client& c) { return c.race_id == s.race_id; }

bool field_empty(const Server& s)
{
    return std::none_of(s.clients.begin(), s.clients.end(), [](const Client& c) { return c.racer; });
}

void send_entry(Server& s, Client& c)
{
    int slot = slot_of(s, c);
    c.entry = c.racer && in_current_race(s, c) ? static_cast<std::uint32_t>(slot) : k_no_slot;
    c.stage = Stage::joined;
    send_to(s, c, RaceEntry{c.race_id, c.entry, c.description});
    if (c.entry == k_no_slot)
        logf(s, "slot %d: %s watches race %u", slot, c.name.c_str(), c.race_id);
    else
        logf(s, "slot %d: %s enters race %u", slot, c.name.c_str(), c.race_id);
}

void close_field(Server& s)
{
    s.field_closed = true;
    // The warm-up counts from here, whatever the gathering took.
    s.race_epoch = s.now;
    s.last_relay_round = -1;
    int riders = 0;
    for (Client& c : s.clients) {
        if (c.stage != Stage::loading || !in_current_race(s, c)) continue;
        int slot = slot_of(s, c);
        c.racer = true;
        track::set_rider(slot, track::RiderEntry{track::RiderSource::remote, description_number(c.description), ""});
        track::note_rider_data(slot, s.start_tick);  // nobody is stale before the gate drops
        s.field_names[static_cast<std::size_t>(slot)] = c.name;
        ++riders;
    }
    logf(s, "race %u: a field of %d riders, the gate drops in %d s", s.race_id, riders, s.settings.warmup_seconds);
    for (Client& c : s.clients)
        if (c.stage == Stage::loading) send_descriptions_or_entry(s, c, k_no_slot);
}

// Whether the field gathered: once a rider took the track and either every
// client that has sent its information did too, or the wait is over.
bool field_gathered(const Server& s)
{
    bool any = false;
    bool all = true;
    for (const Client& c : s.clients) {
        if (c.stage == Stage::free || c.stage == Stage::welcomed) continue;
        if (c.stage == Stage::loading && in_current_race(s, c))
            any = true;
        else
            all = false;
    }
    return any && (all || s.now - s.race_epoch >= k_gather_seconds);
}

std::string race_time_text(int ticks)
{
    char text[32];
    int hundredths = ticks * 100 / 128;
    std::snprintf(text, sizeof text, "%d:%02d.%02d", hundredths / 6000, hundredths / 100 % 60, hundredths % 100);
    return text;
}

void announce_results(Server& s)
{
    s.finished = true;
    s.next_race_at = s.now + k_results_seconds;
    char line[256];
    std::snprintf(line, sizeof line, "Race %u results:", s.race_id);
    broadcast_text(s, line);
    logf(s, "%s", line);
    int place = 0;
    for (const track::Standing& st : track::final_standings()) {
        const std::string& name = s.field_names[static_cast<std::size_t>(st.slot)];
        int laps = track::laps_completed(st.slot);
        if (track::is_finished(st.slot))
            std::snprintf(line, sizeof line, "%d. %s - %d laps in %s", ++place, name.c_str(), laps,
                          race_time_text(st.tick - s.start_tick).c_str());
        else
            std::snprintf(line, sizeof line, "%d. %s - did not finish (%d laps)", ++place, name.c_str(), laps);
        broadcast_text(s, line);
        logf(s, "%s", line);
    }
}

// One relay round: the records that arrived since the last round go to every
// client of this race (its own record included: a client skips its own slot),
// a clock datagram when there are none. The datagrams are made once; only
// the echo of each client's race clock differs.
void relay(Server& s, std::int32_t tick)
{
    std::vector<Datagram> chunks;
    States st;
    st.race_id = s.race_id;
    st.server_tick = tick;
    for (Client& c : s.clients) {
        if (!c.fresh_record) continue;
        c.fresh_record = false;
        st.entries[st.count++] = StateEntry{static_cast<std::uint16_t>(slot_of(s, c)), c.ping, c.record_tick, c.record};
        if (st.count == k_max_state_entries) {
            encode(st, chunks.emplace_back());
            st.count = 0;
        }
    }
    if (st.count > 0) encode(st, chunks.emplace_back());

    for (Client& c : s.clients) {
        if (c.stage != Stage::joined || !in_current_race(s, c)) continue;
        if (chunks.empty()) {
            send_to(s, c, Clock{s.race_id, tick, c.echo});
        } else {
            Datagram first = chunks.front();
            for (int i = 0; i < 4; ++i) first.bytes[9 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(c.echo) >> (8 * i));
            send_datagram(s, c, first);
            for (std::size_t i = 1; i < chunks.size(); ++i) send_datagram(s, c, chunks[i]);
        }
        c.echo = 0;
    }
}

}  // namespace

TrackInfo track_info_for(const Server& s, std::uint32_t race_id)
{
    TrackInfo t;
    t.race_id = race_id;
    t.race_length = s.settings.minutes > 0 ? s.settings.minutes * 60 * 128 : 0;
    t.laps = s.settings.laps;
    t.race_start_tick = s.start_tick;
    t.track_hash = s.settings.track_hash;
    t.track_name = s.settings.track;
    return t;
}

void begin_new_race(Server& s, const char* why)
{
    ++s.race_id;
    s.race_epoch = s.now;
    s.start_tick = std::max(s.settings.warmup_seconds, 0) * 128;
    s.field_closed = false;
    s.finished = false;
    s.next_race_at = -1;
    s.regather = false;
    s.regathers = 0;
    s.last_relay_round = -1;
    s.field_names = {};
    track::RaceSetup setup;
    setup.start_tick = s.start_tick;
    setup.time_limit_ticks = s.settings.minutes > 0 ? s.settings.minutes * 60 * 128 : 0;
    setup.laps = s.settings.laps;
    setup.online = true;
    setup.local_drives_rider = false;
    setup.track_name = s.settings.track;
    track::begin_race(setup);
    for (Client& c : s.clients) {
        c.racer = false;
        c.entry = k_no_slot;
        c.has_record = false;
        c.fresh_record = false;
        if (c.stage == Stage::joined) {
            c.stage = Stage::restarting;
            c.last_sent = s.now;
            send_to(s, c, Restart{s.race_id});
        }
    }
    logf(s, "race %u begins (%s): %s, %d laps, %d minutes", s.race_id, why, s.settings.track.c_str(),
         s.settings.laps, s.settings.minutes);
}

void client_took_track(Server& s, Client& c)
{
    // A rider arriving at a track where nobody races need not wait for a
    // race nobody runs.
    if (s.field_closed && field_empty(s)) begin_new_race(s, "a rider arrived");
    // The first rider of an idle server starts the wait for others, so that
    // friends arriving together race together.
    int arrived = 0;
    for (const Client& o : s.clients) arrived += o.stage != Stage::free && o.stage != Stage::welcomed;
    if (!s.field_closed && arrived == 1) s.race_epoch = s.now;
}

void send_descriptions_or_entry(Server& s, Client& c, std::uint32_t last_described)
{
    if (!in_current_race(s, c)) {
        // Told of an older race: it watches, then is brought to the new one.
        send_entry(s, c);
        return;
    }
    if (!s.field_closed) return;
    if (!c.racer && !s.finished) {
        bool warmup_left = server_tick(s) + k_min_warmup_left_ticks <= s.start_tick;
        if (warmup_left && s.regathers < k_max_regathers) {
            // Everybody comes back to the track stage so that they all race.
            s.regather = true;
            return;
        }
    }
    std::uint32_t highest = k_no_slot;
    for (const Client& o : s.clients)
        if (o.racer && &o != &c) highest = static_cast<std::uint32_t>(slot_of(s, o));
    if (highest == k_no_slot || (last_described != k_no_slot && last_described >= highest)) {
        send_entry(s, c);
        return;
    }
    if (c.descriptions_sent_at >= 0 && s.now - c.descriptions_sent_at < k_resend_seconds) return;
    c.descriptions_sent_at = s.now;
    for (const Client& o : s.clients) {
        if (!o.racer || &o == &c) continue;
        std::uint32_t slot = static_cast<std::uint32_t>(slot_of(s, o));
        if (last_described != k_no_slot && slot <= last_described) continue;
        send_to(s, c, RiderDescription{c.race_id, slot, o.description});
    }
}

void record_received(Server& s, Client& c, const StateUpdate& u)
{
    if (c.stage != Stage::joined || !c.racer || !in_current_race(s, c) || u.race_id != s.race_id) return;
    std::int32_t tick = server_tick(s);
    if (u.newest_server_tick > c.newest_server_tick) c.newest_server_tick = u.newest_server_tick;
    if (u.newest_server_tick > 0)
        c.ping = static_cast<std::uint16_t>(std::clamp(tick - u.newest_server_tick, 0, 65535));
    if (u.race_clock != 0) c.echo = u.race_clock;
    if (c.has_record && u.race_clock <= c.record_tick) return;       // stale or repeated
    if (u.race_clock > tick + k_future_record_ticks) return;          // from a clock we never ran
    c.has_record = true;
    c.fresh_record = true;
    c.record_tick = u.race_clock;
    c.record = u.record;
    track::note_rider_data(slot_of(s, c), tick);
}

void gate_reported(Server& s, Client& c, const GateReport& g)
{
    if (!c.racer || g.race_id != s.race_id || !s.field_closed || s.finished) return;
    int slot = slot_of(s, c);
    std::int32_t tick = server_tick(s);
    // Positions only grow one at a time (or fall back when a rider is put
    // back onto the course); a report far ahead is forged.
    if (g.gate < 0 || g.gate > track::rider_position(slot) + k_gate_lead) return;
    if (g.tick < 0 || g.tick > tick + k_future_record_ticks) return;
    // A rider put back onto the course forgets the passages beyond.
    if (g.gate + 1 < track::rider_position(slot)) track::set_rider_position(slot, g.gate);
    track::set_gate_time(slot, g.gate, g.tick);
    GateTime time{static_cast<std::uint32_t>(slot), g.gate, g.tick};
    for (Client& o : s.clients)
        if (&o != &c && o.stage == Stage::joined && in_current_race(s, o)) queue_gate_time(s, o, time);
}

void restart_requested(Server& s, Client& c)
{
    if (c.stage != Stage::joined || !in_current_race(s, c) || !s.field_closed) return;
    if (s.now - s.race_epoch < k_restart_request_grace) return;
    logf(s, "slot %d: %s requests a restart", slot_of(s, c), c.name.c_str());
    broadcast_text(s, c.name + " requested a restart");
    begin_new_race(s, "a restart was requested");
}

void client_left_race(Server& s, Client& c)
{
    // A racer who leaves stays in the standings as it was; the race rules
    // stop waiting for a rider no longer heard from.
    c.racer = false;
}

void race_update(Server& s)
{
    for (Client& c : s.clients) {
        if (c.stage == Stage::joined && !in_current_race(s, c)) {
            c.stage = Stage::restarting;
            c.last_sent = s.now;
            send_to(s, c, Restart{s.race_id});
        }
        // A client watching the race sends nothing of its own accord; an
        // empty gate message (harmless, and acknowledged) keeps it heard.
        if (c.stage == Stage::joined && c.out.empty() && s.now - c.last_heard >= k_keepalive_seconds)
            queue_message(s, c, k_msg_gates, encode_payload(GateTimes{c.race_id, {}}));
    }
    if (s.next_race_at >= 0 && s.now >= s.next_race_at) {
        begin_new_race(s, "the next race");
        return;
    }
    if (s.regather && s.now - s.race_epoch >= k_regather_grace_seconds) {
        int regathers = s.regathers + 1;
        begin_new_race(s, "riders joined the field");
        s.regathers = regathers;
        return;
    }
    if (!s.field_closed) {
        if (field_gathered(s)) close_field(s);
        return;
    }
    std::int32_t tick = server_tick(s);
    std::int32_t round = tick / k_relay_interval_ticks;
    if (round == s.last_relay_round) return;
    s.last_relay_round = round;
    relay(s, tick);
    if (s.finished || tick < s.start_tick) return;
    if (s.settings.track_has_timing) {
        track::update_standings(tick);
        if (track::has_final_standings()) announce_results(s);
    } else if (s.settings.minutes > 0 && tick >= s.start_tick + s.settings.minutes * 60 * 128) {
        announce_results(s);
    }
}

}  // namespace zv::server
