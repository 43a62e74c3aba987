// The datagrams a client sends to the server.
#include "net/datagram_io.h"
#include "net/datagrams.h"

namespace zv::net {

using io::expect_type;
using io::Reader;
using io::Writer;

namespace {

// Types 5, 9 and 14 share one layout: slot, token, race id.
bool encode_slot_race(std::uint8_t type, std::uint32_t slot, std::uint32_t token, std::uint32_t race_id,
                      Datagram& out)
{
    Writer w(out);
    w.u8(type);
    w.u32(slot);
    w.u32(token);
    w.u32(race_id);
    return w.finish();
}

template <class T>
bool decode_slot_race(Bytes in, std::uint8_t type, T& out)
{
    Reader r(in);
    if (!expect_type(r, type)) return false;
    T d;
    d.slot = r.u32();
    d.token = r.u32();
    d.race_id = r.u32();
    if (!r.finished_exactly()) return false;
    out = d;
    return true;
}

}  // namespace

// 0: [1] password flag, [2..4] zero, [5..8] reserved, [9..12] protocol,
// [13..16] nonce, [17..20] reserved. Our reserved fields are zero.
bool encode(const ConnectRequest& d, Datagram& out)
{
    Writer w(out);
    w.u8(k_connect_request);
    w.u8(d.password_set ? 1 : 0);
    w.zeros(3);
    w.zeros(4);
    w.u32(d.protocol);
    w.u32(d.nonce);
    w.zeros(4);
    return w.finish();
}

bool decode(Bytes in, ConnectRequest& out)
{
    Reader r(in);
    if (!expect_type(r, k_connect_request)) return false;
    std::uint8_t flag = r.u8();
    std::uint8_t pad[3] = {};
    r.raw(pad, 3);
    r.skip(4);
    ConnectRequest d;
    d.protocol = r.u32();
    d.nonce = r.u32();
    r.skip(4);
    if (!r.finished_exactly() || flag > 1 || pad[0] || pad[1] || pad[2]) return false;
    d.password_set = flag == 1;
    out = d;
    return true;
}

// 3: [1..4] slot, [5..8] token, [9..12] proof, [13..16] reserved,
// [17..20] nonce, [21..40] reserved, [41..] description.
bool encode(const ClientInfo& d, Datagram& out)
{
    if (d.description.size() > k_max_description_text) return false;
    Writer w(out);
    w.u8(k_client_info);
    w.u32(d.slot);
    w.u32(d.token);
    w.u32(d.password_proof);
    w.zeros(4);
    w.u32(d.nonce);
    w.zeros(20);
    w.text(d.description);
    return w.finish();
}

bool decode(Bytes in, ClientInfo& out)
{
    Reader r(in);
    if (!expect_type(r, k_client_info)) return false;
    ClientInfo d;
    d.slot = r.u32();
    d.token = r.u32();
    d.password_proof = r.u32();
    r.skip(4);
    d.nonce = r.u32();
    r.skip(20);
    d.description = r.rest_text();
    if (!r.finished_exactly()) return false;
    out = std::move(d);
    return true;
}

bool encode(const TrackAck& d, Datagram& out) { return encode_slot_race(k_track_ack, d.slot, d.token, d.race_id, out); }
bool decode(Bytes in, TrackAck& out) { return decode_slot_race(in, k_track_ack, out); }
bool encode(const Ready& d, Datagram& out) { return encode_slot_race(k_ready, d.slot, d.token, d.race_id, out); }
bool decode(Bytes in, Ready& out) { return decode_slot_race(in, k_ready, out); }
bool encode(const RestartAck& d, Datagram& out)
{
    return encode_slot_race(k_restart_ack, d.slot, d.token, d.race_id, out);
}
bool decode(Bytes in, RestartAck& out) { return decode_slot_race(in, k_restart_ack, out); }

// 7: slot, token, race id, last rider description received.
bool encode(const BikeAck& d, Datagram& out)
{
    Writer w(out);
    w.u8(k_bike_ack);
    w.u32(d.slot);
    w.u32(d.token);
    w.u32(d.race_id);
    w.u32(d.last_described);
    return w.finish();
}

bool decode(Bytes in, BikeAck& out)
{
    Reader r(in);
    if (!expect_type(r, k_bike_ack)) return false;
    BikeAck d;
    d.slot = r.u32();
    d.token = r.u32();
    d.race_id = r.u32();
    d.last_described = r.u32();
    if (!r.finished_exactly()) return false;
    out = d;
    return true;
}

// 11: slot, token, race id, newest server tick, race clock, 39-byte record.
bool encode(const StateUpdate& d, Datagram& out)
{
    Writer w(out);
    w.u8(k_state_update);
    w.u32(d.slot);
    w.u32(d.token);
    w.u32(d.race_id);
    w.i32(d.newest_server_tick);
    w.i32(d.race_clock);
    w.raw(d.record.bytes.data(), d.record.bytes.size());
    return w.finish();
}

bool decode(Bytes in, StateUpdate& out)
{
    Reader r(in);
    if (!expect_type(r, k_state_update)) return false;
    StateUpdate d;
    d.slot = r.u32();
    d.token = r.u32();
    d.race_id = r.u32();
    d.newest_server_tick = r.i32();
    d.race_clock = r.i32();
    r.raw(d.record.bytes.data(), d.record.bytes.size());
    if (!r.finished_exactly()) return false;
    out = d;
    return true;
}

// 13: slot, token, the value 1.
bool encode(const RestartRequest& d, Datagram& out) { return encode_slot_race(k_restart_request, d.slot, d.token, 1, out); }

bool decode(Bytes in, RestartRequest& out)
{
    Reader r(in);
    if (!expect_type(r, k_restart_request)) return false;
    RestartRequest d;
    d.slot = r.u32();
    d.token = r.u32();
    std::uint32_t one = r.u32();
    if (!r.finished_exactly() || one != 1) return false;
    out = d;
    return true;
}

// 15: slot, token.
bool encode(const Disconnect& d, Datagram& out)
{
    Writer w(out);
    w.u8(k_disconnect);
    w.u32(d.slot);
    w.u32(d.token);
    return w.finish();
}

bool decode(Bytes in, Disconnect& out)
{
    Reader r(in);
    if (!expect_type(r, k_disconnect)) return false;
    Disconnect d;
    d.slot = r.u32();
    d.token = r.u32();
    if (!r.finished_exactly()) return false;
    out = d;
    return true;
}

// 17: slot, token, sequence, message type, payload.
bool encode(const ClientMessage& d, Datagram& out)
{
    if (d.payload.size() > k_max_client_payload) return false;
    Writer w(out);
    w.u8(k_client_message);
    w.u32(d.slot);
    w.u32(d.token);
    w.u32(d.sequence);
    w.u8(d.type);
    w.raw(d.payload.data(), d.payload.size());
    return w.finish();
}

bool decode(Bytes in, ClientMessage& out)
{
    Reader r(in);
    if (!expect_type(r, k_client_message)) return false;
    ClientMessage d;
    d.slot = r.u32();
    d.token = r.u32();
    d.sequence = r.u32();
    d.type = r.u8();
    std::size_t n = r.left();
    if (!r.ok || n > k_max_client_payload) return false;
    d.payload.resize(n);
    r.raw(d.payload.data(), n);
    if (!r.finished_exactly()) return false;
    out = std::move(d);
    return true;
}

// 18: slot, token, sequence acknowledged.
bool encode(const ClientAck& d, Datagram& out)
{
    return encode_slot_race(k_client_ack, d.slot, d.token, d.sequence, out);
}

bool decode(Bytes in, ClientAck& out)
{
    Reader r(in);
    if (!expect_type(r, k_client_ack)) return false;
    ClientAck d;
    d.slot = r.u32();
    d.token = r.u32();
    d.sequence = r.u32();
    if (!r.finished_exactly()) return false;
    out = d;
    return true;
}

std::optional<ClientDatagram> decode_client_datagram(Bytes in)
{
    if (in.empty()) return std::nullopt;
    auto as = [&]<class T>(T d) -> std::optional<ClientDatagram> {
        if (!decode(in, d)) return std::nullopt;
        return ClientDatagram{std::move(d)};
    };
    switch (in[0]) {
    case k_connect_request: return as(ConnectRequest{});
    case k_client_info: return as(ClientInfo{});
    case k_track_ack: return as(TrackAck{});
    case k_bike_ack: return as(BikeAck{});
    case k_ready: return as(Ready{});
    case k_state_update: return as(StateUpdate{});
    case k_restart_request: return as(RestartRequest{});
    case k_restart_ack: return as(RestartAck{});
    case k_disconnect: return as(Disconnect{});
    case k_client_message: return as(ClientMessage{});
    case k_client_ack: return as(ClientAck{});
    default: return std::nullopt;
    }
}

}  // namespace zv::net
