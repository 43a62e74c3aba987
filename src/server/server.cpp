// The server's front door: who may talk to it, the connection handshake up
// to the track stage, disconnections and timeouts, and the update order.
#include "server/server_internal.h"

#include <algorithm>
#include <cstdarg>
#include <type_traits>
#include <cstdio>

namespace zv::server {

using namespace zv::net;

std::string address_text(const Address& a)
{
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u:%u", a.ip >> 24, (a.ip >> 16) & 255, (a.ip >> 8) & 255,
                  a.ip & 255, a.port);
    return text;
}

void logf(Server& s, const char* format, ...)
{
    if (!s.log) return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    s.log(text);
}

int slot_of(const Server& s, const Client& c) { return static_cast<int>(&c - s.clients.data()); }

void send_datagram(Server& s, const Client& c, const Datagram& d)
{
    ++s.datagrams_out;
    if (s.send) s.send(c.address, d.view());
}

std::int32_t server_tick(const Server& s)
{
    double t = (s.now - s.race_epoch) * 128.0;
    return t < 0 ? 0 : static_cast<std::int32_t>(t);
}

int connected_clients(const Server& s)
{
    int n = 0;
    for (const Client& c : s.clients) n += c.stage != Stage::free;
    return n;
}

namespace {

std::string_view line_of(std::string_view text, int index)
{
    for (int i = 0; i < index; ++i) {
        std::size_t nl = text.find('\n');
        if (nl == std::string_view::npos) return {};
        text.remove_prefix(nl + 1);
    }
    return text.substr(0, text.find('\n'));
}

// Names go into the log and other riders' screens: printable only.
std::string printable(std::string_view text, std::size_t limit)
{
    std::string out;
    for (char ch : text.substr(0, limit)) out += static_cast<unsigned char>(ch) < 32 ? ' ' : ch;
    return out;
}

}  // namespace

std::string description_name(std::string_view description)
{
    std::string name = printable(line_of(description, 2), 64);
    return name.empty() ? "Unnamed rider" : name;
}

std::string description_number(std::string_view description)
{
    return printable(line_of(description, 1), 3);
}

void drop_client(Server& s, Client& c, const char* why)
{
    if (c.stage == Stage::free) return;
    logf(s, "slot %d (%s, %s) %s", slot_of(s, c), c.name.c_str(), address_text(c.address).c_str(), why);
    std::string name = c.name;
    bool was_named = !c.description.empty();
    close_transfer(c, false);
    client_left_race(s, c);
    c = Client{};
    if (was_named) broadcast_text(s, name + " left");
}

namespace {

Client* find_by_address(Server& s, const Address& a)
{
    for (Client& c : s.clients)
        if (c.stage != Stage::free && c.address == a) return &c;
    return nullptr;
}

// The client a datagram claims to come from, when slot, token and sender
// all agree; forged or stale datagrams find nobody.
Client* sender(Server& s, std::uint32_t slot, std::uint32_t token, const Address& from)
{
    if (slot >= static_cast<std::uint32_t>(k_max_slots)) return nullptr;
    Client& c = s.clients[slot];
    if (c.stage == Stage::free || c.token != token || !(c.address == from)) return nullptr;
    return &c;
}

void send_welcome(Server& s, Client& c)
{
    send_to(s, c, Welcome{static_cast<std::uint32_t>(slot_of(s, c)), c.token, k_server_protocol});
}

void on_connect(Server& s, const ConnectRequest& r, const Address& from)
{
    if (Client* known = find_by_address(s, from)) {
        if (known->nonce == r.nonce && known->stage == Stage::welcomed) {
            known->last_heard = s.now;
            send_welcome(s, *known);  // our welcome was lost
            return;
        }
        if (known->nonce == r.nonce) return;  // a late repeat of the request
        drop_client(s, *known, "connected again");
    }
    if (r.protocol != k_client_protocol) {
        logf(s, "%s: client protocol %u refused", address_text(from).c_str(), r.protocol);
        Datagram d;
        encode(ErrorText{"Client version does not match server version"}, d);
        ++s.datagrams_out;
        if (s.send) s.send(from, d.view());
        return;
    }
    int limit = std::clamp(s.settings.max_riders, 1, k_max_slots);
    for (int slot = 0; slot < limit; ++slot) {
        Client& c = s.clients[static_cast<std::size_t>(slot)];
        if (c.stage != Stage::free) continue;
        c = Client{};
        c.stage = Stage::welcomed;
        c.address = from;
        c.nonce = r.nonce;
        c.token = static_cast<std::uint32_t>(s.rng());
        c.last_heard = s.now;
        logf(s, "slot %d: connection from %s", slot, address_text(from).c_str());
        send_welcome(s, c);
        return;
    }
    Datagram d;
    encode(ServerFull{}, d);
    ++s.datagrams_out;
    if (s.send) s.send(from, d.view());
}

void on_client_info(Server& s, Client& c, const ClientInfo& info)
{
    if (c.stage == Stage::track_sent) {
        send_to(s, c, track_info_for(s, c.race_id));  // our track information was lost
        return;
    }
    if (c.stage != Stage::welcomed || info.nonce != c.nonce) return;
    if (!s.settings.password.empty() && info.password_proof != password_proof(s.settings.password, c.token)) {
        logf(s, "slot %d (%s): wrong password", slot_of(s, c), address_text(c.address).c_str());
        send_to(s, c, ErrorText{"Wrong password"});
        c = Client{};
        return;
    }
    c.description = info.description;
    c.name = description_name(info.description);
    c.stage = Stage::track_sent;
    logf(s, "slot %d: %s (#%s) joined from %s", slot_of(s, c), c.name.c_str(),
         description_number(info.description).c_str(), address_text(c.address).c_str());
    broadcast_text(s, c.name + " joined", &c);
    send_settings_commands(s, c);
    queue_text(s, c, "Welcome to the race server: " + s.settings.track);
    client_took_track(s, c);  // may begin a new race for a lone rider
    c.race_id = s.race_id;
    c.last_sent = s.now;
    send_to(s, c, track_info_for(s, c.race_id));
}

void on_track_ack(Server& s, Client& c, const TrackAck& a)
{
    if (a.race_id != c.race_id) return;
    if (c.stage == Stage::track_sent) {
        c.stage = Stage::loading;
        c.descriptions_sent_at = -1;
    }
    // Repeats while the field gathers are answered once it is complete.
    if (c.stage == Stage::loading) send_descriptions_or_entry(s, c, k_no_slot);
}

void on_bike_ack(Server& s, Client& c, const BikeAck& a)
{
    if (a.race_id != c.race_id) return;
    if (c.stage == Stage::loading) {
        send_descriptions_or_entry(s, c, a.last_described);
    } else if (c.stage == Stage::joined) {
        // The race entry was lost: the client still waits for it.
        send_to(s, c, RaceEntry{c.race_id, c.entry, c.description});
    }
}

void on_restart_ack(Server& s, Client& c, const RestartAck& a)
{
    if (c.stage != Stage::restarting && c.stage != Stage::track_sent) return;
    c.race_id = a.race_id;
    c.stage = Stage::track_sent;
    c.last_sent = s.now;
    send_to(s, c, track_info_for(s, c.race_id));
}

void on_disconnect(Server& s, const Disconnect& d, const Address& from)
{
    if (Client* c = sender(s, d.slot, d.token, from)) {
        drop_client(s, *c, "disconnected");
    } else if (find_by_address(s, from)) {
        // Somebody else's slot or token from a live client's address: a
        // forgery must not tell the real client it was let go.
        ++s.ignored;
        return;
    }
    // Repeats after we let go are answered too: the client waits for this.
    Datagram out;
    encode(Disconnected{}, out);
    ++s.datagrams_out;
    if (s.send) s.send(from, out.view());
}

template <class T>
Client* authenticated(Server& s, const T& d, const Address& from)
{
    return sender(s, d.slot, d.token, from);
}

}  // namespace

