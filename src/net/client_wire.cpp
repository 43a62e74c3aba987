// The client's datagrams: decoding what the server sent (with the filters
// every datagram passes first) and encoding what the rules send.
#include <variant>

#include "net/client.h"
#include "net/client_internal.h"
#include "net/rider_description.h"

namespace zv::net {

using namespace detail;

namespace {

void put(Client& c, const Datagram& d)
{
    c.outbox.emplace_back(d.bytes.begin(), d.bytes.begin() + static_cast<std::ptrdiff_t>(d.size));
}

template <class T>
void send(Client& c, const T& value)
{
    Datagram d;
    if (encode(value, d))
        put(c, d);
}

bool race_matches(const Client& c, std::uint32_t race_id) { return race_id == c.race.race_id; }

// A states datagram: the complete records, then the clock unless the count
// promised more records than arrived.
void receive_states(Client& c, std::span<const std::uint8_t> bytes, const LocalView& view)
{
    States states;
    bool truncated = false;
    if (!decode_states_prefix(bytes, states, truncated) || !race_matches(c, states.race_id))
        return;
    if (c.state != ConnectionState::joined && c.state != ConnectionState::racing)
        return;
    for (std::size_t i = 0; i < states.count; ++i) {
        const StateEntry& e = states.entries[i];
        ++c.stats.records;
        if (e.slot < k_max_slots) {
            std::uint32_t& newest = c.stats.newest_seen[e.slot];
            if (static_cast<std::uint32_t>(e.tick) <= newest)
                ++c.stats.late_records;
            else
                newest = static_cast<std::uint32_t>(e.tick);
        }
        on_state_record(c, e.slot, e.ping, static_cast<std::uint32_t>(e.tick), e.record);
    }
    if (truncated) {
        show(c, "State packet too small");
        return;
    }
    on_clock(c, states.server_tick, states.echo, view);
}

}  // namespace

void client_receive(Client& c, std::span<const std::uint8_t> bytes, const LocalView& view)
{
    if (!c.active || bytes.empty())
        return;
    c.now = view.now;
    ++c.stats.received;
    const std::uint8_t type = bytes[0];
    // The race's datagrams mean nothing before the server gave a slot.
    if (type >= k_track_info && type <= k_restart && c.slot == k_no_slot)
        return;
    if (type == k_states) {
        receive_states(c, bytes, view);
        return;
    }
    std::optional<ServerDatagram> d = decode_server_datagram(bytes);
    if (!d)
        return;
    std::visit(
        [&](const auto& m) {
            using T = std::decay_t<decltype(m)>;
            if constexpr (std::is_same_v<T, ServerFull>) {
                on_server_full(c);
            } else if constexpr (std::is_same_v<T, Welcome>) {
                on_welcome(c, m.slot, m.token, static_cast<std::int32_t>(m.protocol));
            } else if constexpr (std::is_same_v<T, TrackInfo>) {
                if (c.race.race_id != 0 && !race_matches(c, m.race_id))
                    return;
                RaceParameters r;
                r.race_id = m.race_id;
                r.length_ticks = m.race_length;
                r.laps = m.laps;
                r.start_tick = m.race_start_tick;
                r.hash = m.track_hash;
                r.track = m.track_name;
                on_track_info(c, r);
            } else if constexpr (std::is_same_v<T, RiderDescription>) {
                if (race_matches(c, m.race_id))
                    on_rider_description(c, m.slot, m.description);
            } else if constexpr (std::is_same_v<T, RaceEntry>) {
                if (race_matches(c, m.race_id))
                    on_race_entry(c, m.entry, m.description);
            } else if constexpr (std::is_same_v<T, Clock>) {
                if (race_matches(c, m.race_id))
                    on_clock(c, m.server_tick, m.echo, view);
            } else if constexpr (std::is_same_v<T, Restart>) {
                on_restart(c, m.race_id);
            } else if constexpr (std::is_same_v<T, Disconnected>) {
                on_disconnected(c);
            } else if constexpr (std::is_same_v<T, ErrorText>) {
                on_error(c, m.text);
            } else if constexpr (std::is_same_v<T, ServerMessage>) {
                on_reliable(c, m.sequence, m.type, m.payload);
            } else if constexpr (std::is_same_v<T, ServerAck>) {
                on_acknowledgment(c, m.sequence);
            } else if constexpr (std::is_same_v<T, Redirect>) {
                on_redirect(c, m.nonce, m.address);
            }
            // Notices carry nothing the client uses; states came above.
        },
        *d);
}

namespace detail {

void send_connect_request(Client& c)
{
    ConnectRequest d;
    d.password_set = !c.password.empty();
    d.nonce = c.nonce;
    send(c, d);
}

void send_client_info(Client& c)
{
    ClientInfo d;
    d.slot = c.slot;
    d.token = c.token;
    d.password_proof = c.password.empty() ? 0 : password_proof(c.password, c.token);
    d.nonce = c.nonce;
    d.description = format_rider_description(c.own_rider, k_max_description_text);
    send(c, d);
}

void send_track_ack(Client& c) { send(c, TrackAck{c.slot, c.token, c.race.race_id}); }

void send_bike_ack(Client& c) { send(c, BikeAck{c.slot, c.token, c.race.race_id, c.last_description}); }

void send_ready(Client& c) { send(c, Ready{c.slot, c.token, c.race.race_id}); }

void send_state(Client& c, std::int32_t race_clock, const replay::StateRecord& record)
{
    StateUpdate d;
    d.slot = c.slot;
    d.token = c.token;
    d.race_id = c.race.race_id;
    d.newest_server_tick = static_cast<std::int32_t>(c.newest_server_tick);
    d.race_clock = race_clock;
    d.record = record;
    send(c, d);
}

void send_restart_request(Client& c) { send(c, RestartRequest{c.slot, c.token}); }

void send_restart_ack(Client& c) { send(c, RestartAck{c.slot, c.token, c.race.race_id}); }

void send_disconnect(Client& c) { send(c, Disconnect{c.slot, c.token}); }

void send_reliable(Client& c, const ReliableMessage& m)
{
    ClientMessage d;
    d.slot = c.slot;
    d.token = c.token;
    d.sequence = m.sequence;
    d.type = m.type;
    d.payload = m.payload;
    send(c, d);
}

void send_acknowledgment(Client& c, std::uint32_t sequence) { send(c, ClientAck{c.slot, c.token, sequence}); }

}  // namespace detail

}  // namespace zv::net
