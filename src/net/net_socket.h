// One non-blocking IPv4 UDP socket, closed when it goes. Failures leave the
// name of the error (errno's symbolic name, such as "ECONNREFUSED", or its
// number when unnamed) as the last network error text; a receive that finds
// nothing waiting leaves no text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include <netinet/in.h>

namespace zv::net {

// "ECONNREFUSED" for ECONNREFUSED; the decimal number for an unnamed code.
std::string errno_name(int code);

// The text of the last failed socket call ("" after a success or when the
// call would only have blocked).
const std::string& last_network_error();

class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Creates the socket in non-blocking mode. False on failure.
    bool open();
    // Binds to a local port on every address (0: any free port); for servers
    // and tests.
    bool bind_port(std::uint16_t port);
    // The local port after binding or sending (0 when unknown).
    std::uint16_t local_port() const;
    bool is_open() const { return fd_ >= 0; }
    void close();

    // Sends one datagram; false on failure.
    bool send_to(const sockaddr_in& to, std::span<const std::uint8_t> bytes);
    // Receives one datagram into the buffer (a longer one is cut). Returns
    // its length (0 for an empty datagram), k_nothing_waiting or
    // k_receive_error.
    static constexpr int k_nothing_waiting = -1;
    static constexpr int k_receive_error = -2;
    int receive(std::span<std::uint8_t> buffer, sockaddr_in* from = nullptr);

private:
    int fd_ = -1;
};

}  // namespace zv::net
