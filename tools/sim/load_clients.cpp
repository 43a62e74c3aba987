#include "load_clients.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "net/connection.h"

namespace zv::sim_tool {

namespace {

double steady_now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// One load client: its connection and a race clock that runs at 128 ticks a
// second once the server has set it.
struct LoadClient {
    net::Connection n;
    std::int32_t clock = 0;
    bool clock_set = false;
    double clock_origin = 0;
    std::int32_t clock_base = 0;
    bool raced = false;
};

// A rider going round a circle: a record that changes every tick, as a ridden
// lap's would, without simulating a bike.
replay::StateRecord synthetic_record(int index, std::int32_t tick)
{
    replay::StateRecord r;
    const double a = tick * 0.01 + index * 0.39;
    const auto x = static_cast<std::uint32_t>((0.5 + 0.3 * std::cos(a)) * 0xFFFFFF);
    const auto z = static_cast<std::uint32_t>((0.5 + 0.3 * std::sin(a)) * 0xFFFFFF);
    for (int b = 0; b < 3; ++b) {
        r.bytes[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(x >> (8 * b));
        r.bytes[static_cast<std::size_t>(6 + b)] = static_cast<std::uint8_t>(z >> (8 * b));
    }
    r.bytes[4] = 0x80;
    r.bytes[9] = r.bytes[10] = 0xFF;  // w near 1
    r.bytes[18] = 1;                  // a sampled record
    r.bytes[36] = static_cast<std::uint8_t>(3 | (10 << 4));
    return r;
}

}  // namespace

int run_load_clients(const Options& o, long count, double seconds)
{
    std::vector<std::unique_ptr<LoadClient>> clients;
    for (long i = 0; i < count; ++i) {
        auto c = std::make_unique<LoadClient>();
        LoadClient* self = c.get();
        net::ClientHost& h = c->n.client.host;
        h.show = [](const std::string&) {};
        h.track_installed = [](const std::string&) { return true; };
        // A load client has every track the server names: it rides none.
        h.start_race = [self](const net::RaceParameters& race, std::uint32_t) {
            self->raced = true;
            return std::optional<core::Digest>(race.hash);
        };
        h.set_race_clock = [self](std::int32_t tick) {
            self->clock_set = true;
            self->clock_base = tick;
            self->clock_origin = steady_now();
        };
        c->n.client.password = o.value("--password");
        c->n.client.own_rider.bike = "250f";
        c->n.client.own_rider.number = std::to_string(i + 1);
        c->n.client.own_rider.name = "Load " + std::to_string(i + 1);
        net::request_connection(c->n, o.value("--connect"));
        clients.push_back(std::move(c));
    }

    const double start = steady_now();
    double racing_since = 0;
    while (steady_now() - start < seconds) {
        const double now = steady_now();
        for (std::size_t i = 0; i < clients.size(); ++i) {
            LoadClient& c = *clients[i];
            const std::int32_t target =
                c.clock_set ? c.clock_base + static_cast<std::int32_t>((now - c.clock_origin) * 128) : 0;
            // Every tick of the clock gets one update, as in the game; before
            // the server sets the clock, every pass does.
            if (c.clock_set && c.clock >= target)
                continue;
            do {
                if (c.clock < target)
                    ++c.clock;
                net::LocalView v;
                v.now = now;
                v.race_clock = c.clock;
                if (c.clock % net::k_state_interval == 0)
                    v.state = synthetic_record(static_cast<int>(i), c.clock);
                net::net_update(c.n, v);
            } while (c.clock < target);
        }
        if (racing_since == 0) {
            bool all = true;
            for (const auto& c : clients)
                all = all && c->n.client.state == net::ConnectionState::racing;
            if (all)
                racing_since = now;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    std::uint64_t sent = 0, received = 0, records = 0, late = 0;
    long racing = 0, placed = 0;
    for (const auto& c : clients) {
        const net::Client& k = c->n.client;
        sent += k.stats.sent;
        received += k.stats.received;
        records += k.stats.records;
        late += k.stats.late_records;
        racing += k.state == net::ConnectionState::racing ? 1 : 0;
        placed += net::has_place(k) ? 1 : 0;
    }
    const double wall = steady_now() - start;
    const double raced_for = racing_since > 0 ? steady_now() - racing_since : 0;
    for (auto& c : clients)
        net::leave_server_now(c->n);
    std::printf("{\"clients\": %ld, \"racing\": %ld, \"in_race\": %ld, \"seconds\": %.3f, "
                "\"all_racing_seconds\": %.3f, \"sent\": %llu, \"received\": %llu, "
                "\"sent_per_second\": %.1f, \"received_per_second\": %.1f, \"records\": %llu, "
                "\"late_records\": %llu}\n",
                count, racing, placed, wall, raced_for, static_cast<unsigned long long>(sent),
                static_cast<unsigned long long>(received), sent / wall, received / wall,
                static_cast<unsigned long long>(records), static_cast<unsigned long long>(late));
    return racing == count ? 0 : k_exit_failure;
}

}  // namespace zv::sim_tool
