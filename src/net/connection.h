// The race-server client on a real socket: a connection request opens one
// non-blocking UDP socket to the server's address, every update drains it
// (through the fake lag and loss when they are set), runs the client's rules
// and sends what they produced.
#pragma once

#include <optional>
#include <string>

#include <netinet/in.h>

#include "net/client.h"
#include "net/fake_link.h"
#include "net/net_socket.h"

namespace zv::net {

struct Connection {
    Client client;
    UdpSocket socket;
    sockaddr_in server{};
    FakeLink fake;
    std::optional<std::string> requested;  // the address of a requested connection
    // The generic bike and rider shapes matched a release (a client whose
    // physics shapes differ must not race).
    bool fixed_files_ok = true;
};

// The next update connects to this address ("host" or "host:port").
void request_connection(Connection& n, const std::string& address);
// Whether a connection exists (its socket is open).
bool connected(const Connection& n);

// Once a tick: connects when asked, receives and handles every waiting
// datagram, then runs the client's update and sends its datagrams.
void net_update(Connection& n, const LocalView& view);
// Drains the socket (and the fake-lag queue as far as it is due).
void net_receive_all(Connection& n, const LocalView& view);
// Sends what the client put in its outbox; a failure shows
// "sendto error (...)" and the state stays as it is.
void flush_outbox(Connection& n);
// Starting an off-line activity: one disconnect datagram, and the
// connection ends at once.
void leave_server_now(Connection& n);
// The player disconnects: a pending request is dropped; a connection still
// contacting the server ends at once, one under way leaves politely.
void disconnect_from_server(Connection& n, const LocalView& view);
// Closes the socket (after the client was reset).
void close_socket(Connection& n);

}  // namespace zv::net
