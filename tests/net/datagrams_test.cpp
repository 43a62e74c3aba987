// The race-server datagrams: every type written and read back, exact bytes
// for hand-laid layouts, every truncation and an over-long datagram refused,
// the forgiving states reader, payloads, and random bytes read safely.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "net/datagrams.h"

namespace zv::net {
namespace {

replay::StateRecord record_with(std::uint8_t seed)
{
    replay::StateRecord r;
    for (std::size_t i = 0; i < r.bytes.size(); ++i) r.bytes[i] = static_cast<std::uint8_t>(seed + 7 * i);
    return r;
}

States sample_states(std::size_t n)
{
    States s;
    s.race_id = 9;
    s.server_tick = 123456;
    s.echo = -5;
    s.count = n;
    for (std::size_t i = 0; i < n; ++i)
        s.entries[i] = {static_cast<std::uint16_t>(i * 7), static_cast<std::uint16_t>(40 + i),
                        static_cast<std::int32_t>(1000 + 4 * i), record_with(static_cast<std::uint8_t>(i))};
    return s;
}

// One sample of every datagram type, with how to read it back.
struct Sample {
    const char* name;
    Datagram bytes;
    bool text_tail;                           // the last field (text, payload) runs to the end
    std::function<bool(Bytes)> decodes_same;  // decodes and equals the sample
    bool client_to_server;
    std::function<bool(Bytes)> decodes;       // decodes at all
};

template <class T>
Sample sample(const char* name, const T& d, bool text_tail, bool client)
{
    Sample s{name, {}, text_tail, nullptr, client, nullptr};
    EXPECT_TRUE(encode(d, s.bytes)) << name;
    s.decodes_same = [d](Bytes in) {
        T back;
        return decode(in, back) && back == d;
    };
    s.decodes = [](Bytes in) {
        T back;
        return decode(in, back);
    };
    return s;
}

std::vector<Sample> samples()
{
    return {
        sample("connect", ConnectRequest{true, 25, 0xCAFEBABE}, false, true),
        sample("client info", ClientInfo{3, 77, 0xDEADBEEF, 42, "bike|a|b|c|d\n12\nAnn"}, true, true),
        sample("track ack", TrackAck{4, 5, 6}, false, true),
        sample("bike ack", BikeAck{4, 5, 6, 160}, false, true),
        sample("ready", Ready{7, 8, 9}, false, true),
        sample("state", StateUpdate{1, 2, 3, -4, 5000, record_with(3)}, false, true),
        sample("restart request", RestartRequest{11, 12}, false, true),
        sample("restart ack", RestartAck{11, 12, 13}, false, true),
        sample("disconnect", Disconnect{159, 0xFFFFFFFF}, false, true),
        sample("client message", ClientMessage{2, 3, 4, 19, {'h', 'i', 0, 'x'}}, true, true),
        sample("client ack", ClientAck{2, 3, 99}, false, true),
        sample("server full", ServerFull{}, false, false),
        sample("welcome", Welcome{12, 0x01020304, 6}, false, false),
        sample("track info", TrackInfo{5, -1, 3, 640, Hash{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, "rabbithill"}, true, false),
        sample("rider description", RiderDescription{5, 3, "b\n7\nBo"}, true, false),
        sample("race entry", RaceEntry{5, 160, "b\n7\nBo"}, true, false),
        sample("clock", Clock{5, -7, 333}, false, false),
        sample("states", sample_states(3), false, false),
        sample("notice", Notice{0x80000000}, false, false),
        sample("restart", Restart{6}, false, false),
        sample("disconnected", Disconnected{}, false, false),
        sample("error", ErrorText{"Wrong password"}, true, false),
        sample("server message", ServerMessage{7, 24, {'k', 'n', 'o', 'c', 'k'}}, true, false),
        sample("server ack", ServerAck{31}, false, false),
        sample("redirect", Redirect{0x3039, "example.net:19801"}, true, false),
    };
}

TEST(Datagrams, EveryTypeRoundTripsAndDispatchesByItsTypeByte)
{
    for (const Sample& s : samples()) {
        EXPECT_TRUE(s.decodes_same(s.bytes.view())) << s.name;
        if (s.client_to_server)
            EXPECT_TRUE(decode_client_datagram(s.bytes.view()).has_value()) << s.name;
        else
            EXPECT_TRUE(decode_server_datagram(s.bytes.view()).has_value()) << s.name;
    }
}

// The tail lengths of the samples above.
std::size_t text_length(const std::string& name)
{
    if (name == "client message") return 4;
    if (name == "server message") return 5;
    if (name == "client info") return std::string("bike|a|b|c|d\n12\nAnn").size();
    if (name == "track info") return std::string("rabbithill").size();
    if (name == "rider description" || name == "race entry") return std::string("b\n7\nBo").size();
    if (name == "error") return std::string("Wrong password").size();
    if (name == "redirect") return std::string("example.net:19801").size();
    ADD_FAILURE() << name;
    return 0;
}

TEST(Datagrams, EveryTruncationAnExtraByteAWrongTypeAndAnOverlongDatagramAreRefused)
{
    for (const Sample& s : samples()) {
        Bytes whole = s.bytes.view();
        // A text tail may lose characters and stay well-formed (though no
        // longer the same); cutting into the fixed fields never may.
        std::size_t fixed = whole.size() - (s.text_tail ? text_length(s.name) : 0);
        for (std::size_t n = 0; n < whole.size(); ++n) {
            Datagram cut = s.bytes;
            cut.size = n;
            EXPECT_FALSE(s.decodes_same(cut.view())) << s.name << " cut to " << n;
            EXPECT_EQ(s.decodes(cut.view()), n >= fixed) << s.name << " cut to " << n;
        }
        std::vector<std::uint8_t> longer(whole.begin(), whole.end());
        longer.push_back('z');
        if (!s.text_tail) {
            EXPECT_FALSE(s.decodes_same(longer)) << s.name << " plus a byte";
        }
        longer.resize(k_max_datagram_size + 1, 'z');
        EXPECT_FALSE(s.decodes_same(longer)) << s.name << " over-long";
        if (s.client_to_server)
            EXPECT_FALSE(decode_client_datagram(longer)) << s.name;
        else
            EXPECT_FALSE(decode_server_datagram(longer)) << s.name;
        std::vector<std::uint8_t> retyped(whole.begin(), whole.end());
        retyped[0] = 200;
        EXPECT_FALSE(s.decodes_same(retyped)) << s.name << " retyped";
        EXPECT_FALSE(decode_client_datagram(retyped)) << s.name;
        EXPECT_FALSE(decode_server_datagram(retyped)) << s.name;
    }
    EXPECT_FALSE(decode_client_datagram({}));
    EXPECT_FALSE(decode_server_datagram({}));
}

TEST(Datagrams, HandLaidBytes)
{
    Datagram d;
    ASSERT_TRUE(encode(ConnectRequest{true, 25, 0x11223344}, d));
    EXPECT_EQ(std::vector<std::uint8_t>(d.view().begin(), d.view().end()),
              (std::vector<std::uint8_t>{0, 1, 0, 0, 0, 0, 0, 0, 0, 25, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0, 0, 0, 0}));

    ASSERT_TRUE(encode(ClientInfo{2, 3, 0xdc6f875c, 9, "ab"}, d));
    ASSERT_EQ(d.size, 43u);
    // The proof's digest byte 3 comes first.
    for (auto [at, byte] : {std::pair{9, 0x5c}, {12, 0xdc}, {17, 9}, {41, 'a'}})
        EXPECT_EQ(d.bytes[static_cast<std::size_t>(at)], byte) << at;

    ASSERT_TRUE(encode(sample_states(2), d));
    ASSERT_EQ(d.size, 17u + 2 * 47u);
    // The count, then the second entry's slot (16 bits), its ping and its
    // tick 1004 = 0x3EC.
    for (auto [at, byte] :
         {std::pair{13, 2}, {17 + 47, 7}, {17 + 47 + 2, 41}, {17 + 47 + 4, 0xEC}, {17 + 47 + 5, 0x03}})
        EXPECT_EQ(d.bytes[static_cast<std::size_t>(at)], byte) << at;

    ASSERT_TRUE(encode(RestartRequest{1, 2}, d));
    EXPECT_EQ(d.size, 13u);
    EXPECT_EQ(d.bytes[9], 1);
}

TEST(Datagrams, FixedFieldsWithImpossibleValuesAreRefused)
{
    Datagram d;
    ConnectRequest c;
    ASSERT_TRUE(encode(ConnectRequest{}, d));
    for (std::size_t at : {1u, 2u, 4u}) {
        Datagram bad = d;
        bad.bytes[at] = 2;
        EXPECT_FALSE(decode(bad.view(), c)) << at;
    }
    Datagram reserved = d;
    reserved.bytes[6] = 0x55;  // reserved bytes are anybody's
    EXPECT_TRUE(decode(reserved.view(), c));

    RestartRequest r;
    ASSERT_TRUE(encode(RestartRequest{1, 2}, d));
    d.bytes[9] = 0;
    EXPECT_FALSE(decode(d.view(), r));
}

TEST(Datagrams, LimitsOfTextsPayloadsAndRecords)
{
    Datagram d;
    struct Case {
        const char* name;
        std::function<bool()> fits;
        std::function<bool()> too_long;
        std::size_t size_at_limit;
    };
    const std::vector<Case> cases = {
        {"client info", [&] { return encode(ClientInfo{0, 0, 0, 0, std::string(982, 'a')}, d); },
         [&] { return encode(ClientInfo{0, 0, 0, 0, std::string(983, 'a')}, d); }, 1023},
        {"client message",
         [&] { return encode(ClientMessage{0, 0, 0, 19, std::vector<std::uint8_t>(466, 'a')}, d); },
         [&] { return encode(ClientMessage{0, 0, 0, 19, std::vector<std::uint8_t>(467, 'a')}, d); }, 480},
        {"server message",
         [&] { return encode(ServerMessage{0, 19, std::vector<std::uint8_t>(1017, 'a')}, d); },
         [&] { return encode(ServerMessage{0, 19, std::vector<std::uint8_t>(1018, 'a')}, d); }, 1023},
        {"states", [&] { return encode(sample_states(21), d); },
         [&] { States s = sample_states(21); s.count = 22; return encode(s, d); }, 17 + 21 * 47},
        {"redirect", [&] { return encode(Redirect{1, std::string(127, 'h')}, d); },
         [&] { return encode(Redirect{1, std::string(128, 'h')}, d); }, 132},
        {"track info", [&] { return encode(TrackInfo{1, 0, 0, 0, {}, std::string(986, 't')}, d); },
         [&] { return encode(TrackInfo{1, 0, 0, 0, {}, std::string(987, 't')}, d); }, 1023},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(c.fits()) << c.name;
        EXPECT_EQ(d.size, c.size_at_limit) << c.name;
        EXPECT_FALSE(c.too_long()) << c.name;
    }
    // A client message payload one byte over its limit, built by hand.
    std::vector<std::uint8_t> big(14 + 467, 'a');
    big[0] = k_client_message;
    ClientMessage m;
    EXPECT_FALSE(decode(big, m));
    big.pop_back();
    EXPECT_TRUE(decode(big, m));
    EXPECT_EQ(m.payload.size(), 466u);
}

TEST(Datagrams, ReceivedTextStopsAtAZeroByteAndRedirectUsesAtMost127Characters)
{
    std::vector<std::uint8_t> bytes = {k_error, 'o', 'k', 0, 'x', 'y'};
    ErrorText e;
    ASSERT_TRUE(decode(bytes, e));
    EXPECT_EQ(e.text, "ok");

    std::vector<std::uint8_t> redirect = {k_redirect, 1, 0, 0, 0};
    redirect.resize(5 + 200, 'h');
    Redirect r;
    ASSERT_TRUE(decode(redirect, r));
    EXPECT_EQ(r.nonce, 1u);
    EXPECT_EQ(r.address.size(), 127u);

    EXPECT_EQ(payload_text(std::vector<std::uint8_t>{'h', 'i', 0, 'x'}), "hi");
    EXPECT_EQ(payload_text({}), "");
}

TEST(Datagrams, StatesReadForgivinglyKeepTheCompleteRecords)
{
    Datagram d;
    ASSERT_TRUE(encode(sample_states(3), d));
    struct Case {
        std::size_t size;
        std::uint32_t promised;
        bool read;
        bool truncated;
        std::size_t count;
    };
    const Case cases[] = {
        {d.size, 3, true, false, 3},            // whole
        {d.size - 1, 3, true, true, 2},         // last record one byte short
        {17 + 47, 3, true, true, 1},            // only one record arrived
        {17, 3, true, true, 0},                 // header only
        {d.size, 2, true, false, 2},            // fewer promised: the rest ignored
        {d.size, 0xFFFFFFFF, true, true, 3},    // a hostile count
        {16, 0, false, false, 0},               // no complete header
    };
    for (const Case& c : cases) {
        Datagram cut = d;
        cut.size = c.size;
        if (c.size >= 17) {
            cut.bytes[13] = static_cast<std::uint8_t>(c.promised);
            cut.bytes[14] = static_cast<std::uint8_t>(c.promised >> 8);
            cut.bytes[15] = static_cast<std::uint8_t>(c.promised >> 16);
            cut.bytes[16] = static_cast<std::uint8_t>(c.promised >> 24);
        }
        States s;
        bool truncated = false;
        EXPECT_EQ(decode_states_prefix(cut.view(), s, truncated), c.read) << c.size << " " << c.promised;
        if (!c.read) continue;
        EXPECT_EQ(truncated, c.truncated) << c.size << " " << c.promised;
        ASSERT_EQ(s.count, c.count) << c.size << " " << c.promised;
        for (std::size_t i = 0; i < s.count; ++i) EXPECT_EQ(s.entries[i], sample_states(3).entries[i]);
        // The strict reader takes only an exact count.
        States strict;
        EXPECT_EQ(decode(cut.view(), strict), !c.truncated && c.size == 17 + 47 * c.promised);
    }
}

TEST(Datagrams, GatePayloads)
{
    GateReport report{4, 2, 777};
    auto bytes = encode_payload(report);
    ASSERT_EQ(bytes.size(), 12u);
    GateReport back;
    ASSERT_TRUE(decode_payload(bytes, back));
    EXPECT_EQ(back, report);
    bytes.push_back(0);
    EXPECT_FALSE(decode_payload(bytes, back));
    bytes.resize(11);
    EXPECT_FALSE(decode_payload(bytes, back));

    GateTimes times{4, {{1, 0, 100}, {159, 7, -3}}};
    bytes = encode_payload(times);
    ASSERT_EQ(bytes.size(), 8u + 24u);
    EXPECT_EQ(bytes[4], 2);
    EXPECT_EQ(bytes[8 + 12], 159);
    GateTimes times_back;
    ASSERT_TRUE(decode_payload(bytes, times_back));
    EXPECT_EQ(times_back, times);
    for (std::size_t n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(decode_payload(Bytes(bytes.data(), n), times_back)) << n;
    bytes[4] = 0xFF;  // count wildly larger than the records
    bytes[7] = 0xFF;
    EXPECT_FALSE(decode_payload(bytes, times_back));

    GateTimes none{8, {}};
    bytes = encode_payload(none);
    ASSERT_EQ(bytes.size(), 8u);
    ASSERT_TRUE(decode_payload(bytes, times_back));
    EXPECT_EQ(times_back, none);

    GateTimes full{1, std::vector<GateTime>(k_max_gate_times)};
    EXPECT_EQ(encode_payload(full).size(), 8u + 12u * k_max_gate_times);
    EXPECT_LE(encode_payload(full).size(), k_max_server_payload);
    full.records.emplace_back();
    EXPECT_TRUE(encode_payload(full).empty());
}

TEST(Datagrams, PasswordProofAndNonceByHand)
{
    // RIPEMD-160("secret" 78 56 34 12) begins dc 6f 87 5c.
    EXPECT_EQ(password_proof("secret", 0x12345678), 0xdc6f875cu);
    EXPECT_NE(password_proof("secret", 0x12345679), 0xdc6f875cu);
    EXPECT_NE(password_proof("Secret", 0x12345678), 0xdc6f875cu);
    // 0.25 s past the second: 250000 * 1103515245 + 12345 modulo 2^32.
    EXPECT_EQ(make_nonce(12.25), 0x0a8bdd89u);
    EXPECT_EQ(make_nonce(7.0), 12345u);
    EXPECT_EQ(make_nonce(-3.5), 12345u);
}

TEST(Datagrams, RandomBytesDecodeSafelyAndWhatDecodesReencodesToTheSame)
{
    std::mt19937 rng(1234);
    std::vector<Sample> base = samples();
    int decoded = 0;
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::uint8_t> bytes;
        if (round % 2 == 0) {
            // A real datagram with a few bytes flipped and the length jiggled.
            const Sample& s = base[rng() % base.size()];
            bytes.assign(s.bytes.view().begin(), s.bytes.view().end());
            for (int k = 0; k < 3; ++k) bytes[rng() % bytes.size()] ^= static_cast<std::uint8_t>(rng());
            bytes.resize(bytes.size() + rng() % 3 - 1 + (bytes.empty() ? 1 : 0));
        } else {
            bytes.resize(rng() % 1100);
            for (auto& b : bytes) b = static_cast<std::uint8_t>(rng() % 32);
        }
        if (auto c = decode_client_datagram(bytes)) {
            ++decoded;
            Datagram again;
            ASSERT_TRUE(std::visit([&](const auto& d) { return encode(d, again); }, *c));
            auto twice = decode_client_datagram(again.view());
            ASSERT_TRUE(twice.has_value());
            EXPECT_EQ(*twice, *c);
        }
        if (auto s = decode_server_datagram(bytes)) {
            ++decoded;
            Datagram again;
            ASSERT_TRUE(std::visit([&](const auto& d) { return encode(d, again); }, *s));
            auto twice = decode_server_datagram(again.view());
            ASSERT_TRUE(twice.has_value());
            EXPECT_EQ(*twice, *s);
        }
    }
    EXPECT_GT(decoded, 100);
}

}  // namespace
}  // namespace zv::net
