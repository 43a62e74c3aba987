// The race server on a real UDP socket: two scripted clients on loopback go
// from the connect request through the track, their race entries, each
// other's states and gate times to the results of the race.
#include "server_harness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "server/socket.h"

namespace zv::server::test {
namespace {

// A scripted client with its own socket; every reliable message it gets is
// acknowledged and kept.
class WireClient {
public:
    WireClient(std::uint16_t server_port, std::string description) : description_(std::move(description))
    {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        server_.sin_family = AF_INET;
        server_.sin_port = htons(server_port);
        server_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~WireClient() { ::close(fd_); }

    template <class T>
    void send(const T& d)
    {
        Datagram g;
        ASSERT_TRUE(encode(d, g));
        send_raw(g.view());
    }
    void send_raw(Bytes b)
    {
        ASSERT_EQ(::sendto(fd_, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&server_), sizeof server_),
                  static_cast<ssize_t>(b.size()));
    }

    // The next datagram of type T within a few seconds.
    template <class T>
    std::optional<T> wait_for(double seconds = 5)
    {
        double end = steady_seconds() + seconds;
        while (steady_seconds() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            std::uint8_t buffer[k_max_datagram_size];
            ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) continue;
            auto d = decode_server_datagram(Bytes(buffer, static_cast<std::size_t>(n)));
            if (!d) {
                ADD_FAILURE() << "undecodable datagram of " << n << " bytes";
                continue;
            }
            if (auto* m = std::get_if<ServerMessage>(&*d)) {
                send(ClientAck{slot, token, m->sequence});
                if (m->sequence == next_message_) {
                    ++next_message_;
                    messages.push_back(*m);
                }
            }
            if (auto* t = std::get_if<T>(&*d)) return *t;
        }
        return std::nullopt;
    }

    // Waits until the text message has arrived.
    bool wait_for_text(const std::string& text, double seconds = 5)
    {
        double end = steady_seconds() + seconds;
        while (steady_seconds() < end) {
            for (const ServerMessage& m : messages)
                if (m.type == k_msg_text && payload_text(m.payload) == text) return true;
            wait_for<Notice>(0.05);  // nothing sends notices: this only reads
        }
        return false;
    }

    void message(std::uint8_t type, std::vector<std::uint8_t> payload)
    {
        send(ClientMessage{slot, token, next_out_++, type, std::move(payload)});
    }

