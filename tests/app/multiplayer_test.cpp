// The game around the race-server client: a file offered with "sendfile" goes
// out in quarter-second parts once the server is ready, chat reaches the
// client's queue, the rider list shows the described slots, and the race
// tick waits for the server's clock.
#include <gtest/gtest.h>

#include "app/multiplayer.h"
#include "console_fixture.h"
#include "net/datagrams.h"
#include "replay/history.h"

namespace zv::app {
namespace {

class Multiplayer : public ConsoleTest {
protected:
    net::Client& client = multiplayer().client;

    Multiplayer()
    {
        install_multiplayer(g);
        net::begin_connection(client, 10.0);
        client.outbox.clear();
        core::clear_messages();
        g.connected = true;
    }
    ~Multiplayer() override
    {
        net::reset_client(client);
        client.outbox.clear();
        g.connected = false;
    }
    void write_home(const std::string& rel, std::string_view text)
    {
        test::write_file(std::string(dir_ / "xdg/Zarvox/") + rel, text);
    }
    // The payloads queued for the server, as text, oldest first.
    std::vector<std::string> queued()
    {
        std::vector<std::string> out;
        for (const auto& n : client.outgoing.nodes)
            out.emplace_back(n.message.payload.begin(), n.message.payload.end());
        return out;
    }
};

TEST_F(Multiplayer, FileGoesOutInPartsAfterTheServerIsReady)
{
    std::string data(600, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>('a' + i % 26);
    write_home("outgoing/ride.zvdemo", data);
    EXPECT_EQ(run("/sendfile ride.zvdemo"), 1);
    EXPECT_EQ(queued(), std::vector<std::string>{"sendfile"});

    send_file_parts(g, 11.0);
    EXPECT_EQ(queued().size(), 1u) << "nothing before the server is ready";
    client.host.transfer_ready();
    for (double t : {11.0, 11.1, 11.25, 11.4, 11.5, 11.75, 12.0})
        send_file_parts(g, t);
    EXPECT_EQ(queued(), (std::vector<std::string>{"sendfile", "sendpart -" + data.substr(0, 256),
                                                  "sendpart -" + data.substr(256, 256),
                                                  "sendpart -" + data.substr(512, 88), "namefile ride.zvdemo"}));
    for (const auto& n : client.outgoing.nodes)
        EXPECT_EQ(n.message.type, net::k_msg_command);
    EXPECT_FALSE(outgoing_transfer().file);
}

TEST_F(Multiplayer, DeniedOfferDropsTheFile)
{
    write_home("outgoing/a.txt", "abc");
    run("/sendfile a.txt");
    ASSERT_TRUE(outgoing_transfer().file);
    client.host.transfer_denied();
    EXPECT_FALSE(outgoing_transfer().file);
    send_file_parts(g, 20);
    EXPECT_EQ(queued(), std::vector<std::string>{"sendfile"});
}

TEST_F(Multiplayer, ChatGoesToTheServerAndTheSpamRuleHolds)
{
    g.game_clock = 100;
    EXPECT_EQ(run("hello all"), 1);
    g.game_clock = 101.5;
    EXPECT_EQ(run("again"), 0);
    EXPECT_EQ(messages(), std::vector<std::string>{"No one likes a spammer"});
    g.game_clock = 102.01;
    EXPECT_EQ(run(std::string(500, 'x')), 1);
    EXPECT_EQ(queued(), (std::vector<std::string>{"hello all", std::string(466, 'x')}));
    for (const auto& n : client.outgoing.nodes)
        EXPECT_EQ(n.message.type, net::k_msg_text);
}

TEST_F(Multiplayer, RiderListAndTheServerClock)
{
    client.slot = 4;
    client.slots[4].status = net::SlotStatus::in_race;
    client.slots[4].rider.number = "12";
    client.slots[4].rider.bike = "450sxf";
    client.slots[4].rider.name = "Me";
    client.slots[9].status = net::SlotStatus::described;
    client.slots[9].rider.number = "3";
    client.slots[9].rider.bike = "250f";
    client.slots[9].rider.name = "Other";
    client.ping_ticks = 16;
    replay::clear_network_bookkeeping();
    replay::set_ping(9, 64);
    const auto rows = multiplayer_rider_rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"12", "4", "125", "450sxf", "Me"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"3", "9", "500", "250f", "Other"}));
    replay::clear_network_bookkeeping();

    EXPECT_FALSE(race_tick_allowed(g)) << "connected, the race waits for the server's clock";
    client.server_tick_known = true;
    client.newest_server_tick = 1;
    EXPECT_TRUE(race_tick_allowed(g));
    g.connected = false;
    client.server_tick_known = false;
    EXPECT_TRUE(race_tick_allowed(g)) << "off-line the race always runs";
}

// The player watches a server's race only once joined and without a place in
// it; every other step of the connection is no watching.
TEST_F(Multiplayer, SpectatingIsJoinedOrRacingWithoutAPlace)
{
    using S = net::ConnectionState;
    client.slot = 4;
    client.entry = net::k_no_slot;
    for (S state : {S::connecting, S::sending_info, S::track_accepted, S::loading_bikes, S::joined, S::racing,
                    S::restarting, S::disconnecting}) {
        client.state = state;
        EXPECT_EQ(multiplayer_spectating(), state == S::joined || state == S::racing) << net::state_name(state);
    }
    client.entry = 4;
    EXPECT_FALSE(multiplayer_spectating()) << "racing with a place";
    client.state = S::joined;
    EXPECT_FALSE(multiplayer_spectating()) << "joined with a place";
}

}  // namespace
}  // namespace zv::app
