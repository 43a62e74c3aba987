// The server's one non-blocking IPv4 UDP socket and the loop that feeds the
// server state machine from it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "server/server.h"

namespace zv::server {

// The name of an errno value ("ECONNREFUSED"), or its number as text.
std::string errno_name(int error);

class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Binds to the port on every IPv4 address (0: any free port). On failure
    // `error` names the call and the errno name.
    bool open(std::uint16_t port, std::string& error);
    std::uint16_t port() const { return port_; }
    int fd() const { return fd_; }
    // False with the errno name when sending failed.
    bool send(const Address& to, net::Bytes bytes, std::string& error) const;
    // One datagram; 0 when none is waiting (or on an error, named in `error`).
    // Longer datagrams are cut to the buffer, and then fail to decode.
    std::size_t receive(std::uint8_t* buffer, std::size_t size, Address& from, std::string& error) const;

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// Drives the server from the socket until `stop` turns true: every waiting
// datagram is handled, then the server's time passes. Send errors go to the
// log, at most one line a second. On stopping, the clients are told the
// server is going away.
void run_server(Server& s, const UdpSocket& socket, const std::atomic<bool>& stop);

// Seconds on a steady clock.
double steady_seconds();

}  // namespace zv::server
