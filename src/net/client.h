// The race-server client as a state machine, apart from any socket: server
// datagrams go in (client_receive), the datagrams to send come out in the
// outbox, and what the game must do (start the race, set the clock, show a
// text, take gate times) goes through the host's hooks. The connection
// (connection.h) puts a socket around it; tests feed it scripted datagrams.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/digest.h"
#include "net/datagrams.h"
#include "net/reliable.h"
#include "replay/demo_header.h"
#include "replay/state_record.h"

namespace zv::net {

inline constexpr int k_slot_count = k_max_slots;
inline constexpr double k_repeat_interval = 1.0;   // seconds between a state's datagrams
// A leave that the server never answers ends after this long: a vanished
// server must not hold the player in a connection that cannot end.
inline constexpr double k_disconnect_give_up = 5.0;
inline constexpr int k_state_interval = 4;         // ticks between state datagrams
inline constexpr std::size_t k_address_limit = 127;

enum class ConnectionState {
    connecting,      // waiting for the welcome
    sending_info,    // slot and token known, waiting for the track
    track_accepted,  // the track is installed, rider descriptions come next
    loading_bikes,   // receiving rider descriptions
    joined,          // the race started here, waiting for the server clock
    racing,
    restarting,      // the server started a new race
    disconnecting,
};
const char* state_name(ConnectionState s);

enum class SlotStatus { none, described, in_race };

struct SlotInfo {
    SlotStatus status = SlotStatus::none;
    replay::DemoRider rider;
};

// The race the server set up.
struct RaceParameters {
    std::uint32_t race_id = 0;
    std::int32_t length_ticks = 0;   // 0 or less: a race of laps
    std::int32_t laps = 0;
    std::int32_t start_tick = 0;
    core::Digest hash{};
    std::string track;               // the track's folder name
};

// What the game answers the client, and what the client asks of the game.
// Every hook may be left empty.
struct ClientHost {
    // An on-screen message (core::show_message when empty).
    std::function<void(const std::string& text)> show;
    // Whether a track folder is installed here.
    std::function<bool(const std::string& folder)> track_installed;
    // The race entry arrived: start the race session locally with the
    // described slots; returns the hash of the track it loaded (nullopt when
    // the track could not be loaded).
    std::function<std::optional<core::Digest>(const RaceParameters& race, std::uint32_t entry)> start_race;
    // The race clock takes the server's tick.
    std::function<void(std::int32_t tick)> set_race_clock;
    // A text from the server (shown already) for the demo being recorded.
    std::function<void(const std::string& text)> server_text;
    // Arcade physics off for every rider simulated here; returns whether the
    // player had it on.
    std::function<bool()> disable_arcade;
    // A gate passage of another rider, and the standings afterwards.
    std::function<void(int slot, int gate, int tick)> set_gate_time;
    std::function<void()> update_standings;
    // A state record of a networked rider reached the history.
    std::function<void(int slot, int tick)> rider_data;
    // The answers to a file offer.
    std::function<void()> transfer_ready;
    std::function<void()> transfer_denied;
    // The connection ended (everything reset).
    std::function<void()> connection_reset;
    // A redirect asks for a new connection to this address.
    std::function<void(const std::string& address)> redirect;
};

// What the game tells the client on each update.
struct LocalView {
    double now = 0;                  // wall clock, seconds
    std::int32_t race_clock = 0;     // the local tick counter
    // The local rider's state now; nullopt without a local rider.
    std::optional<replay::StateRecord> state;
    int gates_passed = 0;            // by the local rider
    std::int32_t last_gate_tick = 0; // when it passed the last of them
    bool in_chooser = false;         // the menus show a chooser list
};

struct ClientStats {
    std::uint64_t sent = 0;
    std::uint64_t received = 0;
    std::uint64_t records = 0;       // state records in states datagrams
    std::uint64_t late_records = 0;  // of them, no newer than one already seen for the slot
    std::array<std::uint32_t, k_max_slots> newest_seen{};
};

struct Client {
    ClientHost host;
    bool active = false;             // a connection exists (socket open)
    double now = 0;                  // wall clock of the receive or update under way
    ConnectionState state = ConnectionState::connecting;
    std::uint32_t slot = k_no_slot;
    std::uint32_t token = 0;
    std::uint32_t nonce = 0;
    std::string password;            // "" when none
    RaceParameters race;
    std::uint32_t entry = k_no_slot;
    std::uint32_t last_description = k_no_slot;
    int reported_gates = 0;
    bool description_changed = false;
    bool arcade_disabled = false;
    double last_send = 0;
    bool send_now = true;            // the state changed: its datagram goes at once
    double disconnect_started = 0;
    OutgoingQueue outgoing;
    IncomingOrder incoming;
    bool server_tick_known = false;
    std::uint32_t newest_server_tick = 0;
    std::int32_t server_estimate = 0;
    std::int32_t ping_ticks = 0;
    std::array<SlotInfo, k_slot_count> slots;
    replay::DemoRider own_rider;     // this player's description
    std::vector<std::vector<std::uint8_t>> outbox;
    ClientStats stats;
};

// "%d laps", "%d minutes" or "%d minutes + %d laps".
std::string race_length_text(std::int32_t length_ticks, std::int32_t laps);

// A connection begins (the socket is open): state connecting, a fresh nonce,
// and the connect request goes out at once.
void begin_connection(Client& c, double now);
// Everything back to the unconnected state (slot 160, queues empty, arcade
// physics allowed again, the visibility parameters at their defaults).
void reset_client(Client& c);

// One server datagram.
void client_receive(Client& c, std::span<const std::uint8_t> datagram, const LocalView& view);
// Once a tick: the reliable queue's head, the state's datagram, gate
// messages and the rider description while racing.
void client_update(Client& c, const LocalView& view);

// Player actions.
void disconnect_from_server(Client& c, const LocalView& view);
void leave_server_now(Client& c);
void request_restart(Client& c);
void send_chat(Client& c, std::string_view text);
void queue_command(Client& c, std::string_view text);
void queue_file_part(Client& c, std::span<const std::uint8_t> bytes);

// Whether this client holds a slot on a server and a place in the race.
bool has_slot(const Client& c);
bool has_place(const Client& c);

}  // namespace zv::net
