// The race server as a state machine: the handshake, the field gathering,
// states and gate times relayed, the standings decided, restarts, reliable
// messages, file transfers, timeouts, and hostile datagrams ignored.
#include "server_harness.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <tuple>

namespace zv::server::test {
namespace {

replay::StateRecord record(std::uint8_t seed)
{
    replay::StateRecord r;
    r.bytes.fill(seed);
    return r;
}

TEST_F(ServerTest, ALoneRiderConnectsTakesTheTrackEntersAndHearsTheClock)
{
    start();
    FakeClient a = client(5001, "Ann");
    from(a, ConnectRequest{false, k_client_protocol, a.nonce});
    auto welcome = take<Welcome>(a);
    ASSERT_EQ(welcome.size(), 1u);
    EXPECT_EQ(welcome[0].slot, 0u);
    EXPECT_EQ(welcome[0].protocol, 6u);
    // A repeated request (our welcome was lost) gets the same slot and token.
    from(a, ConnectRequest{false, k_client_protocol, a.nonce});
    auto again = take<Welcome>(a);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0], welcome[0]);

    a.slot = 0;
    a.token = welcome[0].token;
    from(a, ClientInfo{a.slot, a.token, 0, a.nonce, a.description});
    auto info = take<TrackInfo>(a);
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0], (TrackInfo{1, 0, 1, 5 * 128, small_settings().track_hash, "rabbithill"}));
    a.race_id = 1;

    EXPECT_EQ(enter(a), 0u);
    EXPECT_TRUE(take<RiderDescription>(a).empty());  // nobody else to describe
    from(a, BikeAck{a.slot, a.token, a.race_id, k_no_slot});
    EXPECT_EQ(take<RaceEntry>(a).size(), 1u) << "the entry was lost: it goes again";
    sent.clear();
    advance(1.0);
    auto clocks = take<Clock>(a);
    EXPECT_NEAR(static_cast<double>(clocks.size()), 32.0, 1.0);
    for (std::size_t i = 1; i < clocks.size(); ++i) {
        EXPECT_EQ(clocks[i].server_tick - clocks[i - 1].server_tick, 4);
        EXPECT_EQ(clocks[i].race_id, 1u);
    }
    auto texts_seen = texts(a);
    EXPECT_NE(std::find(texts_seen.begin(), texts_seen.end(), "Welcome to the race server: rabbithill"), texts_seen.end());
}

