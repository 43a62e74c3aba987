#include "net/net_socket.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zv::net {

namespace {

std::string g_last_error;

struct ErrnoName {
    int code;
    const char* name;
};

// The errors a UDP socket can meet; others are reported by number.
constexpr ErrnoName k_errno_names[] = {
    {EACCES, "EACCES"},           {EADDRINUSE, "EADDRINUSE"},     {EADDRNOTAVAIL, "EADDRNOTAVAIL"},
    {EAFNOSUPPORT, "EAFNOSUPPORT"}, {EAGAIN, "EAGAIN"},           {EBADF, "EBADF"},
    {ECONNREFUSED, "ECONNREFUSED"}, {ECONNRESET, "ECONNRESET"},   {EDESTADDRREQ, "EDESTADDRREQ"},
    {EFAULT, "EFAULT"},           {EHOSTDOWN, "EHOSTDOWN"},       {EHOSTUNREACH, "EHOSTUNREACH"},
    {EINTR, "EINTR"},             {EINVAL, "EINVAL"},             {EIO, "EIO"},
    {EISCONN, "EISCONN"},         {EMFILE, "EMFILE"},             {EMSGSIZE, "EMSGSIZE"},
    {ENETDOWN, "ENETDOWN"},       {ENETUNREACH, "ENETUNREACH"},   {ENFILE, "ENFILE"},
    {ENOBUFS, "ENOBUFS"},         {ENOMEM, "ENOMEM"},             {ENOTCONN, "ENOTCONN"},
    {ENOTSOCK, "ENOTSOCK"},       {EOPNOTSUPP, "EOPNOTSUPP"},     {EPERM, "EPERM"},
    {EPIPE, "EPIPE"},             {EPROTONOSUPPORT, "EPROTONOSUPPORT"}, {ETIMEDOUT, "ETIMEDOUT"},
};

// Interrupted calls and calls that would block are no failure worth a text.
bool is_quiet(int code) { return code == EINTR || code == EAGAIN || code == EWOULDBLOCK; }

void note_error(int code) { g_last_error = is_quiet(code) ? std::string() : errno_name(code); }

}  // namespace

std::string errno_name(int code)
{
    for (const ErrnoName& e : k_errno_names)
        if (e.code == code)
            return e.name;
    return std::to_string(code);
}

const std::string& last_network_error() { return g_last_error; }

UdpSocket::~UdpSocket() { close(); }

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool UdpSocket::open()
{
    close();
    g_last_error.clear();
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        note_error(errno);
        return false;
    }
    return true;
}

bool UdpSocket::bind_port(std::uint16_t port)
{
    g_last_error.clear();
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(port);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        note_error(errno);
        return false;
    }
    return true;
}

std::uint16_t UdpSocket::local_port() const
{
    sockaddr_in a{};
    socklen_t n = sizeof a;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n) != 0)
        return 0;
    return ntohs(a.sin_port);
}

void UdpSocket::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool UdpSocket::send_to(const sockaddr_in& to, std::span<const std::uint8_t> bytes)
{
    g_last_error.clear();
    ssize_t n = ::sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
                         sizeof to);
    if (n < 0) {
        note_error(fd_ < 0 ? EBADF : errno);
        return false;
    }
    return true;
}

int UdpSocket::receive(std::span<std::uint8_t> buffer, sockaddr_in* from)
{
    g_last_error.clear();
    sockaddr_in a{};
    socklen_t n = sizeof a;
    ssize_t got = ::recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&a), &n);
    if (got < 0) {
        int code = fd_ < 0 ? EBADF : errno;
        note_error(code);
        return is_quiet(code) ? k_nothing_waiting : k_receive_error;
    }
    if (from)
        *from = a;
    return static_cast<int>(got);
}

}  // namespace zv::net
