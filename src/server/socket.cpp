#include "server/socket.h"

#include "server/server_internal.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zv::server {

std::string errno_name(int error)
{
    switch (error) {
    case EACCES: return "EACCES";
    case EADDRINUSE: return "EADDRINUSE";
    case EADDRNOTAVAIL: return "EADDRNOTAVAIL";
    case EAFNOSUPPORT: return "EAFNOSUPPORT";
    case EAGAIN: return "EAGAIN";
    case EBADF: return "EBADF";
    case ECONNREFUSED: return "ECONNREFUSED";
    case ECONNRESET: return "ECONNRESET";
    case EDESTADDRREQ: return "EDESTADDRREQ";
    case EFAULT: return "EFAULT";
    case EHOSTDOWN: return "EHOSTDOWN";
    case EHOSTUNREACH: return "EHOSTUNREACH";
    case EINTR: return "EINTR";
    case EINVAL: return "EINVAL";
    case EMFILE: return "EMFILE";
    case EMSGSIZE: return "EMSGSIZE";
    case ENETDOWN: return "ENETDOWN";
    case ENETUNREACH: return "ENETUNREACH";
    case ENFILE: return "ENFILE";
    case ENOBUFS: return "ENOBUFS";
    case ENOMEM: return "ENOMEM";
    case ENOTSOCK: return "ENOTSOCK";
    case EPERM: return "EPERM";
    case EPROTONOSUPPORT: return "EPROTONOSUPPORT";
    default: return std::to_string(error);
    }
}

namespace {

sockaddr_in to_sockaddr(const Address& a)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(a.ip);
    sa.sin_port = htons(a.port);
    return sa;
}

std::string failed(const char* call) { return std::string(call) + " failed (" + errno_name(errno) + ")"; }

}  // namespace

UdpSocket::~UdpSocket()
{
    if (fd_ >= 0) ::close(fd_);
}

bool UdpSocket::open(std::uint16_t port, std::string& error)
{
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error = failed("socket");
        return false;
    }
    sockaddr_in sa = to_sockaddr(Address{INADDR_ANY, port});
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        error = failed("bind");
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    socklen_t len = sizeof sa;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
    port_ = ntohs(sa.sin_port);
    // Room for a burst of 160 riders' states.
    int buffer = 4 << 20;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    return true;
}

bool UdpSocket::send(const Address& to, net::Bytes bytes, std::string& error) const
{
    sockaddr_in sa = to_sockaddr(to);
    for (;;) {
        ssize_t n = ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
        if (n >= 0) return true;
        if (errno == EINTR) continue;
        error = errno_name(errno);
        return false;
    }
}

std::size_t UdpSocket::receive(std::uint8_t* buffer, std::size_t size, Address& from, std::string& error) const
{
    for (;;) {
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        ssize_t n = ::recvfrom(fd_, buffer, size, 0, reinterpret_cast<sockaddr*>(&sa), &len);
        if (n >= 0) {
            from = Address{ntohl(sa.sin_addr.s_addr), ntohs(sa.sin_port)};
            // An empty datagram has no type: report it as one byte of a type
            // nobody uses rather than as "nothing waiting".
            if (n == 0) {
                buffer[0] = 255;
                return 1;
            }
            return static_cast<std::size_t>(n);
        }
        if (errno == EINTR) continue;
        // Would-block is silence; a refused earlier send (ICMP) is reported
        // on the next receive and says nothing about this socket.
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ECONNREFUSED) error = errno_name(errno);
        return 0;
    }
}

double steady_seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void run_server(Server& s, const UdpSocket& socket, const std::atomic<bool>& stop)
{
    double last_error_log = -1e9;
    std::string send_error;
    s.send = [&](const Address& to, net::Bytes bytes) {
        if (!socket.send(to, bytes, send_error) && steady_seconds() - last_error_log >= 1.0) {
            last_error_log = steady_seconds();
            logf(s, "sendto error (%s) to %s", send_error.c_str(), address_text(to).c_str());
        }
    };
    // One byte more than any datagram: an over-long one arrives cut to this
    // and fails to decode instead of passing as a shorter one.
    std::uint8_t buffer[net::k_max_datagram_size + 1];
    while (!stop.load()) {
        pollfd p{socket.fd(), POLLIN, 0};
        ::poll(&p, 1, 1);
        for (int i = 0; i < 4096; ++i) {
            Address from;
            std::string error;
            std::size_t n = socket.receive(buffer, sizeof buffer, from, error);
            if (n == 0) {
                if (!error.empty()) logf(s, "recvfrom error (%s)", error.c_str());
                break;
            }
            receive(s, net::Bytes(buffer, n), from, steady_seconds());
        }
        update(s, steady_seconds());
    }
    shut_down(s);
    s.send = nullptr;
}

}  // namespace zv::server
