// What arrives from the network: every datagram decoded on its own, and
// scripted sequences of datagrams through the client's and the server's
// state machines (each step a time step, and for the server a sender).
#include "harness.h"

#include <cstdio>
#include <cstdlib>

#include "net/client.h"
#include "net/datagrams.h"
#include "server/server.h"

namespace zv::fuzz {

int fuzz_server_datagrams(const std::uint8_t* data, std::size_t size)
{
    net::Bytes in{data, size};
    if (auto d = net::decode_server_datagram(in)) {
        // What decodes must encode again.
        std::visit([](const auto& v) {
            net::Datagram out;
            if (!net::encode(v, out))
                std::abort();
        }, *d);
    }
    net::States states;
    bool truncated = false;
    net::decode_states_prefix(in, states, truncated);
    net::GateTimes times;
    net::decode_payload(in, times);
    (void)net::payload_text(in);
    return 0;
}

int fuzz_client_datagrams(const std::uint8_t* data, std::size_t size)
{
    net::Bytes in{data, size};
    if (auto d = net::decode_client_datagram(in)) {
        std::visit([](const auto& v) {
            net::Datagram out;
            if (!net::encode(v, out))
                std::abort();
        }, *d);
    }
    net::GateReport report;
    net::decode_payload(in, report);
    return 0;
}

int fuzz_client(const std::uint8_t* data, std::size_t size)
{
    net::Client c;
    c.host.show = [](const std::string&) {};
    c.host.track_installed = [](const std::string& folder) { return folder.size() % 2 == 0; };
    c.host.start_race = [](const net::RaceParameters& race, std::uint32_t) -> std::optional<core::Digest> {
        if (race.track.empty())
            return std::nullopt;
        return race.hash;
    };
    c.host.disable_arcade = [] { return true; };
    net::LocalView view;
    view.now = 1;
    net::begin_connection(c, view.now);
    for (const Step& s : split_steps(data, size)) {
        view.now += (s.control & 0x7f) * 0.01;
        view.race_clock += s.control & 0x1f;
        if (s.control & 0x80) {
            replay::StateRecord r;
            view.state = r;
            ++view.gates_passed;
            view.last_gate_tick = view.race_clock;
        }
        net::client_receive(c, s.bytes, view);
        net::client_update(c, view);
        c.outbox.clear();
    }
    net::disconnect_from_server(c, view);
    net::reset_client(c);
    return 0;
}

int fuzz_server(const std::uint8_t* data, std::size_t size)
{
    server::Server s;
    server::Settings settings;
    settings.track = "rabbithill";
    settings.warmup_seconds = 1;
    settings.max_riders = 4;
    settings.incoming = scratch_folder() + "incoming";
    settings.max_file_bytes = 4096;
    std::uint64_t sent = 0;
    server::start_server(s, settings, [&](const server::Address&, net::Bytes) { ++sent; },
                         [](const std::string&) {}, 1, 0);
    double now = 0;
    for (const Step& step : split_steps(data, size)) {
        // Low two bits: one of four senders; the rest: time passing.
        server::Address from{0x7f000001u, static_cast<std::uint16_t>(40000 + (step.control & 3))};
        now += (step.control >> 2) * 0.05;
        server::receive(s, step.bytes, from, now);
        server::update(s, now);
    }
    server::shut_down(s);
    return 0;
}

namespace {

template <class T>
std::string encoded(const T& d)
{
    net::Datagram out;
    if (!net::encode(d, out))
        return {};
    return std::string(reinterpret_cast<const char*>(out.bytes.data()), out.size);
}

template <class T>
std::string step(std::uint8_t control, const T& d)
{
    net::Datagram out;
    if (!net::encode(d, out))
        return {};
    return step_bytes(control, out.view());
}

}  // namespace

Seeds server_datagram_seeds()
{
    net::TrackInfo track;
    track.track_name = "rabbithill";
    track.laps = 3;
    net::RaceEntry entry;
    entry.entry = 0;
    entry.description = "450sxf(2017)||||";
    return {encoded(net::Welcome{}), encoded(track), encoded(entry), encoded(net::Clock{}),
            encoded(net::States{}), encoded(net::ServerMessage{}), encoded(net::Redirect{})};
}

Seeds client_datagram_seeds()
{
    return {encoded(net::ConnectRequest{}), encoded(net::ClientInfo{}), encoded(net::TrackAck{}),
            encoded(net::StateUpdate{}), encoded(net::ClientMessage{}), encoded(net::Disconnect{})};
}

Seeds client_seeds()
{
    net::Welcome w;
    w.slot = 0;
    w.token = 1234;
    net::TrackInfo track;
    track.race_id = 1;
    track.track_name = "ab";
    track.laps = 2;
    net::RaceEntry entry;
    entry.race_id = 1;
    entry.entry = 0;
    entry.description = "450sxf(2017)||||";
    net::Clock clock;
    clock.race_id = 1;
    return {step(10, w) + step(10, track) + step(10, entry) + step(10, clock) + step(0x90, net::States{}),
            step(10, net::ServerFull{}), step(10, w) + step(10, net::Redirect{})};
}

Seeds server_seeds()
{
    net::ConnectRequest hello;
    hello.nonce = 7;
    net::ClientInfo info;
    info.slot = 0;
    return {step(4, hello) + step(4, info) + step(40, net::TrackAck{}) + step(200, net::StateUpdate{}),
            step(0, hello) + step(1, hello) + step(2, hello) + step(3, hello) + step(255, net::Disconnect{})};
}

}  // namespace zv::fuzz
