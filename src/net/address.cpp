#include "net/address.h"

#include <charconv>
#include <cstring>

#include <netdb.h>
#include <sys/socket.h>

namespace zv::net {

std::optional<ServerAddress> parse_address(std::string_view text)
{
    ServerAddress a;
    std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        a.host = std::string(text);
    } else {
        std::string_view port = text.substr(colon + 1);
        unsigned value = 0;
        auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535)
            return std::nullopt;
        a.host = std::string(text.substr(0, colon));
        a.port = static_cast<std::uint16_t>(value);
    }
    if (a.host.empty())
        return std::nullopt;
    return a;
}

std::optional<sockaddr_in> resolve_address(std::string_view text)
{
    std::optional<ServerAddress> a = parse_address(text);
    if (!a)
        return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(a->host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return std::nullopt;
    sockaddr_in out{};
    std::memcpy(&out, found->ai_addr, sizeof out);
    freeaddrinfo(found);
    out.sin_port = htons(a->port);
    return out;
}

}  // namespace zv::net