TEST_F(ServerTest, TwoRidersGatherLearnOfEachOtherAndSeeEachOthersStates)
{
    start();
    FakeClient a = client(5001, "Ann"), b = client(5002, "Bob");
    connect(a);
    connect(b);
    from(a, TrackAck{a.slot, a.token, a.race_id});
    advance(0.5);
    EXPECT_TRUE(take<RiderDescription>(a).empty());  // the field waits for Bob
    from(b, TrackAck{b.slot, b.token, b.race_id});
    advance(0.01);
    auto da = take<RiderDescription>(a);
    auto db = take<RiderDescription>(b);
    EXPECT_EQ(da, std::vector<RiderDescription>{(RiderDescription{1, 1, b.description})});
    EXPECT_EQ(db, std::vector<RiderDescription>{(RiderDescription{1, 0, a.description})});
    // A repeated acknowledgment has them sent again, though not within half a second.
    for (double wait : {0.0, 0.5}) {
        advance(wait);
        from(a, TrackAck{a.slot, a.token, a.race_id});
        EXPECT_EQ(take<RiderDescription>(a).size(), wait > 0 ? 1u : 0u) << wait;
    }
    from(a, BikeAck{a.slot, a.token, a.race_id, 1});
    from(b, BikeAck{b.slot, b.token, b.race_id, 0});
    EXPECT_EQ(take<RaceEntry>(a), std::vector<RaceEntry>{(RaceEntry{1, 0, a.description})});
    ASSERT_EQ(take<RaceEntry>(b).size(), 1u);

    advance(0.1);
    sent.clear();
    from(a, StateUpdate{a.slot, a.token, a.race_id, 10, 20, record(0xAB)});
    from(a, StateUpdate{a.slot, a.token, a.race_id, 10, 16, record(0xCD)});  // older: dropped
    advance(1.0 / 32);
    auto sb = take<States>(b);
    ASSERT_EQ(sb.size(), 1u);
    ASSERT_EQ(sb[0].count, 1u);
    EXPECT_EQ(std::tuple(sb[0].entries[0].slot, sb[0].entries[0].tick, sb[0].entries[0].record),
              std::tuple(0, 20, record(0xAB)));
    EXPECT_EQ(sb[0].echo, 0);  // Bob sent no clock to echo
    auto sa = take<States>(a);
    ASSERT_EQ(sa.size(), 1u);
    EXPECT_EQ(sa[0].echo, 16);  // Ann's latest race clock, once
    // Nothing new arrived (a record of the same tick is no news): the next
    // round is a clock.
    from(a, StateUpdate{a.slot, a.token, a.race_id, 10, 20, record(0xEE)});
    advance(1.0 / 32);
    EXPECT_TRUE(take<States>(b).empty());
    EXPECT_FALSE(take<Clock>(b).empty());
    // A record up to two seconds ahead of the server's clock is believed.
    for (int ahead : {257, 256}) {
        from(a, StateUpdate{a.slot, a.token, a.race_id, 10, server_tick(s) + ahead, record(1)});
        advance(1.0 / 32);
        EXPECT_EQ(take<States>(b).size(), ahead == 256 ? 1u : 0u) << ahead;
    }
}

TEST_F(ServerTest, ManyRidersStatesSplitIntoDatagramsUnder1023Bytes)
{
    Settings settings = small_settings();
    start(settings);
    std::vector<FakeClient> riders;
    for (int i = 0; i < 45; ++i) {
        riders.push_back(client(static_cast<std::uint16_t>(6000 + i), "R" + std::to_string(i)));
        connect(riders.back());
    }
    for (FakeClient& c : riders) from(c, TrackAck{c.slot, c.token, c.race_id});
    advance(0.01);
    for (FakeClient& c : riders) from(c, BikeAck{c.slot, c.token, c.race_id, 44});
    for (FakeClient& c : riders) EXPECT_EQ(take<RaceEntry>(c).size(), 1u);
    advance(0.1);
    sent.clear();
    for (FakeClient& c : riders) from(c, StateUpdate{c.slot, c.token, c.race_id, 1, 30, record(static_cast<std::uint8_t>(c.slot))});
    advance(1.0 / 32);
    for (const Sent& d : sent) EXPECT_LT(d.bytes.size(), 1023u);
    auto got = take<States>(riders[0]);
    ASSERT_EQ(got.size(), 3u);  // 21 + 21 + 3
    std::vector<int> slots;
    for (const States& st : got)
        for (std::size_t i = 0; i < st.count; ++i) slots.push_back(st.entries[i].slot);
    std::sort(slots.begin(), slots.end());
    ASSERT_EQ(slots.size(), 45u);
    for (int i = 0; i < 45; ++i) EXPECT_EQ(slots[static_cast<std::size_t>(i)], i);
}

TEST_F(ServerTest, TheFieldWaitsThreeSecondsFromTheFirstArrival)
{
    start();
    FakeClient a = client(5001, "Ann"), b = client(5002, "Bob");
    connect(a);
    advance(1.0);
    connect(b);  // Bob never takes the track
    from(a, TrackAck{a.slot, a.token, a.race_id});
    for (double step : {2.0 - 1.0 / 512, 1.0 / 512}) {
        advance(step);
        EXPECT_EQ(take<RaceEntry>(a).size(), step > 1 ? 0u : 1u) << step;
    }
    advance(0.1);
    EXPECT_FALSE(take<Clock>(a).empty());
    EXPECT_TRUE(take<Clock>(b).empty()) << "no clock before the race entry";
}

