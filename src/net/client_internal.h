// Between the client's rules (client.cpp) and its datagrams (client_wire.cpp):
// the handlers each decoded server datagram reaches, and the datagrams the
// rules send.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "net/client.h"

namespace zv::net::detail {

// ---- handlers of decoded server datagrams ----
void on_server_full(Client& c);
void on_welcome(Client& c, std::uint32_t slot, std::uint32_t token, std::int32_t protocol);
void on_track_info(Client& c, const RaceParameters& race);
void on_rider_description(Client& c, std::uint32_t slot, std::string_view text);
void on_race_entry(Client& c, std::uint32_t entry, std::string_view own_description);
// One record of a states datagram: slot, ping, tick, record.
void on_state_record(Client& c, std::uint32_t slot, int ping_ticks, std::uint32_t tick,
                     const replay::StateRecord& record);
// The clock part of a clock or states datagram.
void on_clock(Client& c, std::int32_t server_tick, std::int32_t echo, const LocalView& view);
void on_restart(Client& c, std::uint32_t race_id);
void on_disconnected(Client& c);
void on_error(Client& c, std::string_view text);
void on_reliable(Client& c, std::uint32_t sequence, std::uint8_t type, std::span<const std::uint8_t> payload);
void on_acknowledgment(Client& c, std::uint32_t sequence);
void on_redirect(Client& c, std::uint32_t nonce, std::string_view address);
void show(Client& c, const std::string& text);

// ---- datagrams the rules send (appended to the outbox) ----
void send_connect_request(Client& c);
void send_client_info(Client& c);
void send_track_ack(Client& c);
void send_bike_ack(Client& c);
void send_ready(Client& c);
void send_state(Client& c, std::int32_t race_clock, const replay::StateRecord& record);
void send_restart_request(Client& c);
void send_restart_ack(Client& c);
void send_disconnect(Client& c);
void send_reliable(Client& c, const ReliableMessage& m);
void send_acknowledgment(Client& c, std::uint32_t sequence);

}  // namespace zv::net::detail
