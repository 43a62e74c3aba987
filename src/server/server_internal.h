// What the server's own files share: sending, logging, the reliable
// message queues and the race. Not for use outside the module.
#pragma once

#include "server/server.h"

namespace zv::server {

void send_datagram(Server& s, const Client& c, const net::Datagram& d);
template <class T>
void send_to(Server& s, const Client& c, const T& datagram)
{
    net::Datagram d;
    if (net::encode(datagram, d)) send_datagram(s, c, d);
}
int slot_of(const Server& s, const Client& c);
void logf(Server& s, const char* format, ...) __attribute__((format(printf, 2, 3)));
void drop_client(Server& s, Client& c, const char* why);

// Reliable messages to a client (server_messages.cpp).
void queue_message(Server& s, Client& c, std::uint8_t type, std::vector<std::uint8_t> payload);
void queue_text(Server& s, Client& c, std::string_view text);
void queue_gate_time(Server& s, Client& c, const net::GateTime& g);
void broadcast_text(Server& s, std::string_view text, const Client* except = nullptr);
void send_queue_heads(Server& s);
void handle_message(Server& s, Client& c, const net::ClientMessage& m);
void message_acknowledged(Client& c, std::uint32_t sequence);
void close_transfer(Client& c, bool keep);
void send_settings_commands(Server& s, Client& c);

// The race (server_race.cpp).
void begin_new_race(Server& s, const char* why);
void race_update(Server& s);
void gate_reported(Server& s, Client& c, const net::GateReport& g);
void client_took_track(Server& s, Client& c);
// Answers a client at the loading stage: the other riders' descriptions, or
// its race entry once it has them all (last_described: its last, 160 none).
void send_descriptions_or_entry(Server& s, Client& c, std::uint32_t last_described);
void record_received(Server& s, Client& c, const net::StateUpdate& u);
void restart_requested(Server& s, Client& c);
void client_left_race(Server& s, Client& c);
net::TrackInfo track_info_for(const Server& s, std::uint32_t race_id);

}  // namespace zv::server