// A silent client is asked for an acknowledgment after four seconds, the
// question goes again every half second, and five seconds are allowed.
TEST_F(ServerTest, SilenceIsMeasuredToTheStep)
{
    Settings settings = small_settings();
    settings.timeout_seconds = 5;
    start(settings);
    FakeClient a = client(5001, "Ann");
    connect(a);
    ASSERT_EQ(enter(a), 0u);
    messages(a);
    from(a, Ready{a.slot, a.token, a.race_id});  // last heard now, nothing unacknowledged
    struct Step {
        double after;
        std::size_t asked;
        int clients;
    };
    const double tick = 1.0 / 512;
    for (const Step& k : {Step{4 - tick, 0, 1}, Step{tick, 1, 1}, Step{0.5 - tick, 0, 1}, Step{tick, 1, 1},
                          Step{0.5 - tick, 0, 1}, Step{tick, 1, 1}, Step{tick, 0, 0}}) {
        advance(k.after);
        EXPECT_EQ(take<ServerMessage>(a).size(), k.asked) << now;
        EXPECT_EQ(connected_clients(s), k.clients) << now;
    }
}

TEST_F(ServerTest, AMessageFillingTheWholePayloadGoesALongerOneNever)
{
    for (std::size_t extra : {0u, 1u}) {
        Settings settings = small_settings();
        settings.knockout = std::string(k_max_server_payload - std::string("knockout ").size() + extra, '7');
        start(settings);
        FakeClient a = client(5001, "Ann");
        connect(a);
        std::size_t commands = 0;
        for (const ServerMessage& m : messages(a)) commands += m.type == k_msg_command;
        EXPECT_EQ(commands, 1 - extra);
    }
}

TEST_F(ServerTest, PasswordFullServerAndClientVersion)
{
    Settings settings = small_settings();
    settings.password = "s3cret";
    settings.max_riders = 2;
    start(settings);
    FakeClient good = client(5001, "Ann"), bad = client(5002, "Bob"), third = client(5003, "Cy");
    connect(bad, "guess");
    auto errors = take<ErrorText>(bad);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, "Wrong password");
    EXPECT_EQ(connected_clients(s), 0);  // the slot is free again
    connect(good, "s3cret");
    EXPECT_EQ(good.race_id, 1u);
    connect(bad, "");  // a second try without a password: refused too
    EXPECT_EQ(take<ErrorText>(bad).size(), 1u);

    FakeClient filler = client(5004, "Di");
    from(filler, ConnectRequest{true, k_client_protocol, filler.nonce});
    EXPECT_EQ(take<Welcome>(filler).size(), 1u);
    from(third, ConnectRequest{true, k_client_protocol, third.nonce});
    EXPECT_EQ(take<ServerFull>(third).size(), 1u);
    EXPECT_TRUE(take<Welcome>(third).empty());

    FakeClient old = client(5005, "Ed");
    from(old, ConnectRequest{false, 24, old.nonce});
    EXPECT_EQ(take<ErrorText>(old).size(), 1u);
}

