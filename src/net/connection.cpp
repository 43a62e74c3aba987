#include "net/connection.h"

#include <array>
#include <cstdio>

#include "net/address.h"
#include "net/client_internal.h"

namespace zv::net {

namespace {

void handle(Connection& n, std::span<const std::uint8_t> bytes, const LocalView& view)
{
    client_receive(n.client, bytes, view);
    if (!n.client.active)
        close_socket(n);
}

bool open_connection(Connection& n, const std::string& address, double now)
{
    if (!n.fixed_files_ok) {
        detail::show(n.client, "Fixed file mismatch");
        return false;
    }
    std::optional<sockaddr_in> to = resolve_address(address);
    if (!to) {
        detail::show(n.client, "Can't resolve address");
        return false;
    }
    if (!n.socket.open()) {
        detail::show(n.client, "Can't create socket");
        return false;
    }
    n.server = *to;
    n.fake.queue.clear();
    begin_connection(n.client, now);
    return true;
}

}  // namespace

void request_connection(Connection& n, const std::string& address) { n.requested = address; }

bool connected(const Connection& n) { return n.client.active && n.socket.is_open(); }

void close_socket(Connection& n)
{
    n.socket.close();
    n.fake.queue.clear();
}

void flush_outbox(Connection& n)
{
    for (const std::vector<std::uint8_t>& d : n.client.outbox) {
        if (!n.socket.is_open())
            break;
        if (n.socket.send_to(n.server, d)) {
            ++n.client.stats.sent;
        } else {
            char buf[160];
            std::snprintf(buf, sizeof buf, "sendto error (%.100s)", last_network_error().c_str());
            detail::show(n.client, buf);
        }
    }
    n.client.outbox.clear();
}

void net_receive_all(Connection& n, const LocalView& view)
{
    std::array<std::uint8_t, k_max_datagram_size> buffer;
    const bool faked = fake_link_active(n.fake);
    bool failed = false;
    std::string error;
    while (n.socket.is_open()) {
        int got = n.socket.receive(buffer);
        if (got == UdpSocket::k_nothing_waiting)
            break;
        if (got == UdpSocket::k_receive_error) {
            // An unreachable port answers with an error on the next receive;
            // the server may yet come up, so the client keeps trying.
            failed = true;
            error = last_network_error();
            break;
        }
        std::span<const std::uint8_t> bytes(buffer.data(), static_cast<std::size_t>(got));
        if (faked)
            fake_link_arrive(n.fake, bytes, view.now);
        else
            handle(n, bytes, view);
        // Responses to what arrived (acknowledgments) go at once.
        flush_outbox(n);
    }
    while (faked && n.socket.is_open()) {
        std::optional<std::vector<std::uint8_t>> due = fake_link_due(n.fake, view.now);
        if (!due)
            break;
        handle(n, *due, view);
        flush_outbox(n);
    }
    if (failed && !error.empty())
        detail::show(n.client, error);
}

void leave_server_now(Connection& n)
{
    leave_server_now(n.client);
    flush_outbox(n);
    close_socket(n);
}

void disconnect_from_server(Connection& n, const LocalView& view)
{
    n.requested.reset();
    disconnect_from_server(n.client, view);
    flush_outbox(n);
    if (!n.client.active)
        close_socket(n);
}

void net_update(Connection& n, const LocalView& view)
{
    if (n.requested) {
        std::string address = std::move(*n.requested);
        n.requested.reset();
        if (n.client.active) {
            reset_client(n.client);
            close_socket(n);
        }
        open_connection(n, address, view.now);
        flush_outbox(n);
    }
    if (!n.client.active) {
        if (n.socket.is_open())
            close_socket(n);
        return;
    }
    net_receive_all(n, view);
    if (!n.client.active)
        return;
    client_update(n.client, view);
    flush_outbox(n);
    if (!n.client.active)
        close_socket(n);
}

}  // namespace zv::net
