// The datagrams a server sends to its clients.
#include "net/datagram_io.h"
#include "net/datagrams.h"

namespace zv::net {

using io::expect_type;
using io::Reader;
using io::Writer;

namespace {

bool encode_type_only(std::uint8_t type, Datagram& out)
{
    Writer w(out);
    w.u8(type);
    return w.finish();
}

bool decode_type_only(Bytes in, std::uint8_t type)
{
    Reader r(in);
    return expect_type(r, type) && r.finished_exactly();
}

bool encode_one_word(std::uint8_t type, std::uint32_t v, Datagram& out)
{
    Writer w(out);
    w.u8(type);
    w.u32(v);
    return w.finish();
}

std::optional<std::uint32_t> decode_one_word(Bytes in, std::uint8_t type)
{
    Reader r(in);
    if (!expect_type(r, type)) return std::nullopt;
    std::uint32_t v = r.u32();
    if (!r.finished_exactly()) return std::nullopt;
    return v;
}

// Types 6 and 8: race id, a number, then text to the end.
bool encode_numbered_text(std::uint8_t type, std::uint32_t race_id, std::uint32_t n, const std::string& text,
                          Datagram& out)
{
    Writer w(out);
    w.u8(type);
    w.u32(race_id);
    w.u32(n);
    w.text(text);
    return w.finish();
}

template <class T>
bool decode_numbered_text(Bytes in, std::uint8_t type, std::uint32_t T::*number, T& out)
{
    Reader r(in);
    if (!expect_type(r, type)) return false;
    T d;
    d.race_id = r.u32();
    d.*number = r.u32();
    d.description = r.rest_text();
    if (!r.finished_exactly()) return false;
    out = std::move(d);
    return true;
}

void read_entry(Reader& r, StateEntry& e)
{
    e.slot = r.u16();
    e.ping = r.u16();
    e.tick = r.i32();
    r.raw(e.record.bytes.data(), e.record.bytes.size());
}

}  // namespace

bool encode(const ServerFull&, Datagram& out) { return encode_type_only(k_server_full, out); }
bool decode(Bytes in, ServerFull&) { return decode_type_only(in, k_server_full); }
bool encode(const Disconnected&, Datagram& out) { return encode_type_only(k_disconnected, out); }
bool decode(Bytes in, Disconnected&) { return decode_type_only(in, k_disconnected); }

// 2: slot, token, protocol.
bool encode(const Welcome& d, Datagram& out)
{
    Writer w(out);
    w.u8(k_welcome);
    w.u32(d.slot);
    w.u32(d.token);
    w.u32(d.protocol);
    return w.finish();
}

bool decode(Bytes in, Welcome& out)
{
    Reader r(in);
    if (!expect_type(r, k_welcome)) return false;
    Welcome d;
    d.slot = r.u32();
    d.token = r.u32();
    d.protocol = r.u32();
    if (!r.finished_exactly()) return false;
    out = d;
    return true;
}

// 4: race id, race length, laps, start tick, 20-byte hash, track name.
bool encode(const TrackInfo& d, Datagram& out)
{
    Writer w(out);
    w.u8(k_track_info);
    w.u32(d.race_id);
    w.i32(d.race_length);
    w.i32(d.laps);
    w.i32(d.race_start_tick);
    w.raw(d.track_hash.data(), d.track_hash.size());
    w.text(d.track_name);
    return w.finish();
}

bool decode(Bytes in, TrackInfo& out)
{
    Reader r(in);
    if (!expect_type(r, k_track_info)) return false;
    TrackInfo d;
    d.race_id = r.u32();
    d.race_length = r.i32();
    d.laps = r.i32();
    d.race_start_tick = r.i32();
    r.raw(d.track_hash.data(), d.track_hash.size());
    d.track_name = r.rest_text();
    if (!r.finished_exactly()) return false;
    out = std::move(d);
    return true;
}

bool encode(const RiderDescription& d, Datagram& out)
{
    return encode_numbered_text(k_rider_description, d.race_id, d.slot, d.description, out);
}
bool decode(Bytes in, RiderDescription& out)
{
    return decode_numbered_text(in, k_rider_description, &RiderDescription::slot, out);
}
bool encode(const RaceEntry& d, Datagram& out)
{
    return encode_numbered_text(k_race_entry, d.race_id, d.entry, d.description, out);
}
bool decode(Bytes in, RaceEntry& out) { return decode_numbered_text(in, k_race_entry, &RaceEntry::entry, out); }

// 10: race id, server tick, echo.
bool encode(const Clock& d, Datagram& out)
{
    Writer w(out);
    w.u8(k_clock);
    w.u32(d.race_id);
    w.i32(d.server_tick);
    w.i32(d.echo);
    return w.finish();
}

bool decode(Bytes in, Clock& out)
{
    Reader r(in);
    if (!expect_type(r, k_clock)) return false;
    Clock d;
    d.race_id = r.u32();
    d.server_tick = r.i32();
    d.echo = r.i32();
    if (!r.finished_exactly()) return false;
    out = d;
    return true;
}

// 11: race id, server tick, echo, count, then 47-byte entries.
bool encode(const States& d, Datagram& out)
{
    if (d.count > k_max_state_entries) return false;
    Writer w(out);
    w.u8(k_states);
    w.u32(d.race_id);
    w.i32(d.server_tick);
    w.i32(d.echo);
    w.u32(static_cast<std::uint32_t>(d.count));
    for (std::size_t i = 0; i < d.count; ++i) {
        const StateEntry& e = d.entries[i];
        w.u16(e.slot);
        w.u16(e.ping);
        w.i32(e.tick);
        w.raw(e.record.bytes.data(), e.record.bytes.size());
    }
    return w.finish();
}

bool decode_states_prefix(Bytes in, States& out, bool& truncated)
{
    truncated = false;
    Reader r(in);
    if (!expect_type(r, k_states)) return false;
    out.race_id = r.u32();
    out.server_tick = r.i32();
    out.echo = r.i32();
    std::uint32_t promised = r.u32();
    out.count = 0;
    if (!r.ok) return false;
    for (std::uint32_t i = 0; i < promised; ++i) {
        if (r.left() < k_state_entry_size || out.count == out.entries.size()) {
            truncated = true;
            break;
        }
        read_entry(r, out.entries[out.count++]);
    }
    return r.ok;
}

bool decode(Bytes in, States& out)
{
    States d;
    bool truncated = false;
    if (!decode_states_prefix(in, d, truncated) || truncated) return false;
    if (in.size() != k_states_header + d.count * k_state_entry_size) return false;
    out = d;
    return true;
}

bool encode(const Notice& d, Datagram& out) { return encode_one_word(k_notice, d.value, out); }
bool decode(Bytes in, Notice& out)
{
    auto v = decode_one_word(in, k_notice);
    if (v) out.value = *v;
    return v.has_value();
}
bool encode(const Restart& d, Datagram& out) { return encode_one_word(k_restart, d.race_id, out); }
bool decode(Bytes in, Restart& out)
{
    auto v = decode_one_word(in, k_restart);
    if (v) out.race_id = *v;
    return v.has_value();
}
bool encode(const ServerAck& d, Datagram& out) { return encode_one_word(k_server_ack, d.sequence, out); }
bool decode(Bytes in, ServerAck& out)
{
    auto v = decode_one_word(in, k_server_ack);
    if (v) out.sequence = *v;
    return v.has_value();
}

// 16: the message text.
bool encode(const ErrorText& d, Datagram& out)
{
    Writer w(out);
    w.u8(k_error);
    w.text(d.text);
    return w.finish();
}

bool decode(Bytes in, ErrorText& out)
{
    Reader r(in);
    if (!expect_type(r, k_error)) return false;
    std::string text = r.rest_text();
    if (!r.finished_exactly()) return false;
    out.text = std::move(text);
    return true;
}

// 17: sequence, message type, payload.
bool encode(const ServerMessage& d, Datagram& out)
{
    if (d.payload.size() > k_max_server_payload) return false;
    Writer w(out);
    w.u8(k_server_message);
    w.u32(d.sequence);
    w.u8(d.type);
    w.raw(d.payload.data(), d.payload.size());
    return w.finish();
}

bool decode(Bytes in, ServerMessage& out)
{
    Reader r(in);
    if (!expect_type(r, k_server_message)) return false;
    ServerMessage d;
    d.sequence = r.u32();
    d.type = r.u8();
    std::size_t n = r.left();
    if (!r.ok) return false;
    d.payload.resize(n);
    r.raw(d.payload.data(), n);
    if (!r.finished_exactly()) return false;
    out = std::move(d);
    return true;
}

// 25: the client's nonce, then the new address.
bool encode(const Redirect& d, Datagram& out)
{
    if (d.address.size() > k_max_redirect_address) return false;
    Writer w(out);
    w.u8(k_redirect);
    w.u32(d.nonce);
    w.text(d.address);
    return w.finish();
}

bool decode(Bytes in, Redirect& out)
{
    Reader r(in);
    if (!expect_type(r, k_redirect)) return false;
    Redirect d;
    d.nonce = r.u32();
    d.address = r.rest_text();
    if (!r.finished_exactly()) return false;
    if (d.address.size() > k_max_redirect_address) d.address.resize(k_max_redirect_address);
    out = std::move(d);
    return true;
}

std::optional<ServerDatagram> decode_server_datagram(Bytes in)
{
    if (in.empty()) return std::nullopt;
    auto as = [&]<class T>(T d) -> std::optional<ServerDatagram> {
        if (!decode(in, d)) return std::nullopt;
        return ServerDatagram{std::move(d)};
    };
    switch (in[0]) {
    case k_server_full: return as(ServerFull{});
    case k_welcome: return as(Welcome{});
    case k_track_info: return as(TrackInfo{});
    case k_rider_description: return as(RiderDescription{});
    case k_race_entry: return as(RaceEntry{});
    case k_clock: return as(Clock{});
    case k_states: return as(States{});
    case k_notice: return as(Notice{});
    case k_restart: return as(Restart{});
    case k_disconnected: return as(Disconnected{});
    case k_error: return as(ErrorText{});
    case k_server_message: return as(ServerMessage{});
    case k_server_ack: return as(ServerAck{});
    case k_redirect: return as(Redirect{});
    default: return std::nullopt;
    }
}

}  // namespace zv::net
