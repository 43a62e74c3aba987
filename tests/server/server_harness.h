// Drives the race server state machine without sockets: scripted clients
// send datagrams at chosen times and read what the server sent them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/datagrams.h"
#include "server/server.h"
#include "support/data_folder_test.h"
#include "track/race_rules.h"
#include "track/timing.h"

namespace zv::server::test {

using namespace zv::net;

struct Sent {
    Address to;
    std::vector<std::uint8_t> bytes;
};

struct FakeClient {
    Address address;
    std::string description;
    std::uint32_t nonce = 0;
    std::uint32_t slot = k_no_slot;
    std::uint32_t token = 0;
    std::uint32_t race_id = 0;
    std::uint32_t next_seq = 0;
};

// Two checkpoints a lap: lap 1 ends at position 1, lap 2 at 3.
inline void install_small_timing()
{
    track::TrackTiming t;
    t.checkpoints.resize(2);
    t.checkpoints[0].radius = t.checkpoints[1].radius = 10;
    t.first_lap = {0, 1};
    t.normal_lap = {0, 1};
    t.first_lap_autopilot = t.normal_lap_autopilot = 2;
    track::set_track_timing(t);
}

inline Settings small_settings()
{
    Settings s;
    s.track = "rabbithill";
    for (std::size_t i = 0; i < s.track_hash.size(); ++i) s.track_hash[i] = static_cast<std::uint8_t>(i * 3);
    s.laps = 1;
    s.warmup_seconds = 5;
    return s;
}

class ServerTest : public zv::test::DataFolderTest {
protected:
    void start(Settings settings = small_settings())
    {
        install_small_timing();
        start_server(
            s, std::move(settings),
            [this](const Address& to, Bytes b) { sent.push_back({to, {b.begin(), b.end()}}); },
            [this](const std::string& line) { log.push_back(line); }, 7, now);
    }

    FakeClient client(std::uint16_t port, const std::string& name)
    {
        FakeClient c;
        c.address = Address{0x7F000001, port};
        c.description = "bike|r|b|w|h\n" + std::to_string(port % 1000) + "\n" + name;
        c.nonce = port * 7919u;
        return c;
    }

    template <class T>
    void from(const FakeClient& c, const T& d)
    {
        Datagram g;
        ASSERT_TRUE(encode(d, g));
        receive(s, g.view(), c.address, now);
    }

    // Time passes in small steps, as the socket loop would let it.
    void advance(double seconds)
    {
        double end = now + seconds;
        while (now < end) {
            now += 1.0 / 512;
            update(s, now);
        }
    }

    // Takes (removes) every datagram of type T sent to c.
    template <class T>
    std::vector<T> take(const FakeClient& c)
    {
        std::vector<T> out;
        for (auto it = sent.begin(); it != sent.end();) {
            T d;
            if (it->to == c.address && decode(it->bytes, d)) {
                out.push_back(d);
                it = sent.erase(it);
            } else {
                ++it;
            }
        }
        return out;
    }

    // Collects the reliable messages sent to c, acknowledging each, until
    // no more come.
    std::vector<ServerMessage> messages(const FakeClient& c)
    {
        std::vector<ServerMessage> all;
        for (int round = 0; round < 200; ++round) {
            advance(0.002);
            auto got = take<ServerMessage>(c);
            for (const ServerMessage& m : got) {
                from(c, ClientAck{c.slot, c.token, m.sequence});
                if (all.empty() || m.sequence > all.back().sequence) all.push_back(m);
            }
            if (got.empty() && round > 2) break;
        }
        return all;
    }

    std::vector<std::string> texts(const FakeClient& c)
    {
        std::vector<std::string> out;
        for (const ServerMessage& m : messages(c))
            if (m.type == k_msg_text) out.push_back(payload_text(m.payload));
        return out;
    }

    void connect(FakeClient& c, const std::string& password = "")
    {
        from(c, ConnectRequest{!password.empty(), k_client_protocol, c.nonce});
        auto w = take<Welcome>(c);
        ASSERT_EQ(w.size(), 1u);
        c.slot = w[0].slot;
        c.token = w[0].token;
        from(c, ClientInfo{c.slot, c.token, password.empty() ? 0 : password_proof(password, c.token), c.nonce,
                           c.description});
        auto t = take<TrackInfo>(c);
        if (!t.empty()) c.race_id = t.back().race_id;
    }

    // Track acknowledgment, then bike acknowledgments until the race entry.
    std::uint32_t enter(FakeClient& c)
    {
        from(c, TrackAck{c.slot, c.token, c.race_id});
        std::uint32_t last = k_no_slot;
        for (int i = 0; i < 10; ++i) {
            for (const RiderDescription& d : take<RiderDescription>(c))
                if (last == k_no_slot || d.slot > last) last = d.slot;
            for (const RaceEntry& e : take<RaceEntry>(c))
                if (e.race_id == c.race_id) return e.entry;  // not one left over from an earlier race
            advance(0.6);
            from(c, BikeAck{c.slot, c.token, c.race_id, last});
        }
        ADD_FAILURE() << "no race entry for slot " << c.slot;
        return k_no_slot;
    }

    void send_message(FakeClient& c, std::uint8_t type, std::vector<std::uint8_t> payload)
    {
        from(c, ClientMessage{c.slot, c.token, c.next_seq++, type, std::move(payload)});
    }

    Server s;
    std::vector<Sent> sent;
    std::vector<std::string> log;
    double now = 1000;
};

}  // namespace zv::server::test
