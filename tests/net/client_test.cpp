// The client state machine fed scripted server datagrams: the road from the
// connect request to racing, the failures that end it, the reliable layer's
// order and duplicates, states datagrams, restarts, redirects and server
// commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "net/client.h"
#include "replay/history.h"
#include "replay/visibility.h"
#include "sim/world.h"

namespace zv::net {
namespace {

constexpr std::uint32_t k_slot = 7;
constexpr std::uint32_t k_token = 0xA1B2C3D4;
constexpr std::uint32_t k_race = 42;

core::Digest track_hash()
{
    core::Digest h{};
    for (std::size_t i = 0; i < h.size(); ++i)
        h[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return h;
}

template <class T>
std::vector<std::uint8_t> wire(const T& d)
{
    Datagram out;
    EXPECT_TRUE(encode(d, out));
    return {out.bytes.begin(), out.bytes.begin() + static_cast<std::ptrdiff_t>(out.size)};
}

std::vector<std::uint8_t> text_message(std::uint32_t seq, std::uint8_t type, const std::string& text)
{
    return wire(ServerMessage{seq, type, text_payload(text)});
}

StateEntry entry(std::uint16_t slot, std::int32_t tick, std::uint8_t marker)
{
    StateEntry e;
    e.slot = slot;
    e.ping = 9;
    e.tick = tick;
    e.record.bytes[0] = marker;
    return e;
}

class ClientFlow : public ::testing::Test {
public:
    Client c;
    LocalView view;
    std::vector<std::string> shown;
    std::vector<std::string> texts;
    std::vector<std::tuple<int, int, int>> gate_times;
    std::vector<std::int32_t> clock_sets;
    int races_started = 0;
    int standings_updates = 0;
    int resets = 0;
    bool track_here = true;
    core::Digest loaded_hash = track_hash();
    std::string redirected;

    void SetUp() override
    {
        replay::clear_history();
        replay::clear_network_bookkeeping();
        replay::reset_off_course_parameters();
        c.host.show = [this](const std::string& t) { shown.push_back(t); };
        c.host.track_installed = [this](const std::string&) { return track_here; };
        c.host.start_race = [this](const RaceParameters&, std::uint32_t) -> std::optional<core::Digest> {
            ++races_started;
            return loaded_hash;
        };
        c.host.set_race_clock = [this](std::int32_t t) { clock_sets.push_back(t); };
        c.host.server_text = [this](const std::string& t) { texts.push_back(t); };
        c.host.set_gate_time = [this](int s, int g, int t) { gate_times.emplace_back(s, g, t); };
        c.host.update_standings = [this] { ++standings_updates; };
        c.host.connection_reset = [this] { ++resets; };
        c.host.redirect = [this](const std::string& a) { redirected = a; };
        c.own_rider.bike = "450sxf";
        c.own_rider.number = "12";
        c.own_rider.name = "Tester";
        view.now = 100.0;
        begin_connection(c, view.now);
    }
    void TearDown() override
    {
        replay::clear_history();
        replay::clear_network_bookkeeping();
        replay::reset_off_course_parameters();
        sim::set_knockout_penalties({});
    }

    void receive(const std::vector<std::uint8_t>& bytes) { client_receive(c, bytes, view); }
    void update(double dt = 1.0 / 128)
    {
        view.now += dt;
        ++view.race_clock;
        client_update(c, view);
    }
    // The types of the datagrams sent since the last call.
    std::vector<int> sent()
    {
        std::vector<int> types;
        for (const auto& d : c.outbox)
            types.push_back(d.empty() ? -1 : d[0]);
        c.outbox.clear();
        return types;
    }
    bool was_shown(const std::string& t) const { return std::find(shown.begin(), shown.end(), t) != shown.end(); }

    TrackInfo track_info(std::uint32_t race = k_race)
    {
        TrackInfo t;
        t.race_id = race;
        t.race_length = 0;
        t.laps = 3;
        t.race_start_tick = 1800;
        t.track_hash = track_hash();
        t.track_name = "rabbithill";
        return t;
    }
    void join()
    {
        receive(wire(Welcome{k_slot, k_token, k_server_protocol}));
        receive(wire(track_info()));
        receive(wire(RiderDescription{k_race, 3, "250f|a|b|c|d\n003\nThree"}));
        receive(wire(RaceEntry{k_race, 5, "450sxf|||\n12\nTester"}));
    }
    void race()
    {
        join();
        receive(wire(Clock{k_race, 500, 0}));
        ASSERT_EQ(c.state, ConnectionState::racing);
        sent();
    }
};

TEST_F(ClientFlow, WalksFromConnectRequestToRacingRepeatingEachStatesDatagram)
{
    EXPECT_EQ(sent(), std::vector<int>{k_connect_request});
    EXPECT_TRUE(was_shown("Contacting server\n"));
    update(0.5);
    EXPECT_TRUE(sent().empty()) << "repeats only after a second";
    update(0.6);
    EXPECT_EQ(sent(), std::vector<int>{k_connect_request});

    receive(wire(Welcome{k_slot, k_token, k_server_protocol}));
    EXPECT_EQ(c.state, ConnectionState::sending_info);
    update();
    EXPECT_EQ(sent(), std::vector<int>{k_client_info}) << "a new state sends at once";
    EXPECT_TRUE(was_shown("Sending client info\n"));

    receive(wire(track_info()));
    EXPECT_EQ(c.state, ConnectionState::track_accepted);
    update();
    EXPECT_EQ(sent(), std::vector<int>{k_track_ack});

    // Descriptions for slots 3 then 2: 2 is not above 3 and is ignored.
    receive(wire(RiderDescription{k_race, 3, "250f|a|b|c|d\n003x\nThree"}));
    receive(wire(RiderDescription{k_race, 2, "125|a|b|c|d\n002\nTwo"}));
    EXPECT_EQ(c.state, ConnectionState::loading_bikes);
    EXPECT_EQ(c.last_description, 3u);
    EXPECT_EQ(std::tuple(c.slots[3].rider.bike, c.slots[3].rider.number), std::tuple("250f", "003"));
    EXPECT_EQ(c.slots[2].status, SlotStatus::none);
    update();
    EXPECT_EQ(sent(), std::vector<int>{k_bike_ack});
    EXPECT_TRUE(was_shown("Sending bike acknowledgment 3\n"));

    receive(wire(RaceEntry{k_race, 5, "450sxf|||\n12\nTester"}));
    EXPECT_EQ(races_started, 1);
    EXPECT_EQ(c.state, ConnectionState::joined);
    EXPECT_EQ(c.slots[k_slot].status, SlotStatus::in_race);
    update();
    EXPECT_EQ(sent(), std::vector<int>{k_ready});

    receive(wire(Clock{k_race, 900, 0}));
    EXPECT_EQ(c.state, ConnectionState::racing);
    EXPECT_TRUE(was_shown("3 laps"));
    EXPECT_EQ(clock_sets, std::vector<std::int32_t>{900});

    // Racing: a state datagram on every fourth tick of the race clock.
    view.state = replay::StateRecord{};
    view.race_clock = 899;
    int states = 0;
    for (int i = 0; i < 16; ++i) {
        update();
        for (int t : sent())
            states += t == k_state_update;
    }
    EXPECT_EQ(states, 4);
}

TEST_F(ClientFlow, FailuresShowTheirTextAndLeave)
{
    struct Case {
        const char* name;
        std::function<void(ClientFlow&)> script;
        const char* message;
    };
    const Case cases[] = {
        {"protocol 5",
         [](ClientFlow& f) { f.receive(wire(Welcome{k_slot, k_token, 5})); },
         "Server version does not match client version"},
        {"unknown track",
         [](ClientFlow& f) {
             f.track_here = false;
             f.receive(wire(Welcome{k_slot, k_token, k_server_protocol}));
             f.receive(wire(f.track_info()));
         },
         "Can't find track 'rabbithill'"},
        {"modified track",
         [](ClientFlow& f) {
             f.loaded_hash[0] ^= 1;
             f.join();
         },
         "Client track modified - does not match server's track (rabbithill)"},
        {"server error",
         [](ClientFlow& f) { f.receive(wire(ErrorText{"Wrong password"})); },
         "Wrong password"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        TearDown();
        shown.clear();
        track_here = true;
        loaded_hash = track_hash();
        c = Client{};
        SetUp();
        k.script(*this);
        EXPECT_TRUE(was_shown(k.message));
        EXPECT_EQ(c.state, ConnectionState::disconnecting);
        sent();
        update();
        EXPECT_EQ(sent(), std::vector<int>{k_disconnect});
        // The server answers the leave.
        receive(wire(Disconnected{}));
        EXPECT_FALSE(c.active);
        EXPECT_EQ(c.slot, k_no_slot);
    }
}

TEST_F(ClientFlow, ServerFullKeepsTryingAndAVanishedServerLetsGo)
{
    receive(wire(ServerFull{}));
    EXPECT_TRUE(was_shown("Server is full"));
    EXPECT_TRUE(c.active);
    EXPECT_EQ(c.state, ConnectionState::connecting);

    receive(wire(Welcome{k_slot, k_token, k_server_protocol}));
    disconnect_from_server(c, view);
    EXPECT_EQ(c.state, ConnectionState::disconnecting);
    // No answer ever comes: the leave gives up and the game is off-line.
    for (int i = 0; i < 6 && c.active; ++i)
        update(1.0);
    EXPECT_FALSE(c.active);
    EXPECT_EQ(resets, 1);
}

TEST_F(ClientFlow, ServerMessagesAreAcknowledgedAtOnceAndHandledInOrderOnce)
{
    race();
    receive(text_message(2, k_msg_text, "two"));
    EXPECT_EQ(sent(), std::vector<int>{k_client_ack});
    EXPECT_TRUE(texts.empty()) << "2 waits for 0 and 1";
    receive(text_message(0, k_msg_text, "zero"));
    receive(text_message(0, k_msg_text, "zero again"));
    receive(text_message(1, k_msg_text, "one"));
    EXPECT_EQ(sent(), (std::vector<int>{k_client_ack, k_client_ack, k_client_ack}));
    EXPECT_EQ(texts, (std::vector<std::string>{"zero", "one", "two"}));
    receive(text_message(1, k_msg_text, "one"));
    EXPECT_EQ(sent(), std::vector<int>{k_client_ack}) << "a duplicate is acknowledged again";
    EXPECT_EQ(texts.size(), 3u);
}

TEST_F(ClientFlow, OneClientMessageInFlightResentEveryHalfSecond)
{
    race();
    send_chat(c, "hello");
    send_chat(c, "again");
    for (auto [dt, count] : {std::pair{0.01, 1}, std::pair{0.3, 0}, std::pair{0.3, 1}}) {
        update(dt);
        std::vector<int> out = sent();
        EXPECT_EQ(std::count(out.begin(), out.end(), k_client_message), count) << "resent after 0.5 s only";
    }
    receive(wire(ServerAck{1}));
    EXPECT_EQ(c.outgoing.nodes.size(), 2u) << "an acknowledgment of another number is ignored";
    receive(wire(ServerAck{0}));
    ASSERT_EQ(c.outgoing.nodes.size(), 1u);
    EXPECT_EQ(c.outgoing.nodes.front().message.sequence, 1u);
}

TEST_F(ClientFlow, StatesDatagramsFeedTheHistoryOfRidersInTheRace)
{
    join();
    States s;
    s.race_id = k_race;
    s.server_tick = 600;
    s.echo = 0;
    s.count = 5;
    s.entries[0] = entry(3, 100, 1);
    s.entries[1] = entry(3, 100, 2);   // the same tick again: ignored
    s.entries[2] = entry(9, 100, 3);   // no rider there
    s.entries[3] = entry(k_slot, 100, 4);  // this client's own slot
    s.entries[4] = entry(k_slot_count, 100, 5);  // one past the last slot
    receive(wire(s));
    const replay::SlotHistory* h = replay::slot_history(3);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->ring[static_cast<std::size_t>(h->head)].tick, 100);
    EXPECT_EQ(h->ring[static_cast<std::size_t>(h->head)].record.bytes[0], 1);
    EXPECT_EQ(replay::slot_network(3)->ping_ticks, 9);
    EXPECT_FALSE(replay::slot_network(9)->received);
    EXPECT_FALSE(replay::slot_network(k_slot)->received);
    EXPECT_EQ(c.state, ConnectionState::racing) << "its clock starts the race as a clock datagram does";
    EXPECT_EQ(clock_sets, std::vector<std::int32_t>{600});
    EXPECT_EQ(c.newest_server_tick, 600u);

    // An older record is ignored too.
    s.count = 1;
    s.server_tick = 590;
    s.entries[0] = entry(3, 96, 5);
    receive(wire(s));
    EXPECT_EQ(h->ring[static_cast<std::size_t>(h->head)].tick, 100);
    EXPECT_EQ(c.newest_server_tick, 600u) << "the newest server tick only grows";

    // A count that promises more records than arrived: the complete ones are
    // used, the clock is left alone.
    s.count = 2;
    s.server_tick = 700;
    s.echo = 480;
    s.entries[0] = entry(3, 104, 6);
    s.entries[1] = entry(3, 108, 7);
    std::vector<std::uint8_t> bytes = wire(s);
    bytes.resize(bytes.size() - 10);
    view.race_clock = 500;
    receive(bytes);
    EXPECT_TRUE(was_shown("State packet too small"));
    EXPECT_EQ(h->ring[static_cast<std::size_t>(h->head)].tick, 104);
    EXPECT_EQ(c.newest_server_tick, 600u);
    EXPECT_EQ(c.ping_ticks, 0);

    // The echo of a race clock value gives this client's ping.
    s.count = 0;
    receive(wire(s));
    EXPECT_EQ(c.ping_ticks, 20);
    EXPECT_EQ(c.newest_server_tick, 700u);
}

TEST_F(ClientFlow, RaceIdAndSlotFiltersGuardTheRace)
{
    // Before the welcome the race's datagrams mean nothing.
    receive(wire(track_info()));
    EXPECT_EQ(c.state, ConnectionState::connecting);
    race();
    // A restart whose race id is not greater is ignored.
    receive(wire(Restart{k_race}));
    EXPECT_EQ(c.state, ConnectionState::racing);
    receive(wire(Clock{k_race + 1, 5000, 0}));
    EXPECT_EQ(c.newest_server_tick, 500u) << "a clock of another race";
    receive(wire(Restart{k_race + 1}));
    EXPECT_EQ(c.state, ConnectionState::restarting);
    update();
    EXPECT_EQ(sent(), std::vector<int>{k_restart_ack});
    EXPECT_TRUE(was_shown("Sending restart\n"));
    receive(wire(track_info(k_race)));
    EXPECT_EQ(c.state, ConnectionState::restarting) << "the old race's track";
    receive(wire(track_info(k_race + 1)));
    EXPECT_EQ(c.state, ConnectionState::track_accepted);
    EXPECT_EQ(c.last_description, k_no_slot);
    EXPECT_EQ(c.entry, k_no_slot);
    // Entered without a place: the race runs here but no states go out.
    receive(wire(RaceEntry{k_race + 1, k_no_slot, "450sxf|||\n12\nTester"}));
    receive(wire(Clock{k_race + 1, 900, 0}));
    ASSERT_EQ(c.state, ConnectionState::racing);
    view.state = replay::StateRecord{};
    sent();
    for (int i = 0; i < 8; ++i)
        update();
    EXPECT_TRUE(sent().empty());
}

TEST_F(ClientFlow, GateTimesOfOtherRidersReachTheStandings)
{
    race();
    GateTimes g;
    g.race_id = k_race;
    g.records = {{3, 0, 2000}, {k_slot, 0, 2001}, {9, 1, 2002}, {200, 0, 1}, {3, 1, 2100}};
    receive(wire(ServerMessage{0, k_msg_gates, encode_payload(g)}));
    EXPECT_EQ(gate_times, (std::vector<std::tuple<int, int, int>>{{3, 0, 2000}, {3, 1, 2100}}));
    EXPECT_EQ(standings_updates, 1);
    g.race_id = k_race + 1;
    receive(wire(ServerMessage{1, k_msg_gates, encode_payload(g)}));
    EXPECT_EQ(standings_updates, 1) << "another race's times";

    // The local rider's own passages go to the server once each.
    view.gates_passed = 2;
    view.last_gate_tick = 2222;
    update();
    update();
    ASSERT_EQ(c.outgoing.nodes.size(), 1u);
    GateReport r;
    ASSERT_TRUE(decode_payload(c.outgoing.nodes.front().message.payload, r));
    EXPECT_EQ(r.gate, 1);
    EXPECT_EQ(r.tick, 2222);
    EXPECT_EQ(r.race_id, k_race);
}

TEST_F(ClientFlow, ServerCommandsChangeWhatTheyName)
{
    race();
    bool arcade_was_on = true;
    int arcade_calls = 0, ready = 0, denied = 0;
    c.host.disable_arcade = [&] { ++arcade_calls; return arcade_was_on; };
    c.host.transfer_ready = [&] { ++ready; };
    c.host.transfer_denied = [&] { ++denied; };
    std::uint32_t seq = 0;
    auto command = [&](const std::string& t) { receive(text_message(seq++, k_msg_command, t)); };
    command("knockout 10 20");
    EXPECT_EQ(sim::knockout_penalty(0), 10);
    EXPECT_EQ(sim::knockout_penalty(1), 20);
    EXPECT_EQ(sim::knockout_penalty(15), 20);
    command("off_course_bias 4.5");
    command("off_course_scale 2");
    EXPECT_DOUBLE_EQ(replay::off_course_bias(), 4.5);
    EXPECT_DOUBLE_EQ(replay::off_course_scale(), 2.0);
    command("no_arcade now");
    EXPECT_EQ(arcade_calls, 0) << "no_arcade must be the whole text";
    command("no_arcade");
    EXPECT_EQ(arcade_calls, 1);
    EXPECT_TRUE(c.arcade_disabled);
    EXPECT_TRUE(was_shown("Arcade physics disabled"));
    command("sendready");
    command("senddenied");
    EXPECT_EQ(ready, 1);
    EXPECT_EQ(denied, 1);
    EXPECT_TRUE(was_shown("Send file denied"));

    // Leaving brings the visibility parameters back.
    sent();
    leave_server_now(c);
    EXPECT_EQ(sent(), std::vector<int>{k_disconnect});
    EXPECT_FALSE(c.active);
    EXPECT_FALSE(c.arcade_disabled);
    EXPECT_DOUBLE_EQ(replay::off_course_bias(), 10.0);
    EXPECT_DOUBLE_EQ(replay::off_course_scale(), 1.5);
}

TEST_F(ClientFlow, RedirectCarryingOurNonceMovesTheConnection)
{
    receive(wire(Redirect{c.nonce + 1, "elsewhere:19801"}));
    EXPECT_TRUE(redirected.empty());
    receive(wire(Redirect{c.nonce, "elsewhere:19801"}));
    EXPECT_EQ(redirected, "elsewhere:19801");
    EXPECT_FALSE(c.active);
}

TEST_F(ClientFlow, RestartRequestOnlyWhileRacing)
{
    sent();
    request_restart(c);
    EXPECT_TRUE(sent().empty()) << "not racing yet";
    EXPECT_FALSE(was_shown("Requesting restart"));
    race();
    request_restart(c);
    EXPECT_EQ(sent(), std::vector<int>{k_restart_request});
    EXPECT_TRUE(was_shown("Requesting restart"));
}

TEST_F(ClientFlow, HostileBytesInEveryStateChangeNothingHarmful)
{
    // Random datagrams of every type byte and length, and every valid
    // datagram cut short, in each state the road passes.
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<std::uint8_t>(seed >> 16);
    };
    std::vector<std::vector<std::uint8_t>> valid = {
        wire(Welcome{k_slot, k_token, k_server_protocol}), wire(track_info()),
        wire(RiderDescription{k_race, 3, "x"}), wire(RaceEntry{k_race, 5, "y"}), wire(Clock{k_race, 5, 1}),
        text_message(0, k_msg_command, "knockout 1 2"), wire(Restart{k_race + 1}),
    };
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 2000; ++i) {
            std::vector<std::uint8_t> bytes(next() % 64 + (i % 7 == 0 ? 900 : 0));
            for (std::uint8_t& b : bytes)
                b = next();
            if (!bytes.empty())
                bytes[0] = static_cast<std::uint8_t>(i % 27);
            receive(bytes);
        }
        for (const auto& v : valid)
            for (std::size_t cut = 0; cut < v.size(); ++cut)
                receive(std::vector<std::uint8_t>(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(cut)));
        update();
        if (!c.active)
            begin_connection(c, view.now);
        receive(valid[static_cast<std::size_t>(round)]);
    }
    EXPECT_LE(c.incoming.waiting.size(), k_max_waiting_messages);
    EXPECT_LE(c.last_description == k_no_slot ? 0u : c.last_description, 159u);
}

TEST(ClientText, RaceLengthForms)
{
    for (auto [ticks, laps, text] : {std::tuple{0, 5, "5 laps"}, {-3, 2, "2 laps"}, {10 * 60 * 128, 0, "10 minutes"},
                                     {10 * 60 * 128 - 3000, 2, "10 minutes + 2 laps"}})
        EXPECT_EQ(race_length_text(ticks, laps), text) << ticks << " " << laps;
}

}  // namespace
}  // namespace zv::net
