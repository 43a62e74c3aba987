// The race server's address: a host name, or a host name and a port after
// the last colon; the port defaults to 19800.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <netinet/in.h>

#include "net/datagrams.h"

namespace zv::net {

struct ServerAddress {
    std::string host;
    std::uint16_t port = k_default_port;
};

// Splits "host" or "host:port". nullopt for an empty host or a port that is
// not a number from 1 to 65535.
std::optional<ServerAddress> parse_address(std::string_view text);

// Looks the host up (a blocking name lookup, IPv4 only). nullopt when the
// text does not parse or the name does not resolve.
std::optional<sockaddr_in> resolve_address(std::string_view text);

}  // namespace zv::net