void start_server(Server& s, Settings settings, SendFn send, LogFn log, std::uint32_t seed, double now)
{
    for (Client& c : s.clients) c = Client{};
    s.race_id = 0;
    s.datagrams_in = s.datagrams_out = s.ignored = 0;
    s.settings = std::move(settings);
    s.send = std::move(send);
    s.log = std::move(log);
    s.rng.seed(seed);
    s.now = now;
    begin_new_race(s, "the server started");
}

void receive(Server& s, Bytes datagram, const Address& from, double now)
{
    s.now = now;
    ++s.datagrams_in;
    auto decoded = decode_client_datagram(datagram);
    if (!decoded) {
        ++s.ignored;
        return;
    }
    if (auto* r = std::get_if<ConnectRequest>(&*decoded)) return on_connect(s, *r, from);
    if (auto* d = std::get_if<Disconnect>(&*decoded)) return on_disconnect(s, *d, from);

    Client* c = std::visit(
        [&](const auto& d) -> Client* {
            if constexpr (requires { d.slot; d.token; }) return authenticated(s, d, from);
            return nullptr;
        },
        *decoded);
    if (!c) {
        ++s.ignored;
        return;
    }
    c->last_heard = now;
    std::visit(
        [&](const auto& d) {
            using T = std::decay_t<decltype(d)>;
            if constexpr (std::is_same_v<T, ClientInfo>) on_client_info(s, *c, d);
            else if constexpr (std::is_same_v<T, TrackAck>) on_track_ack(s, *c, d);
            else if constexpr (std::is_same_v<T, BikeAck>) on_bike_ack(s, *c, d);
            else if constexpr (std::is_same_v<T, Ready>) {
                // Nothing to do: clock and states already flow to a joined client.
            } else if constexpr (std::is_same_v<T, StateUpdate>) record_received(s, *c, d);
            else if constexpr (std::is_same_v<T, RestartRequest>) restart_requested(s, *c);
            else if constexpr (std::is_same_v<T, RestartAck>) on_restart_ack(s, *c, d);
            else if constexpr (std::is_same_v<T, ClientMessage>) handle_message(s, *c, d);
            else if constexpr (std::is_same_v<T, ClientAck>) message_acknowledged(*c, d.sequence);
        },
        *decoded);
}

void update(Server& s, double now)
{
    s.now = now;
    for (Client& c : s.clients) {
        if (c.stage == Stage::free) continue;
        if (now - c.last_heard > s.settings.timeout_seconds) {
            drop_client(s, c, "timed out");
            continue;
        }
        if (c.stage == Stage::restarting && now - c.last_sent >= k_repeat_seconds) {
            c.last_sent = now;
            send_to(s, c, Restart{s.race_id});
        }
    }
    race_update(s);
    send_queue_heads(s);
}

void shut_down(Server& s)
{
    for (Client& c : s.clients) {
        if (c.stage == Stage::free) continue;
        send_to(s, c, ErrorText{"Server shutting down"});
        close_transfer(c, false);
        c = Client{};
    }
    logf(s, "server stopped");
}

}  // namespace zv::server