    std::string description_;
    std::uint32_t slot = k_no_slot, token = 0, race_id = 0;
    std::int32_t server_tick = 0;
    std::vector<ServerMessage> messages;

private:
    int fd_ = -1;
    sockaddr_in server_{};
    std::uint32_t next_message_ = 0;
    std::uint32_t next_out_ = 0;
};

class LoopbackTest : public zv::test::DataFolderTest {};

TEST_F(LoopbackTest, TwoClientsRaceThroughARealSocket)
{
    install_small_timing();
    UdpSocket socket;
    std::string error;
    ASSERT_TRUE(socket.open(0, error)) << error;
    ASSERT_NE(socket.port(), 0);
    {
        // An empty datagram reads as one byte of a type nobody uses, not as silence.
        WireClient(socket.port(), "").send_raw({});
        std::uint8_t byte[2] = {};
        Address from;
        std::size_t n = 0;
        for (int i = 0; i < 1000 && n == 0; ++i) n = socket.receive(byte, sizeof byte, from, error);
        EXPECT_EQ(n, 1u);
        EXPECT_EQ(byte[0], 255);
    }

    Settings settings = small_settings();
    settings.warmup_seconds = 1;
    Server server;
    std::vector<std::string> log;
    start_server(server, settings, nullptr, [&](const std::string& l) { log.push_back(l); }, 3, steady_seconds());
    std::atomic<bool> stop{false};
    std::thread loop([&] { run_server(server, socket, stop); });

    // Ann's description fills her client information to the last of its
    // 1023 bytes; the socket must take it whole.
    std::string ann = "b|r|b|w|\n1\nAnn";
    ann.insert(8, std::string(k_max_description_text - ann.size(), 'h'));
    WireClient a(socket.port(), ann), b(socket.port(), "b|r|b|w|h\n2\nBob");
    // connect -> welcome -> client information -> track information
    std::uint32_t nonce = 11;
    for (WireClient* c : {&a, &b}) {
        c->send(ConnectRequest{false, k_client_protocol, ++nonce});
        auto w = c->wait_for<Welcome>();
        ASSERT_TRUE(w.has_value());
        c->slot = w->slot;
        c->token = w->token;
        c->send(ClientInfo{c->slot, c->token, 0, nonce, c->description_});
        auto t = c->wait_for<TrackInfo>();
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(t->track_name, "rabbithill");
        EXPECT_EQ(t->track_hash, settings.track_hash);
        c->race_id = t->race_id;
    }
    EXPECT_NE(a.slot, b.slot);
    // track acknowledgment -> the other's description -> race entry
    for (WireClient* c : {&a, &b}) c->send(TrackAck{c->slot, c->token, c->race_id});
    for (WireClient* c : {&a, &b}) {
        WireClient* other = c == &a ? &b : &a;
        auto d = c->wait_for<RiderDescription>();
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ(d->slot, other->slot);
        EXPECT_EQ(d->description, other->description_);
        c->send(BikeAck{c->slot, c->token, c->race_id, d->slot});
        auto e = c->wait_for<RaceEntry>();
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->entry, c->slot);
        c->send(Ready{c->slot, c->token, c->race_id});
        auto clock = c->wait_for<Clock>();
        ASSERT_TRUE(clock.has_value());
        c->server_tick = clock->server_tick;
    }
    // Ann's state reaches Bob.
    replay::StateRecord r;
    r.bytes.fill(0x5A);
    a.send(StateUpdate{a.slot, a.token, a.race_id, a.server_tick, a.server_tick + 4, r});
    std::optional<States> seen;
    for (int i = 0; i < 64 && !seen; ++i) {
        auto st = b.wait_for<States>();
        ASSERT_TRUE(st.has_value());
        for (std::size_t k = 0; k < st->count; ++k)
            if (st->entries[k].slot == a.slot) seen = st;
        b.server_tick = st->server_tick;
    }
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->entries[0].record, r);
    EXPECT_EQ(seen->entries[0].tick, a.server_tick + 4);

    // Gate times just after the gate drops at tick 128: Ann laps first, then
    // Bob; both hear of the other.
    std::int32_t t0 = 128;
    a.message(k_msg_gates, encode_payload(GateReport{a.race_id, 0, t0 + 1}));
    a.message(k_msg_gates, encode_payload(GateReport{a.race_id, 1, t0 + 2}));
    b.message(k_msg_gates, encode_payload(GateReport{b.race_id, 0, t0 + 3}));
    b.message(k_msg_gates, encode_payload(GateReport{b.race_id, 1, t0 + 5}));
    // One message in flight at a time: resend each until acknowledged.
    for (WireClient* c : {&a, &b}) {
        for (std::uint32_t seq = 0; seq < 2; ++seq) {
            auto ack = c->wait_for<ServerAck>();
            ASSERT_TRUE(ack.has_value());
        }
    }
    EXPECT_TRUE(a.wait_for_text("Race 1 results:"));
    // 2 and 5 ticks after the start: 0.015 and 0.039 s.
    EXPECT_TRUE(b.wait_for_text("1. Ann - 1 laps in 0:00.01"));
    EXPECT_TRUE(b.wait_for_text("2. Bob - 1 laps in 0:00.03"));
    std::vector<GateTime> to_b;
    for (const ServerMessage& m : b.messages) {
        GateTimes g;
        if (m.type == k_msg_gates && decode_payload(m.payload, g)) to_b.insert(to_b.end(), g.records.begin(), g.records.end());
    }
    ASSERT_EQ(to_b.size(), 2u);
    EXPECT_EQ(to_b[0].slot, a.slot);
    EXPECT_EQ(to_b[1].tick, t0 + 2);

    stop = true;
    loop.join();
    // Both were told the server went away.
    EXPECT_TRUE(a.wait_for<ErrorText>(1).has_value());
    bool logged_result = false;
    for (const std::string& l : log) logged_result |= l == "Race 1 results:";
    EXPECT_TRUE(logged_result);
}

}  // namespace
}  // namespace zv::server::test