TEST_F(ServerTest, HostileDatagramsAreIgnoredWithoutHarm)
{
    start();
    FakeClient a = client(5001, "Ann");
    connect(a);
    ASSERT_EQ(enter(a), 0u);
    advance(0.1);
    sent.clear();
    // The first has the right slot and token from the wrong sender; the
    // others a wrong token, another slot, and slots past the last.
    std::vector<FakeClient> forged(5, a);
    forged[0].address.port = 6666;
    forged[1].token ^= 1;
    forged[2].slot = 7;
    forged[3].slot = 0xFFFFFFFF;
    forged[4].slot = k_max_slots;
    const FakeClient& thief = forged[0];
    for (const FakeClient& f : forged) {
        from(f, StateUpdate{f.slot, f.token, f.race_id, 1, 50, record(1)});
        from(f, ClientMessage{f.slot, f.token, 0, k_msg_text, text_payload("spam")});
        from(f, Disconnect{f.slot, f.token});
        from(f, RestartRequest{f.slot, f.token});
    }
    std::mt19937 rng(99);
    for (int i = 0; i < 5000; ++i) {
        std::vector<std::uint8_t> junk(rng() % 1100);
        for (auto& b : junk) b = static_cast<std::uint8_t>(rng() % 20);
        receive(s, junk, Address{0x0A000001, 4000}, now);
    }
    EXPECT_EQ(connected_clients(s), 1);
    EXPECT_EQ(s.race_id, 1u);
    // Nothing went to Ann; the stranger at another address learnt only that
    // it is not connected. Ann's race goes on with no stranger's record.
    for (const Sent& d : sent) {
        Disconnected none;
        EXPECT_TRUE(d.to == thief.address && decode(d.bytes, none)) << address_text(d.to);
    }
    sent.clear();
    advance(1.0 / 32);
    EXPECT_TRUE(take<States>(a).empty());
    EXPECT_EQ(take<Clock>(a).size(), 1u);
    for (const std::string& line : log) EXPECT_EQ(line.find("chat"), std::string::npos) << line;
}

TEST_F(ServerTest, ReliableMessagesAckedOnceHandledInFlightOneAtATime)
{
    start();
    FakeClient a = client(5001, "Ann"), b = client(5002, "Bob");
    connect(a);
    connect(b);
    from(a, TrackAck{a.slot, a.token, a.race_id});
    from(b, TrackAck{b.slot, b.token, b.race_id});
    advance(0.01);
    messages(a);
    messages(b);
    sent.clear();
    send_message(a, k_msg_text, text_payload("hello"));
    from(a, ClientMessage{a.slot, a.token, 0, k_msg_text, text_payload("hello")});  // a repeat
    auto acks = take<ServerAck>(a);
    ASSERT_EQ(acks.size(), 2u);
    EXPECT_EQ(acks[0].sequence, 0u);
    EXPECT_EQ(acks[1].sequence, 0u);
    EXPECT_EQ(texts(b), std::vector<std::string>{"Ann: hello"});
    EXPECT_TRUE(texts(a).empty());

    // Unacknowledged, the head goes again every half second; the next waits.
    advance(1.0);  // past Ann's chat interval
    send_message(a, k_msg_text, text_payload("one"));
    advance(1.0);  // past the interval again
    send_message(a, k_msg_text, text_payload("two"));
    sent.clear();
    advance(1.2);
    auto heads = take<ServerMessage>(b);
    ASSERT_GE(heads.size(), 2u);
    for (const ServerMessage& m : heads) EXPECT_EQ(payload_text(m.payload), "Ann: one");
    from(b, ClientAck{b.slot, b.token, heads[0].sequence});
    advance(0.01);
    auto next = take<ServerMessage>(b);
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(payload_text(next[0].payload), "Ann: two");
}

// Two riders, one lap of two checkpoints, the gate drops at tick 640.
class RaceTest : public ServerTest {
protected:
    void SetUp() override
    {
        start();
        a = client(5001, "Ann");
        b = client(5002, "Bob");
        connect(a);
        connect(b);
        from(a, TrackAck{a.slot, a.token, a.race_id});
        from(b, TrackAck{b.slot, b.token, b.race_id});
        advance(0.01);
        from(a, BikeAck{a.slot, a.token, a.race_id, 1});
        from(b, BikeAck{b.slot, b.token, b.race_id, 0});
        messages(a);
        messages(b);
    }
    void gate(FakeClient& c, int index, int tick)
    {
        send_message(c, k_msg_gates, encode_payload(GateReport{c.race_id, index, tick}));
    }
    std::vector<GateTime> gate_times(const FakeClient& c)
    {
        std::vector<GateTime> out;
        for (const ServerMessage& m : messages(c)) {
            GateTimes g;
            if (m.type == k_msg_gates && decode_payload(m.payload, g))
                out.insert(out.end(), g.records.begin(), g.records.end());
        }
        return out;
    }
    // Keeps both riders heard from, as their states would.
    void ride(double seconds)
    {
        for (double t = 0; t < seconds; t += 0.25) {
            std::int32_t tick = server_tick(s);
            from(a, StateUpdate{a.slot, a.token, a.race_id, tick, tick, record(1)});
            from(b, StateUpdate{b.slot, b.token, b.race_id, tick, tick, record(2)});
            advance(0.25);
        }
    }
    FakeClient a, b;
};

