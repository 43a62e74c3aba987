// The game's race-server client against our own server on loopback: two
// clients with real sockets join (the second brings the field back together),
// race with each other's states arriving,
// chat reaches the other side, and a wrong password is turned away with the
// server's text.
#include "server_harness.h"

#include <atomic>
#include <thread>

#include "net/connection.h"
#include "replay/history.h"
#include "server/socket.h"

namespace zv::server::test {
namespace {

// One game's client: its own connection, a race clock that runs at 128 ticks
// a second once the server sets it, and what the hooks heard.
struct GameClient {
    net::Connection n;
    std::int32_t clock = 0;
    bool clock_set = false;
    double last = 0;
    int races = 0;
    std::vector<std::string> shown;
    std::vector<std::string> texts;

    GameClient(const Settings& settings, const std::string& name, const std::string& password = "")
    {
        net::ClientHost& h = n.client.host;
        h.show = [this](const std::string& t) { shown.push_back(t); };
        h.track_installed = [](const std::string& folder) { return folder == "rabbithill"; };
        h.start_race = [this, hash = settings.track_hash](const net::RaceParameters&, std::uint32_t) {
            ++races;
            return std::optional<core::Digest>(hash);
        };
        h.set_race_clock = [this](std::int32_t t) {
            clock = t;
            clock_set = true;
        };
        h.server_text = [this](const std::string& t) { texts.push_back(t); };
        n.client.own_rider.bike = "250f";
        n.client.own_rider.number = "7";
        n.client.own_rider.name = name;
        n.client.password = password;
    }

    void step(double now)
    {
        if (clock_set)
            while (last + 1.0 / 128 <= now) {
                last += 1.0 / 128;
                ++clock;
            }
        else
            last = now;
        net::LocalView v;
        v.now = now;
        v.race_clock = clock;
        replay::StateRecord r;
        r.bytes[0] = static_cast<std::uint8_t>(clock);
        v.state = r;
        net::net_update(n, v);
    }
    bool racing() const { return n.client.active && n.client.state == net::ConnectionState::racing; }
    bool saw(const std::string& text) const
    {
        for (const std::string& s : shown)
            if (s.find(text) != std::string::npos)
                return true;
        return false;
    }
};

class ClientServerLoopback : public ::testing::Test {
protected:
    UdpSocket socket;
    Server server;
    std::atomic<bool> stop{false};
    std::thread loop;
    Settings settings = small_settings();

    void start()
    {
        install_small_timing();
        replay::clear_history();
        replay::clear_network_bookkeeping();
        std::string error;
        ASSERT_TRUE(socket.open(0, error)) << error;
        start_server(server, settings, nullptr, [](const std::string&) {}, 5, steady_seconds());
        loop = std::thread([this] { run_server(server, socket, stop); });
    }
    void TearDown() override
    {
        stop = true;
        if (loop.joinable())
            loop.join();
        replay::clear_history();
        replay::clear_network_bookkeeping();
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(socket.port()); }

    // Runs the clients until the condition holds or the time is up.
    template <class Done>
    bool run(std::initializer_list<GameClient*> clients, Done done, double seconds)
    {
        const double end = steady_seconds() + seconds;
        while (steady_seconds() < end) {
            for (GameClient* c : clients)
                c->step(steady_seconds());
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
};

TEST_F(ClientServerLoopback, TwoClientsJoinRaceAndChat)
{
    // Ann is on the track alone before Bob asks in: with the gate a warm-up
    // away, the field gathers again so that Bob races too rather than watch.
    // The long warm-up leaves a slow machine seconds to bring Bob in.
    settings.warmup_seconds = 10;
    start();
    GameClient a(settings, "Ann"), b(settings, "Bob");
    net::request_connection(a.n, address());
    ASSERT_TRUE(run({&a}, [&] { return a.racing(); }, 15));
    net::request_connection(b.n, address());
    const auto knows = [](const GameClient& x, const GameClient& y, const std::string& name) {
        const std::uint32_t slot = y.n.client.slot;
        return x.racing() && slot < x.n.client.slots.size() && slot != x.n.client.slot &&
               x.n.client.slots[slot].status != net::SlotStatus::none && x.n.client.slots[slot].rider.name == name;
    };
    const auto know_each_other = [&] { return knows(a, b, "Bob") && knows(b, a, "Ann"); };
    ASSERT_TRUE(run({&a, &b}, know_each_other, 15))
        << net::state_name(a.n.client.state) << " " << net::state_name(b.n.client.state);
    EXPECT_EQ(a.races, 2) << "Ann's first race, then the one gathered again with Bob";
    EXPECT_GE(b.races, 1);
    EXPECT_TRUE(a.saw("Contacting server"));
    EXPECT_TRUE(a.saw("1 laps"));
    const std::uint32_t sa = a.n.client.slot, sb = b.n.client.slot;

    // Each side's states reach the other's history.
    ASSERT_TRUE(run({&a, &b},
                    [&] {
                        return replay::slot_network(static_cast<int>(sa))->received &&
                               replay::slot_network(static_cast<int>(sb))->received;
                    },
                    5));
    EXPECT_GT(a.n.client.stats.sent, 3u);
    EXPECT_GT(b.n.client.stats.received, 3u);

    net::send_chat(a.n.client, "hello there");
    EXPECT_TRUE(run({&a, &b},
                    [&] {
                        for (const std::string& t : b.texts)
                            if (t.find("hello there") != std::string::npos)
                                return true;
                        return false;
                    },
                    5));

    // Leaving: the server answers and the client is off-line again.
    net::LocalView v;
    v.now = steady_seconds();
    net::disconnect_from_server(b.n, v);
    EXPECT_TRUE(run({&a, &b}, [&] { return !b.n.client.active; }, 5));
    EXPECT_TRUE(b.saw("Disconnected"));
    EXPECT_FALSE(b.n.socket.is_open());
}

TEST_F(ClientServerLoopback, WrongPasswordIsRefusedWithTheServersText)
{
    settings.password = "secret";
    start();
    GameClient a(settings, "Ann", "guess");
    net::request_connection(a.n, address());
    ASSERT_TRUE(run({&a}, [&] { return a.n.client.state == net::ConnectionState::disconnecting || !a.n.client.active; }, 10));
    EXPECT_FALSE(a.racing());
    EXPECT_EQ(a.races, 0);
    // The right password gets in.
    GameClient b(settings, "Bob", "secret");
    net::request_connection(b.n, address());
    EXPECT_TRUE(run({&b}, [&] { return b.n.client.state >= net::ConnectionState::track_accepted; }, 10));
}

TEST_F(ClientServerLoopback, NoServerListeningKeepsContacting)
{
    // A port that was free a moment ago and has nobody behind it now.
    std::uint16_t port = 0;
    {
        net::UdpSocket probe;
        ASSERT_TRUE(probe.open());
        ASSERT_TRUE(probe.bind_port(0));
        port = probe.local_port();
    }
    GameClient a(settings, "Ann");
    net::request_connection(a.n, "127.0.0.1:" + std::to_string(port));
    run({&a}, [] { return false; }, 1.2);
    EXPECT_TRUE(a.n.client.active);
    EXPECT_EQ(a.n.client.state, net::ConnectionState::connecting);
    EXPECT_EQ(a.n.client.stats.sent, 2u) << "the connect request, and again a second later";
    net::LocalView v;
    v.now = steady_seconds();
    net::disconnect_from_server(a.n, v);
    EXPECT_FALSE(a.n.client.active);
    EXPECT_FALSE(a.n.socket.is_open());
}

}  // namespace
}  // namespace zv::server::test
