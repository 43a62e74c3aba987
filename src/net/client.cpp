// The client's rules: which datagram each connection state repeats, what
// every server datagram changes, and what goes out while racing.
#include "net/client.h"

#include <cmath>
#include <cstdio>

#include "core/messages.h"
#include "net/client_internal.h"
#include "net/rider_description.h"
#include "net/server_commands.h"
#include "replay/history.h"
#include "replay/visibility.h"
#include "sim/world.h"

namespace zv::net {

namespace detail {

void show(Client& c, const std::string& text)
{
    if (c.host.show)
        c.host.show(text);
    else
        core::show_message("%s", text.c_str());
}

}  // namespace detail

using namespace detail;

namespace {

std::string format_text(const char* format, int value)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

void enter(Client& c, ConnectionState s)
{
    c.state = s;
    c.send_now = true;  // the new state's datagram goes out at the next update
}

void go_disconnecting(Client& c, double now)
{
    if (c.state != ConnectionState::disconnecting)
        c.disconnect_started = now;
    enter(c, ConnectionState::disconnecting);
}

// The state's repeated datagram and the message shown when it goes.
void send_state_datagram(Client& c)
{
    switch (c.state) {
    case ConnectionState::connecting:
        send_connect_request(c);
        show(c, "Contacting server\n");
        break;
    case ConnectionState::sending_info:
        send_client_info(c);
        show(c, "Sending client info\n");
        break;
    case ConnectionState::track_accepted:
        send_track_ack(c);
        show(c, "Sending track acknowledgment\n");
        break;
    case ConnectionState::loading_bikes:
        send_bike_ack(c);
        show(c, format_text("Sending bike acknowledgment %d\n", static_cast<int>(c.last_description)));
        break;
    case ConnectionState::joined:
        send_ready(c);
        break;
    case ConnectionState::restarting:
        send_restart_ack(c);
        show(c, "Sending restart\n");
        break;
    case ConnectionState::disconnecting:
        send_disconnect(c);
        show(c, "Disconnecting\n");
        break;
    case ConnectionState::racing:
        break;
    }
}

bool is_networked_rider(const Client& c, std::uint32_t slot)
{
    if (slot >= static_cast<std::uint32_t>(k_slot_count) || slot == c.slot)
        return false;
    if (c.state != ConnectionState::joined && c.state != ConnectionState::racing)
        return false;
    return c.slots[slot].status != SlotStatus::none;
}

void handle_command(Client& c, const std::string& text)
{
    ServerCommand cmd = parse_server_command(text);
    switch (cmd.kind) {
    case CommandKind::no_arcade:
        c.arcade_disabled = true;
        if (c.host.disable_arcade && c.host.disable_arcade())
            show(c, "Arcade physics disabled");
        break;
    case CommandKind::off_course_bias:
        replay::set_off_course_parameters(cmd.value, replay::off_course_scale());
        break;
    case CommandKind::off_course_scale:
        replay::set_off_course_parameters(replay::off_course_bias(), cmd.value);
        break;
    case CommandKind::knockout:
        sim::set_knockout_penalties(cmd.knockout);
        break;
    case CommandKind::sendready:
        if (c.host.transfer_ready)
            c.host.transfer_ready();
        break;
    case CommandKind::senddenied:
        show(c, "Send file denied");
        if (c.host.transfer_denied)
            c.host.transfer_denied();
        break;
    case CommandKind::unknown:
        break;
    }
}

void handle_gate_times(Client& c, std::span<const std::uint8_t> payload)
{
    GateTimes times;
    if (!decode_payload(payload, times) || times.race_id != c.race.race_id)
        return;
    for (const GateTime& t : times.records) {
        if (t.slot >= static_cast<std::uint32_t>(k_slot_count) || t.slot == c.slot ||
            c.slots[t.slot].status == SlotStatus::none || t.gate < 0)
            continue;
        if (c.host.set_gate_time)
            c.host.set_gate_time(static_cast<int>(t.slot), t.gate, t.tick);
    }
    if (c.host.update_standings)
        c.host.update_standings();
}

void handle_message(Client& c, const ReliableMessage& m)
{
    switch (m.type) {
    case k_msg_text: {
        std::string text = payload_text(m.payload);
        show(c, text);
        if (c.host.server_text)
            c.host.server_text(text);
        break;
    }
    case k_msg_gates:
        handle_gate_times(c, m.payload);
        break;
    case k_msg_command:
        handle_command(c, payload_text(m.payload));
        break;
    default:
        break;
    }
}

}  // namespace

std::string race_length_text(std::int32_t length_ticks, std::int32_t laps)
{
    char buf[96];
    if (length_ticks <= 0) {
        std::snprintf(buf, sizeof buf, "%d laps", laps);
        return buf;
    }
    const int minutes = static_cast<int>(std::lround(length_ticks / 128.0 / 60.0));
    if (laps > 0)
        std::snprintf(buf, sizeof buf, "%d minutes + %d laps", minutes, laps);
    else
        std::snprintf(buf, sizeof buf, "%d minutes", minutes);
    return buf;
}

// ---- handlers ----

namespace detail {

void on_server_full(Client& c) { show(c, "Server is full"); }

void on_welcome(Client& c, std::uint32_t slot, std::uint32_t token, std::int32_t protocol)
{
    if (c.state != ConnectionState::connecting)
        return;
    c.slot = slot;
    c.token = token;
    if (protocol != static_cast<std::int32_t>(k_server_protocol)) {
        show(c, "Server version does not match client version");
        go_disconnecting(c, c.now);
        return;
    }
    enter(c, ConnectionState::sending_info);
}

void on_track_info(Client& c, const RaceParameters& race)
{
    if (c.state != ConnectionState::sending_info && c.state != ConnectionState::restarting)
        return;
    if (c.race.race_id != 0 && race.race_id != c.race.race_id)
        return;
    c.race = race;
    if (c.host.track_installed && !c.host.track_installed(race.track)) {
        char buf[200];
        std::snprintf(buf, sizeof buf, "Can't find track '%.150s'", race.track.c_str());
        show(c, buf);
        go_disconnecting(c, c.now);
        return;
    }
    for (SlotInfo& s : c.slots)
        s = SlotInfo{};
    replay::clear_history();
    replay::clear_network_bookkeeping();
    c.entry = k_no_slot;
    c.last_description = k_no_slot;
    c.server_tick_known = false;
    c.newest_server_tick = 0;
    c.server_estimate = 0;
    c.reported_gates = 0;
    c.stats.newest_seen.fill(0);
    enter(c, ConnectionState::track_accepted);
}

void on_rider_description(Client& c, std::uint32_t slot, std::string_view text)
{
    if (c.state != ConnectionState::track_accepted && c.state != ConnectionState::loading_bikes)
        return;
    if (slot >= static_cast<std::uint32_t>(k_slot_count))
        return;
    if (c.last_description != k_no_slot && slot <= c.last_description)
        return;
    c.slots[slot].rider = parse_rider_description(text);
    c.slots[slot].status = SlotStatus::described;
    c.last_description = slot;
    enter(c, ConnectionState::loading_bikes);
}

void on_race_entry(Client& c, std::uint32_t entry, std::string_view own_description)
{
    if (c.state != ConnectionState::track_accepted && c.state != ConnectionState::loading_bikes)
        return;
    c.entry = entry;
    if (c.slot < static_cast<std::uint32_t>(k_slot_count)) {
        c.slots[c.slot].status = SlotStatus::in_race;
        c.slots[c.slot].rider = parse_rider_description(own_description);
    }
    enter(c, ConnectionState::joined);
    std::optional<core::Digest> hash;
    if (c.host.start_race)
        hash = c.host.start_race(c.race, entry);
    else
        hash = c.race.hash;
    if (!hash || *hash != c.race.hash) {
        char buf[200];
        std::snprintf(buf, sizeof buf, "Client track modified - does not match server's track (%.100s)",
                      c.race.track.c_str());
        show(c, buf);
        go_disconnecting(c, c.now);
    }
}

void on_state_record(Client& c, std::uint32_t slot, int ping_ticks, std::uint32_t tick,
                     const replay::StateRecord& record)
{
    if (!is_networked_rider(c, slot))
        return;
    const int s = static_cast<int>(slot);
    if (!replay::note_received_state(s, tick))
        return;
    replay::set_ping(s, ping_ticks);
    replay::add_state_to_history(s, record, static_cast<int>(tick));
    if (c.host.rider_data)
        c.host.rider_data(s, static_cast<int>(tick));
}

void on_clock(Client& c, std::int32_t server_tick, std::int32_t echo, const LocalView& view)
{
    if (c.state != ConnectionState::joined && c.state != ConnectionState::racing)
        return;
    if (echo != 0) {
        // The echo is our own clock sent back; a damaged one can sit so far
        // away that the difference does not fit a tick count, and then it
        // says nothing about the round trip.
        const std::int64_t trip = std::int64_t{view.race_clock} - echo;
        if (trip >= INT32_MIN && trip <= INT32_MAX)
            c.ping_ticks = static_cast<int>(trip);
    }
    const auto tick = static_cast<std::uint32_t>(server_tick);
    if (!c.server_tick_known) {
        c.server_tick_known = true;
        c.newest_server_tick = tick;
        c.server_estimate = server_tick;
        if (c.host.set_race_clock)
            c.host.set_race_clock(server_tick);
    } else if (tick > c.newest_server_tick) {
        c.newest_server_tick = tick;
        c.server_estimate = server_tick;
    }
    if (c.state == ConnectionState::joined) {
        show(c, race_length_text(c.race.length_ticks, c.race.laps));
        enter(c, ConnectionState::racing);
    }
}

void on_restart(Client& c, std::uint32_t race_id)
{
    if (c.state != ConnectionState::joined && c.state != ConnectionState::racing)
        return;
    if (race_id <= c.race.race_id)
        return;
    c.race.race_id = race_id;
    enter(c, ConnectionState::restarting);
}

void on_disconnected(Client& c)
{
    show(c, "Disconnected");
    reset_client(c);
}

void on_error(Client& c, std::string_view text)
{
    show(c, std::string(text));
    go_disconnecting(c, c.now);
}

void on_reliable(Client& c, std::uint32_t sequence, std::uint8_t type, std::span<const std::uint8_t> payload)
{
    send_acknowledgment(c, sequence);
    ReliableMessage m;
    m.sequence = sequence;
    m.type = type;
    m.payload.assign(payload.begin(), payload.end());
    for (const ReliableMessage& ready : accept_reliable(c.incoming, std::move(m))) {
        if (!c.active)
            break;  // a message before this one ended the connection
        handle_message(c, ready);
    }
}

void on_acknowledgment(Client& c, std::uint32_t sequence) { acknowledge_reliable(c.outgoing, sequence); }

void on_redirect(Client& c, std::uint32_t nonce, std::string_view address)
{
    if (c.state != ConnectionState::connecting || nonce != c.nonce)
        return;
    std::string target(address.substr(0, k_address_limit));
    reset_client(c);
    if (c.host.redirect)
        c.host.redirect(target);
}

}  // namespace detail

// ---- the connection's life ----

void begin_connection(Client& c, double now)
{
    ClientHost host = std::move(c.host);
    std::string password = std::move(c.password);
    replay::DemoRider own = std::move(c.own_rider);
    ClientStats stats = c.stats;
    c = Client{};
    c.host = std::move(host);
    c.password = std::move(password);
    c.own_rider = std::move(own);
    c.stats = stats;
    c.active = true;
    c.now = now;
    c.nonce = make_nonce(now);
        enter(c, ConnectionState::connecting);
    c.last_send = now;
    c.send_now = false;
    send_state_datagram(c);
}

void reset_client(Client& c)
{
    const bool was_active = c.active;
    c.active = false;
    c.state = ConnectionState::connecting;
    c.slot = k_no_slot;
    c.token = 0;
    c.race = RaceParameters{};
    c.entry = k_no_slot;
    c.last_description = k_no_slot;
    c.reported_gates = 0;
    c.arcade_disabled = false;
    c.outgoing = OutgoingQueue{};
    c.incoming = IncomingOrder{};
    c.server_tick_known = false;
    c.newest_server_tick = 0;
    c.server_estimate = 0;
    c.ping_ticks = 0;
    for (SlotInfo& s : c.slots)
        s = SlotInfo{};
    replay::reset_off_course_parameters();
    replay::clear_network_bookkeeping();
    if (was_active && c.host.connection_reset)
        c.host.connection_reset();
}

void client_update(Client& c, const LocalView& view)
{
    if (!c.active)
        return;
    c.now = view.now;
    ++c.server_estimate;

    if (const ReliableMessage* m = due_reliable(c.outgoing, view.now))
        send_reliable(c, *m);

    if (c.state == ConnectionState::racing) {
        if (view.gates_passed != c.reported_gates && view.gates_passed > 0) {
            c.reported_gates = view.gates_passed;
            GateReport r{c.race.race_id, view.gates_passed - 1, view.last_gate_tick};
            queue_reliable(c.outgoing, k_msg_gates, encode_payload(r));
        }
        if (view.race_clock % k_state_interval == 0 && has_place(c) && view.state)
            send_state(c, view.race_clock, *view.state);
        if (c.description_changed && !view.in_chooser) {
            std::string text = format_rider_description(c.own_rider, k_max_description_payload);
            queue_reliable(c.outgoing, k_msg_description,
                           std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
            c.description_changed = false;
        }
        return;
    }
    if (c.state == ConnectionState::disconnecting && view.now - c.disconnect_started >= k_disconnect_give_up) {
        show(c, "Disconnected");
        reset_client(c);
        return;
    }
    if (c.send_now || view.now - c.last_send >= k_repeat_interval) {
        c.send_now = false;
        c.last_send = view.now;
        send_state_datagram(c);
    }
}

void disconnect_from_server(Client& c, const LocalView& view)
{
    if (!c.active)
        return;
    // Nothing was exchanged yet, or the server never answers the leave: the
    // connection ends here.
    if (c.state == ConnectionState::connecting || c.state == ConnectionState::disconnecting) {
        show(c, "Disconnected");
        reset_client(c);
        return;
    }
    go_disconnecting(c, view.now);
}

void leave_server_now(Client& c)
{
    if (!c.active)
        return;
    send_disconnect(c);
    show(c, "Disconnecting");
    reset_client(c);
}

void request_restart(Client& c)
{
    if (!c.active || c.state != ConnectionState::racing)
        return;
    send_restart_request(c);
    show(c, "Requesting restart");
}

void send_chat(Client& c, std::string_view text)
{
    if (!c.active)
        return;
    std::string_view cut = text.substr(0, k_max_client_payload);
    queue_reliable(c.outgoing, k_msg_text, std::span(reinterpret_cast<const std::uint8_t*>(cut.data()), cut.size()));
}

void queue_command(Client& c, std::string_view text)
{
    if (!c.active)
        return;
    std::string_view cut = text.substr(0, k_max_client_payload);
    queue_reliable(c.outgoing, k_msg_command,
                   std::span(reinterpret_cast<const std::uint8_t*>(cut.data()), cut.size()));
}

void queue_file_part(Client& c, std::span<const std::uint8_t> bytes)
{
    if (!c.active)
        return;
    static constexpr std::string_view k_prefix = "sendpart -";
    std::vector<std::uint8_t> payload(k_prefix.begin(), k_prefix.end());
    payload.insert(payload.end(), bytes.begin(), bytes.end());
    queue_reliable(c.outgoing, k_msg_command, payload);
}

bool has_slot(const Client& c) { return c.active && c.slot < static_cast<std::uint32_t>(k_slot_count); }

bool has_place(const Client& c) { return has_slot(c) && c.entry != k_no_slot; }

const char* state_name(ConnectionState s)
{
    switch (s) {
    case ConnectionState::connecting: return "CONNECTING";
    case ConnectionState::sending_info: return "SENDING_INFO";
    case ConnectionState::track_accepted: return "TRACK_ACCEPTED";
    case ConnectionState::loading_bikes: return "LOADING_BIKES";
    case ConnectionState::joined: return "JOINED";
    case ConnectionState::racing: return "RACING";
    case ConnectionState::restarting: return "RESTARTING";
    case ConnectionState::disconnecting: return "DISCONNECTING";
    }
    return "?";
}

}  // namespace zv::net