TEST_F(RaceTest, GateTimesAreRelayedAndTheStandingsDecideTheResults)
{
    ride(5.2);  // past the gate drop at tick 640
    ASSERT_GE(server_tick(s), 640);
    gate(a, 0, 700);
    gate(b, 0, 710);
    // Reports that are not believed: from a position further than four
    // ahead, a negative tick, a tick far past the server's clock, an old race.
    std::int32_t tick = server_tick(s);
    struct Forged {
        int gate;
        int tick;
        std::uint32_t race;
    };
    for (const Forged& f : {Forged{6, 720, 1}, Forged{1, -5, 1}, Forged{1, tick + 300, 1}, Forged{1, 720, 7}})
        send_message(a, k_msg_gates, encode_payload(GateReport{f.race, f.gate, f.tick}));
    advance(0.01);
    EXPECT_EQ(track::rider_position(0), 1);
    gate(a, 5, 715);   // four ahead: taken (a rider may skip a few), then put back
    advance(0.01);
    EXPECT_EQ(track::rider_position(0), 6);
    gate(a, 0, 700);
    gate(b, 1, 900);   // Bob completes the lap first
    ride(0.5);
    auto to_a = gate_times(a);
    auto to_b = gate_times(b);
    EXPECT_EQ(to_a, (std::vector<GateTime>{{1, 0, 710}, {1, 1, 900}}));
    EXPECT_EQ(to_b, (std::vector<GateTime>{{0, 0, 700}, {0, 5, 715}, {0, 0, 700}}));
    EXPECT_EQ(track::rider_position(0), 1);

    gate(a, 1, 990);
    ride(0.5);
    auto results = texts(a);
    // Bob: 900 - 640 = 260 ticks = 2.03 s; Ann: 350 ticks = 2.73 s.
    std::vector<std::string> expected = {"Race 1 results:", "1. Bob - 1 laps in 0:02.03", "2. Ann - 1 laps in 0:02.73"};
    EXPECT_EQ(results, expected);
    EXPECT_EQ(texts(b), expected);

    // The next race follows the results.
    sent.clear();
    advance(k_results_seconds);
    auto restart = take<Restart>(a);
    ASSERT_FALSE(restart.empty());
    EXPECT_EQ(restart[0].race_id, 2u);
    from(a, RestartAck{a.slot, a.token, 2});
    auto info = take<TrackInfo>(a);
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0].race_id, 2u);
}

TEST_F(RaceTest, ARiderNoLongerHeardFromEndsTheRaceUnfinished)
{
    ride(5.2);
    gate(a, 0, 700);
    gate(a, 1, 800);
    // Bob falls silent; Ann finished: the race ends with Bob unplaced.
    for (int i = 0; i < 12; ++i) {
        std::int32_t tick = server_tick(s);
        from(a, StateUpdate{a.slot, a.token, a.race_id, tick, tick, record(1)});
        advance(0.25);
    }
    auto results = texts(a);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[1], "1. Ann - 1 laps in 0:01.25");
    EXPECT_EQ(results[2], "2. Bob - did not finish (0 laps)");
}

