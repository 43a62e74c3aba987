// The race-server datagrams, both ways, and the payloads of the reliable
// messages they carry. Every datagram starts with its type byte; every
// multi-byte integer is little-endian; text that runs to the end of a
// datagram is not terminated on the wire.
//
// Each datagram type has one plain struct. encode() writes it field by field
// into a fixed buffer (no allocation for the fixed-size types and the state
// datagrams, which go out 32 times a second) and fails when a text, payload
// or record list does not fit. decode() reads it back and fails on a wrong
// type byte, a wrong length (short or long), more than k_max_datagram_size
// bytes, or a fixed field that holds an impossible value. Received text is
// cut at its first zero byte, as a C receiver terminating at the datagram
// length would see it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "replay/state_record.h"

namespace zv::net {

using Bytes = std::span<const std::uint8_t>;

// Receivers read into a buffer of this size; nothing longer is ever sent.
constexpr std::size_t k_max_datagram_size = 1023;
constexpr std::uint16_t k_default_port = 19800;
constexpr std::uint32_t k_no_slot = 160;
constexpr int k_max_slots = 160;
constexpr std::uint32_t k_client_protocol = 25;
constexpr std::uint32_t k_server_protocol = 6;

// Client-to-server types.
constexpr std::uint8_t k_connect_request = 0;
constexpr std::uint8_t k_client_info = 3;
constexpr std::uint8_t k_track_ack = 5;
constexpr std::uint8_t k_bike_ack = 7;
constexpr std::uint8_t k_ready = 9;
constexpr std::uint8_t k_state_update = 11;
constexpr std::uint8_t k_restart_request = 13;
constexpr std::uint8_t k_restart_ack = 14;
constexpr std::uint8_t k_disconnect = 15;
constexpr std::uint8_t k_client_message = 17;
constexpr std::uint8_t k_client_ack = 18;

// Server-to-client types.
constexpr std::uint8_t k_server_full = 1;
constexpr std::uint8_t k_welcome = 2;
constexpr std::uint8_t k_track_info = 4;
constexpr std::uint8_t k_rider_description = 6;
constexpr std::uint8_t k_race_entry = 8;
constexpr std::uint8_t k_clock = 10;
constexpr std::uint8_t k_states = 11;
constexpr std::uint8_t k_notice = 13;
constexpr std::uint8_t k_restart = 14;
constexpr std::uint8_t k_disconnected = 15;
constexpr std::uint8_t k_error = 16;
constexpr std::uint8_t k_server_message = 17;
constexpr std::uint8_t k_server_ack = 18;
constexpr std::uint8_t k_redirect = 25;

// Reliable message types, the same numbering both ways.
constexpr std::uint8_t k_msg_description = 3;  // client: its rider description text
constexpr std::uint8_t k_msg_text = 19;        // chat, or a message to show
constexpr std::uint8_t k_msg_gates = 21;       // gate report / gate times
constexpr std::uint8_t k_msg_command = 24;     // a command text

// Sizes and limits.
constexpr std::size_t k_client_info_header = 41;
constexpr std::size_t k_max_description_text = k_max_datagram_size - k_client_info_header;  // 982
constexpr std::size_t k_client_message_header = 14;
constexpr std::size_t k_max_client_payload = 466;
constexpr std::size_t k_max_description_payload = 465;
constexpr std::size_t k_server_message_header = 6;
constexpr std::size_t k_max_server_payload = k_max_datagram_size - k_server_message_header;
constexpr std::size_t k_track_info_header = 37;
constexpr std::size_t k_states_header = 17;
constexpr std::size_t k_state_entry_size = 8 + replay::k_state_record_size;  // 47
constexpr std::size_t k_max_state_entries =
    (k_max_datagram_size - k_states_header) / k_state_entry_size;  // 21
constexpr std::size_t k_max_redirect_address = 127;
constexpr std::size_t k_gate_report_size = 12;
constexpr std::size_t k_gate_times_header = 8;
constexpr std::size_t k_gate_time_size = 12;

using Hash = std::array<std::uint8_t, 20>;

// An encoded datagram: no allocation, at most k_max_datagram_size bytes.
struct Datagram {
    std::array<std::uint8_t, k_max_datagram_size> bytes{};
    std::size_t size = 0;
    Bytes view() const { return {bytes.data(), size}; }
};

// ---- client to server ----

struct ConnectRequest {
    bool password_set = false;
    std::uint32_t protocol = k_client_protocol;
    std::uint32_t nonce = 0;
    friend bool operator==(const ConnectRequest&, const ConnectRequest&) = default;
};

struct ClientInfo {
    std::uint32_t slot = k_no_slot;
    std::uint32_t token = 0;
    std::uint32_t password_proof = 0;  // see password_proof(), 0 without a password
    std::uint32_t nonce = 0;
    std::string description;           // at most k_max_description_text bytes
    friend bool operator==(const ClientInfo&, const ClientInfo&) = default;
};

struct TrackAck {
    std::uint32_t slot = k_no_slot;
    std::uint32_t token = 0;
    std::uint32_t race_id = 0;
    friend bool operator==(const TrackAck&, const TrackAck&) = default;
};

struct BikeAck {
    std::uint32_t slot = k_no_slot;
    std::uint32_t token = 0;
    std::uint32_t race_id = 0;
    std::uint32_t last_described = k_no_slot;  // the last rider description received
    friend bool operator==(const BikeAck&, const BikeAck&) = default;
};

struct Ready {
    std::uint32_t slot = k_no_slot;
    std::uint32_t token = 0;
    std::uint32_t race_id = 0;
    friend bool operator==(const Ready&, const Ready&) = default;
};

struct StateUpdate {
    std::uint32_t slot = k_no_slot;
    std::uint32_t token = 0;
    std::uint32_t race_id = 0;
    std::int32_t newest_server_tick = 0;
    std::int32_t race_clock = 0;
    replay::StateRecord record;
    friend bool operator==(const StateUpdate&, const StateUpdate&) = default;
};

// Carries the value 1 on the wire; anything else is not a restart request.
struct RestartRequest {
    std::uint32_t slot = k_no_slot;
    std::uint32_t token = 0;
    friend bool operator==(const RestartRequest&, const RestartRequest&) = default;
};

struct RestartAck {
    std::uint32_t slot = k_no_slot;
    std::uint32_t token = 0;
    std::uint32_t race_id = 0;
    friend bool operator==(const RestartAck&, const RestartAck&) = default;
};

struct Disconnect {
    std::uint32_t slot = k_no_slot;
    std::uint32_t token = 0;
    friend bool operator==(const Disconnect&, const Disconnect&) = default;
};

struct ClientMessage {
    std::uint32_t slot = k_no_slot;
    std::uint32_t token = 0;
    std::uint32_t sequence = 0;
    std::uint8_t type = 0;
    std::vector<std::uint8_t> payload;  // at most k_max_client_payload bytes
    friend bool operator==(const ClientMessage&, const ClientMessage&) = default;
};

struct ClientAck {
    std::uint32_t slot = k_no_slot;
    std::uint32_t token = 0;
    std::uint32_t sequence = 0;
    friend bool operator==(const ClientAck&, const ClientAck&) = default;
};

// ---- server to client ----

struct ServerFull {
    friend bool operator==(const ServerFull&, const ServerFull&) = default;
};

struct Welcome {
    std::uint32_t slot = k_no_slot;
    std::uint32_t token = 0;
    std::uint32_t protocol = k_server_protocol;
    friend bool operator==(const Welcome&, const Welcome&) = default;
};

struct TrackInfo {
    std::uint32_t race_id = 0;
    std::int32_t race_length = 0;  // ticks; 0 or less: the race is by laps
    std::int32_t laps = 0;
    std::int32_t race_start_tick = 0;
    Hash track_hash{};
    std::string track_name;        // the track folder name
    friend bool operator==(const TrackInfo&, const TrackInfo&) = default;
};

struct RiderDescription {
    std::uint32_t race_id = 0;
    std::uint32_t slot = 0;
    std::string description;
    friend bool operator==(const RiderDescription&, const RiderDescription&) = default;
};

struct RaceEntry {
    std::uint32_t race_id = 0;
    std::uint32_t entry = k_no_slot;  // k_no_slot: spectating
    std::string description;          // the client's own, as the server holds it
    friend bool operator==(const RaceEntry&, const RaceEntry&) = default;
};

struct Clock {
    std::uint32_t race_id = 0;
    std::int32_t server_tick = 0;
    std::int32_t echo = 0;  // a client race clock value, 0 for none
    friend bool operator==(const Clock&, const Clock&) = default;
};

struct StateEntry {
    std::uint16_t slot = 0;
    std::uint16_t ping = 0;  // ticks
    std::int32_t tick = 0;
    replay::StateRecord record;
    friend bool operator==(const StateEntry&, const StateEntry&) = default;
};

struct States {
    std::uint32_t race_id = 0;
    std::int32_t server_tick = 0;
    std::int32_t echo = 0;
    std::size_t count = 0;  // entries used
    std::array<StateEntry, k_max_state_entries> entries{};
    friend bool operator==(const States&, const States&) = default;
};

struct Notice {
    std::uint32_t value = 0;
    friend bool operator==(const Notice&, const Notice&) = default;
};

struct Restart {
    std::uint32_t race_id = 0;
    friend bool operator==(const Restart&, const Restart&) = default;
};

struct Disconnected {
    friend bool operator==(const Disconnected&, const Disconnected&) = default;
};

struct ErrorText {
    std::string text;
    friend bool operator==(const ErrorText&, const ErrorText&) = default;
};

struct ServerMessage {
    std::uint32_t sequence = 0;
    std::uint8_t type = 0;
    std::vector<std::uint8_t> payload;  // at most k_max_server_payload bytes
    friend bool operator==(const ServerMessage&, const ServerMessage&) = default;
};

struct ServerAck {
    std::uint32_t sequence = 0;
    friend bool operator==(const ServerAck&, const ServerAck&) = default;
};

struct Redirect {
    std::uint32_t nonce = 0;
    std::string address;  // at most k_max_redirect_address characters are used
    friend bool operator==(const Redirect&, const Redirect&) = default;
};

// ---- encoding: false when the datagram would not fit ----
bool encode(const ConnectRequest& d, Datagram& out);
bool encode(const ClientInfo& d, Datagram& out);
bool encode(const TrackAck& d, Datagram& out);
bool encode(const BikeAck& d, Datagram& out);
bool encode(const Ready& d, Datagram& out);
bool encode(const StateUpdate& d, Datagram& out);
bool encode(const RestartRequest& d, Datagram& out);
bool encode(const RestartAck& d, Datagram& out);
bool encode(const Disconnect& d, Datagram& out);
bool encode(const ClientMessage& d, Datagram& out);
bool encode(const ClientAck& d, Datagram& out);

bool encode(const ServerFull& d, Datagram& out);
bool encode(const Welcome& d, Datagram& out);
bool encode(const TrackInfo& d, Datagram& out);
bool encode(const RiderDescription& d, Datagram& out);
bool encode(const RaceEntry& d, Datagram& out);
bool encode(const Clock& d, Datagram& out);
bool encode(const States& d, Datagram& out);
bool encode(const Notice& d, Datagram& out);
bool encode(const Restart& d, Datagram& out);
bool encode(const Disconnected& d, Datagram& out);
bool encode(const ErrorText& d, Datagram& out);
bool encode(const ServerMessage& d, Datagram& out);
bool encode(const ServerAck& d, Datagram& out);
bool encode(const Redirect& d, Datagram& out);

// ---- decoding: false on anything but a well-formed datagram of that type ----
bool decode(Bytes in, ConnectRequest& out);
bool decode(Bytes in, ClientInfo& out);
bool decode(Bytes in, TrackAck& out);
bool decode(Bytes in, BikeAck& out);
bool decode(Bytes in, Ready& out);
bool decode(Bytes in, StateUpdate& out);
bool decode(Bytes in, RestartRequest& out);
bool decode(Bytes in, RestartAck& out);
bool decode(Bytes in, Disconnect& out);
bool decode(Bytes in, ClientMessage& out);
bool decode(Bytes in, ClientAck& out);

bool decode(Bytes in, ServerFull& out);
bool decode(Bytes in, Welcome& out);
bool decode(Bytes in, TrackInfo& out);
bool decode(Bytes in, RiderDescription& out);
bool decode(Bytes in, RaceEntry& out);
bool decode(Bytes in, Clock& out);
bool decode(Bytes in, States& out);  // the count must match the records exactly
bool decode(Bytes in, Notice& out);
bool decode(Bytes in, Restart& out);
bool decode(Bytes in, Disconnected& out);
bool decode(Bytes in, ErrorText& out);
bool decode(Bytes in, ServerMessage& out);
bool decode(Bytes in, ServerAck& out);
bool decode(Bytes in, Redirect& out);

// A states datagram read the forgiving way a client must: the complete
// records up to the promised count are kept; `truncated` tells that the count
// promised more than the datagram holds. Bytes after the promised records are
// ignored. False only when the 17-byte header itself is missing or the type
// byte is wrong.
bool decode_states_prefix(Bytes in, States& out, bool& truncated);

// Every datagram a server may receive, and every one a client may receive.
using ClientDatagram = std::variant<ConnectRequest, ClientInfo, TrackAck, BikeAck, Ready, StateUpdate,
                                    RestartRequest, RestartAck, Disconnect, ClientMessage, ClientAck>;
using ServerDatagram = std::variant<ServerFull, Welcome, TrackInfo, RiderDescription, RaceEntry, Clock,
                                    States, Notice, Restart, Disconnected, ErrorText, ServerMessage,
                                    ServerAck, Redirect>;

// Decodes by the type byte; nothing for unknown types or malformed bytes.
std::optional<ClientDatagram> decode_client_datagram(Bytes in);
std::optional<ServerDatagram> decode_server_datagram(Bytes in);

// ---- reliable message payloads ----

// Client to server, type 21: the last gate the rider passed.
struct GateReport {
    std::uint32_t race_id = 0;
    std::int32_t gate = 0;
    std::int32_t tick = 0;
    friend bool operator==(const GateReport&, const GateReport&) = default;
};

// Server to client, type 21: gate passings of other riders.
struct GateTime {
    std::uint32_t slot = 0;
    std::int32_t gate = 0;
    std::int32_t tick = 0;
    friend bool operator==(const GateTime&, const GateTime&) = default;
};
struct GateTimes {
    std::uint32_t race_id = 0;
    std::vector<GateTime> records;
    friend bool operator==(const GateTimes&, const GateTimes&) = default;
};
// Records that fit one server message.
constexpr std::size_t k_max_gate_times =
    (k_max_server_payload - k_gate_times_header) / k_gate_time_size;

std::vector<std::uint8_t> encode_payload(const GateReport& p);
bool decode_payload(Bytes in, GateReport& out);
// Empty when more than k_max_gate_times records are given.
std::vector<std::uint8_t> encode_payload(const GateTimes& p);
bool decode_payload(Bytes in, GateTimes& out);  // the count must match exactly

// A text payload (chat, messages, commands) as the receiver sees it: cut at
// the first zero byte.
std::string payload_text(Bytes in);
std::vector<std::uint8_t> text_payload(std::string_view text);

// ---- identity values ----

// The password proof of the client information datagram: the RIPEMD-160
// digest of the password's characters and the token's four little-endian
// bytes, whose first four bytes go on the wire in reverse order (digest byte 3
// first). As the little-endian field value: d0 << 24 | d1 << 16 | d2 << 8 | d3.
std::uint32_t password_proof(std::string_view password, std::uint32_t token);

// The connection nonce from the wall-clock time in seconds: the fraction's
// millionths, then one step of the classic linear congruential generator.
std::uint32_t make_nonce(double wall_seconds);

}  // namespace zv::net
