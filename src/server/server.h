// The race server's logic as a state machine without sockets: it takes one
// datagram at a time (bytes, sender, time) and the passing of time, and hands
// the datagrams it sends to a send function. A thin socket loop (socket.h)
// drives it; tests drive it directly.
//
// A race goes: a new race id and a server clock from tick 0; the field
// gathers (every client that has taken the track); each rider of the field
// is told the others' descriptions and its place; the gate drops at the
// warm-up's end; state records are relayed 32 times a second and gate
// passings as reliable messages; when the race rules give the final list the
// results are announced and the next race begins a little later. A client
// that arrives while the field still warms up brings everybody back to the
// track stage so that it races too; one that arrives later watches until the
// next race.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "net/datagrams.h"

namespace zv::server {

// An IPv4 address and port, both in host byte order.
struct Address {
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
    friend bool operator==(const Address&, const Address&) = default;
};
std::string address_text(const Address& a);

constexpr double k_repeat_seconds = 1.0;         // unanswered datagrams go again
constexpr double k_resend_seconds = 0.5;         // the head of a reliable queue
constexpr double k_gather_seconds = 3.0;         // the field waits this long for stragglers
constexpr double k_regather_grace_seconds = 2.0; // a new race is not restarted sooner
constexpr double k_results_seconds = 10.0;       // results stand before the next race
constexpr double k_keepalive_seconds = 4.0;      // a silent watcher is asked for an acknowledgment
constexpr int k_min_warmup_left_ticks = 3 * 128; // latecomers may still join the field
constexpr int k_max_regathers = 3;               // then latecomers watch, so the race does start
constexpr int k_relay_interval_ticks = 4;        // 32 relay rounds a second
constexpr int k_future_record_ticks = 2 * 128;   // records further ahead are forged
constexpr int k_gate_lead = 4;                   // gate reports may run ahead by this much
constexpr std::size_t k_max_queued_messages = 512;
constexpr double k_chat_interval_seconds = 0.5;  // per client, a little kinder than the client's own rule

struct Settings {
    std::string track;                // the track folder
    net::Hash track_hash{};
    int laps = 3;
    int minutes = 0;                  // 0: a race of laps only
    std::string password;             // empty: none
    int max_riders = 160;             // 1 ... 160 connections
    int warmup_seconds = 20;
    std::string incoming;             // folder for received files; empty: transfers refused
    std::size_t max_file_bytes = 4u << 20;
    double timeout_seconds = 15.0;    // a silent client is dropped
    std::string knockout;             // "" or the numbers of the knockout command
    double off_course_bias = -1;      // < 0: not sent
    double off_course_scale = -1;
    bool no_arcade = false;
    bool track_has_timing = true;     // without gates no one finishes: races end by time
};

// Where a client is in the connection, as the server sees it.
enum class Stage : std::uint8_t {
    free,
    welcomed,    // slot and token sent, waiting for the client information
    track_sent,  // track information sent, waiting for its acknowledgment
    loading,     // track taken; descriptions and the race entry follow
    joined,      // race entry sent; clock and states flow
    restarting,  // told of a new race, waiting for the acknowledgment
};

struct OutMessage {
    std::uint32_t sequence = 0;
    std::uint8_t type = 0;
    std::vector<std::uint8_t> payload;
    double due = 0;                   // next send time; 0 = at once
    bool gate_times = false;          // may take more gate records
};

struct Transfer {
    bool active = false;
    std::string temp_path;
    std::size_t bytes = 0;
    int fd = -1;
};

struct Client {
    Stage stage = Stage::free;
    Address address;
    std::uint32_t token = 0;
    std::uint32_t nonce = 0;
    std::uint32_t race_id = 0;        // the race this client was told of
    std::uint32_t entry = net::k_no_slot;
    bool racer = false;               // in the current race's field
    std::string description;
    std::string name;                 // from the description, for the log and the results
    double last_heard = 0;
    double last_sent = 0;             // of the datagram this stage repeats
    double descriptions_sent_at = -1;
    std::int32_t echo = 0;            // the client's race clock, echoed once
    std::int32_t newest_server_tick = 0;
    std::uint16_t ping = 0;
    // Reliable messages.
    std::uint32_t next_in = 0;
    std::uint32_t next_out = 0;
    std::deque<OutMessage> out;
    double last_chat = -1e9;
    Transfer transfer;
    // The rider's newest state record.
    bool has_record = false;
    bool fresh_record = false;
    std::int32_t record_tick = 0;
    replay::StateRecord record;
};

using SendFn = std::function<void(const Address&, net::Bytes)>;
using LogFn = std::function<void(const std::string&)>;

struct Server {
    Settings settings;
    SendFn send;
    LogFn log;
    std::mt19937 rng;
    std::array<Client, net::k_max_slots> clients{};
    // The race.
    std::uint32_t race_id = 0;
    double race_epoch = 0;            // time of server tick 0
    std::int32_t start_tick = 0;
    bool field_closed = false;
    bool finished = false;            // results announced
    double next_race_at = -1;         // < 0: none planned
    bool regather = false;
    int regathers = 0;                // races in a row begun for latecomers
    std::int32_t last_relay_round = -1;
    std::array<std::string, net::k_max_slots> field_names{};  // for the results
    double now = 0;
    // Counters for the log and the benchmarks.
    std::uint64_t datagrams_in = 0, datagrams_out = 0, ignored = 0;
};

// Sets the server up with its settings and starts race 1 at time now.
void start_server(Server& s, Settings settings, SendFn send, LogFn log, std::uint32_t seed, double now);
// One datagram from a sender. Anything malformed, unknown or not matching
// the sender's slot, token and address is ignored.
void receive(Server& s, net::Bytes datagram, const Address& from, double now);
// The passing of time: repeats, resends, the clock and relay, the race's
// phases, timeouts. Call it often (every millisecond or so).
void update(Server& s, double now);
// Tells every client the server is going away.
void shut_down(Server& s);

std::int32_t server_tick(const Server& s);
int connected_clients(const Server& s);

// The rider name (third line) and number (second line, 3 characters) of a
// rider description text.
std::string description_name(std::string_view description);
std::string description_number(std::string_view description);

}  // namespace zv::server