TEST_F(RaceTest, ARestartRequestBringsEveryoneBackToTheTrackStage)
{
    ride(1.0);
    from(a, RestartRequest{a.slot, a.token});
    EXPECT_TRUE(take<Restart>(b).empty());  // too soon after the race began
    ride(3.0);
    sent.clear();
    from(a, RestartRequest{a.slot, a.token});
    for (FakeClient* c : {&a, &b}) {
        auto r = take<Restart>(*c);
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0].race_id, 2u);
    }
    // Unanswered, the restart goes again each second.
    advance(1.1);
    EXPECT_EQ(take<Restart>(b).size(), 1u);
    for (FakeClient* c : {&a, &b}) {
        from(*c, RestartAck{c->slot, c->token, 2});
        ASSERT_EQ(take<TrackInfo>(*c).size(), 1u);
        c->race_id = 2;
        from(*c, TrackAck{c->slot, c->token, 2});
    }
    EXPECT_EQ(enter(a), 0u);
    EXPECT_EQ(enter(b), 1u);
}

TEST_F(RaceTest, ALatecomerInTheWarmupJoinsTheFieldAfterARegatherALaterOneWatches)
{
    FakeClient c = client(5003, "Cy");
    connect(c);
    from(c, TrackAck{c.slot, c.token, c.race_id});
    advance(k_regather_grace_seconds + 0.1);
    EXPECT_EQ(s.race_id, 2u);
    EXPECT_FALSE(take<Restart>(a).empty());

    // Everybody back; the field closes with all three.
    for (FakeClient* r : {&a, &b}) {
        from(*r, RestartAck{r->slot, r->token, 2});
        r->race_id = 2;
    }
    from(c, TrackAck{c.slot, c.token, c.race_id});      // Cy still on race 1: it watches it
    ASSERT_EQ(take<RaceEntry>(c).size(), 1u);
    advance(0.01);                                       // and is told of race 2
    ASSERT_FALSE(take<Restart>(c).empty());
    from(c, RestartAck{c.slot, c.token, 2});
    c.race_id = 2;
    for (FakeClient* r : {&a, &b, &c}) from(*r, TrackAck{r->slot, r->token, 2});
    EXPECT_EQ(enter(a), 0u);
    EXPECT_EQ(enter(b), 1u);
    EXPECT_EQ(enter(c), 2u);

    // The three keep racing (their states keep them heard from); a watcher
    // acknowledges what it is sent.
    FakeClient d = client(5004, "Di");
    auto race_on = [&](int quarters) {
        for (int i = 0; i < quarters; ++i) {
            std::int32_t tick = server_tick(s);
            for (FakeClient* r : {&a, &b, &c}) from(*r, StateUpdate{r->slot, r->token, 2, tick, tick, record(3)});
            advance(0.25);
            if (d.slot != k_no_slot) messages(d);
        }
    };
    // With the gate about to drop, a newcomer only watches.
    race_on(12);
    connect(d);
    EXPECT_EQ(enter(d), k_no_slot);
    EXPECT_EQ(s.race_id, 2u);

    // A watcher sends nothing of its own accord: asked for acknowledgments
    // it stays for as long as the race goes on.
    race_on(80);
    EXPECT_EQ(connected_clients(s), 4);
    EXPECT_EQ(s.race_id, 2u);
    sent.clear();
    from(d, StateUpdate{d.slot, d.token, 2, server_tick(s), server_tick(s), record(4)});
    advance(1.0 / 32);
    EXPECT_TRUE(take<States>(a).empty()) << "a watcher's record goes to nobody";
}

