// zarvox-server --bench-load N: the server on a loopback socket in one
// thread, N scripted riders on their own sockets in another, each sending
// a state record 32 times a second; reports the server thread's CPU time,
// the datagrams it handled and the records that never reached a rider.
#include "load_bench.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "server/socket.h"

namespace zv::server_tool {

using namespace zv::net;
using zv::server::steady_seconds;

namespace {

struct Rider {
    int fd = -1;
    std::uint32_t nonce = 0, slot = k_no_slot, token = 0, race_id = 0, last_described = k_no_slot;
    bool racing = false;
    std::int32_t server_tick = 0, clock = 0;
    double next_repeat = 0;
    enum class Step { connect, info, track, bikes, ready } step = Step::connect;
    std::uint64_t records_in = 0, records_sent = 0;
};

double thread_cpu_seconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

template <class T>
void send(const Rider& r, const sockaddr_in& to, const T& d)
{
    Datagram g;
    if (encode(d, g)) ::sendto(r.fd, g.bytes.data(), g.size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

// The datagram each handshake step repeats until the server answers.
void repeat(Rider& r, const sockaddr_in& to, const std::string& description)
{
    switch (r.step) {
    case Rider::Step::connect: send(r, to, ConnectRequest{false, k_client_protocol, r.nonce}); break;
    case Rider::Step::info: send(r, to, ClientInfo{r.slot, r.token, 0, r.nonce, description}); break;
    case Rider::Step::track: send(r, to, TrackAck{r.slot, r.token, r.race_id}); break;
    case Rider::Step::bikes: send(r, to, BikeAck{r.slot, r.token, r.race_id, r.last_described}); break;
    case Rider::Step::ready: send(r, to, Ready{r.slot, r.token, r.race_id}); break;
    }
}

void handle(Rider& r, const sockaddr_in& to, Bytes bytes, std::int32_t count_from)
{
    auto d = decode_server_datagram(bytes);
    if (!d) return;
    if (auto* w = std::get_if<Welcome>(&*d)) {
        if (r.step != Rider::Step::connect) return;
        r.slot = w->slot;
        r.token = w->token;
        r.step = Rider::Step::info;
        r.next_repeat = 0;
    } else if (auto* t = std::get_if<TrackInfo>(&*d)) {
        r.race_id = t->race_id;
        r.step = Rider::Step::track;
        r.racing = false;
        r.last_described = k_no_slot;
        r.next_repeat = 0;
    } else if (auto* desc = std::get_if<RiderDescription>(&*d)) {
        if (r.last_described == k_no_slot || desc->slot > r.last_described) r.last_described = desc->slot;
        if (r.step == Rider::Step::track) r.next_repeat = 0;
        r.step = Rider::Step::bikes;
    } else if (auto* e = std::get_if<RaceEntry>(&*d)) {
        r.racing = e->entry != k_no_slot;
        r.step = Rider::Step::ready;
        r.next_repeat = 0;
    } else if (auto* c = std::get_if<Clock>(&*d)) {
        r.server_tick = std::max(r.server_tick, c->server_tick);
        if (r.step == Rider::Step::ready) r.next_repeat = 1e300;
    } else if (auto* st = std::get_if<States>(&*d)) {
        r.server_tick = std::max(r.server_tick, st->server_tick);
        if (r.step == Rider::Step::ready) r.next_repeat = 1e300;
        for (std::size_t i = 0; i < st->count; ++i)
            if (st->entries[i].slot != r.slot && st->entries[i].tick >= count_from) ++r.records_in;
    } else if (auto* rs = std::get_if<Restart>(&*d)) {
        r.race_id = rs->race_id;
        r.racing = false;
        send(r, to, RestartAck{r.slot, r.token, r.race_id});
    } else if (auto* m = std::get_if<ServerMessage>(&*d)) {
        send(r, to, ClientAck{r.slot, r.token, m->sequence});
    }
}

}  // namespace

int run_load_bench(const server::Settings& settings, int riders, double seconds)
{
    server::UdpSocket socket;
    std::string error;
    if (!socket.open(0, error)) {
        std::fprintf(stderr, "zarvox-server: %s\n", error.c_str());
        return 1;
    }
    server::Server srv;
    server::Settings s = settings;
    s.max_riders = riders;
    s.incoming.clear();
    server::start_server(srv, s, nullptr, nullptr, 1, steady_seconds());
    std::atomic<bool> stop{false};
    double server_cpu = 0;
    std::thread loop([&] {
        server::run_server(srv, socket, stop);
        server_cpu = thread_cpu_seconds();
    });

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(socket.port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<Rider> field(static_cast<std::size_t>(riders));
    std::vector<pollfd> polls;
    for (std::size_t i = 0; i < field.size(); ++i) {
        field[i].fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        field[i].nonce = static_cast<std::uint32_t>(1000 + i);
        int buffer = 1 << 20;
        ::setsockopt(field[i].fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        polls.push_back(pollfd{field[i].fd, POLLIN, 0});
    }
    const std::string description = "bike|r|b|w|h\n1\nLoad rider";
    replay::StateRecord record;
    record.bytes.fill(0x42);

    double begin = steady_seconds();
    double all_racing_at = -1;
    std::int32_t count_from = 0x7FFFFFFF;
    double next_state = begin;
    std::uint8_t buffer[k_max_datagram_size];
    while (true) {
        double now = steady_seconds();
        if (all_racing_at >= 0 && now - all_racing_at >= seconds) break;
        if (all_racing_at < 0 && now - begin > 60) {
            std::fprintf(stderr, "zarvox-server: the riders never all reached the race\n");
            break;
        }
        ::poll(polls.data(), polls.size(), 1);
        for (std::size_t i = 0; i < field.size(); ++i) {
            for (;;) {
                ssize_t n = ::recv(field[i].fd, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                handle(field[i], to, Bytes(buffer, static_cast<std::size_t>(n)), count_from);
            }
        }
        bool all = true;
        for (Rider& r : field) {
            all = all && r.racing;
            if (r.step != Rider::Step::ready || !r.racing) {
                if (now >= r.next_repeat) {
                    r.next_repeat = now + 1.0;
                    repeat(r, to, description);
                }
            }
        }
        if (all && all_racing_at < 0) {
            all_racing_at = now;
            count_from = field.front().server_tick + 8;
        }
        if (now >= next_state) {
            next_state += 1.0 / 32;
            for (Rider& r : field) {
                if (!r.racing || r.server_tick == 0) continue;
                r.clock = std::max(r.clock + 4, r.server_tick);
                send(r, to, StateUpdate{r.slot, r.token, r.race_id, r.server_tick, r.clock, record});
                if (r.clock >= count_from) ++r.records_sent;
            }
        }
    }
    double wall = steady_seconds() - begin;
    stop = true;
    loop.join();

    std::uint64_t sent = 0, received = 0;
    for (Rider& r : field) {
        sent += r.records_sent;
        received += r.records_in;
        ::close(r.fd);
    }
    // Each record counts once for every other rider; records still in
    // flight when the window closes count as lost.
    double expected = static_cast<double>(sent) * (riders - 1);
    std::printf("riders %d, window %.1f s (wall %.1f s)\n", riders, seconds, wall);
    std::printf("server CPU %.2f s = %.1f %% of a core, %.3f ms per rider per second\n", server_cpu,
                100.0 * server_cpu / wall, 1000.0 * server_cpu / wall / riders);
    std::printf("datagrams in %llu, out %llu (%.0f per second)\n",
                static_cast<unsigned long long>(srv.datagrams_in), static_cast<unsigned long long>(srv.datagrams_out),
                static_cast<double>(srv.datagrams_in + srv.datagrams_out) / wall);
    std::printf("records relayed %llu of %.0f (%.2f %% lost)\n", static_cast<unsigned long long>(received), expected,
                expected > 0 ? 100.0 * (1.0 - static_cast<double>(received) / expected) : 0.0);
    return all_racing_at >= 0 ? 0 : 1;
}

}  // namespace zv::server_tool