TEST_F(ServerTest, FilesArriveInTheIncomingFolderWithinTheirLimits)
{
    Settings settings = small_settings();
    settings.incoming = dir_ / "incoming";
    settings.max_file_bytes = 1000;
    std::filesystem::create_directories(settings.incoming);
    zv::test::write_file(settings.incoming + "/taken.txt", "old");
    start(settings);
    FakeClient a = client(5001, "Ann");
    connect(a);
    messages(a);

    auto command = [&](std::string_view text) { send_message(a, k_msg_command, text_payload(text)); };
    auto part = [&](std::size_t n, char fill) {
        std::vector<std::uint8_t> p = text_payload("sendpart -");
        p.insert(p.end(), n, static_cast<std::uint8_t>(fill));
        send_message(a, k_msg_command, p);
    };
    auto replies = [&] {
        std::vector<std::string> out;
        for (const ServerMessage& m : messages(a)) out.push_back(payload_text(m.payload));
        return out;
    };

    struct Case {
        const char* name;
        std::vector<std::size_t> parts;
        std::vector<std::string> expected;
        const char* stored;  // nullptr: nothing stored
    };
    const std::vector<Case> cases = {
        {"six.bin", {256, 256, 88}, {"sendready", "File six.bin received (600 bytes)"}, "six.bin"},
        {"taken.txt", {10}, {"sendready", "File taken.txt.1 received (10 bytes)"}, "taken.txt.1"},
        {"../escape", {10}, {"sendready", "File name refused"}, nullptr},
        {".hidden", {10}, {"sendready", "File name refused"}, nullptr},
        {"in/../../escape", {10}, {"sendready", "File name refused"}, nullptr},
        {"big.bin", {400, 400, 400}, {"sendready", "senddenied"}, nullptr},
    };
    for (const Case& c : cases) {
        command("sendfile");
        for (std::size_t i = 0; i < c.parts.size(); ++i) part(c.parts[i], static_cast<char>('a' + i));
        command(std::string("namefile ") + c.name);
        EXPECT_EQ(replies(), c.expected) << c.name;
        if (c.stored) {
            auto content = zv::test::read_file(settings.incoming + "/" + c.stored);
            ASSERT_TRUE(content.has_value()) << c.name;
            std::size_t total = 0;
            for (std::size_t n : c.parts) total += n;
            EXPECT_EQ(std::tuple(content->size(), content->front(), content->back()),
                      std::tuple(total, 'a', static_cast<char>('a' + c.parts.size() - 1)));
        }
    }
    // Nothing else was left behind: no escapes, no half-written parts.
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(settings.incoming)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"six.bin", "taken.txt", "taken.txt.1"}));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "escape"));

    // Without an incoming folder every offer is denied.
    Settings closed = small_settings();
    start(closed);
    FakeClient b = client(5002, "Bob");
    connect(b);
    messages(b);
    send_message(b, k_msg_command, text_payload("sendfile"));
    std::vector<std::string> denied;
    for (const ServerMessage& m : messages(b)) denied.push_back(payload_text(m.payload));
    EXPECT_EQ(denied, std::vector<std::string>{"senddenied"});
}

TEST_F(ServerTest, SettingsCommandsSilentClientsAndDisconnections)
{
    Settings settings = small_settings();
    settings.knockout = "10 20";
    settings.off_course_bias = 12.5;
    settings.no_arcade = true;
    settings.timeout_seconds = 5;
    start(settings);
    FakeClient a = client(5001, "Ann"), b = client(5002, "Bob");
    connect(a);
    connect(b);
    std::vector<std::string> commands;
    for (const ServerMessage& m : messages(a))
        if (m.type == k_msg_command) commands.push_back(payload_text(m.payload));
    EXPECT_EQ(commands, (std::vector<std::string>{"no_arcade", "knockout 10 20", "off_course_bias 12.5"}));
    messages(b);

    // Bob keeps talking, Ann falls silent and is dropped.
    for (int i = 0; i < 24; ++i) {
        from(b, TrackAck{b.slot, b.token, 99});  // wrong race: heard, nothing else
        advance(0.25);
    }
    EXPECT_EQ(connected_clients(s), 1);
    EXPECT_EQ(texts(b), std::vector<std::string>{"Ann left"});

    // Bob leaves; repeats of his disconnect are answered too.
    sent.clear();
    from(b, Disconnect{b.slot, b.token});
    from(b, Disconnect{b.slot, b.token});
    EXPECT_EQ(take<Disconnected>(b).size(), 2u);
    EXPECT_EQ(connected_clients(s), 0);
}

}  // namespace
}  // namespace zv::server::test
