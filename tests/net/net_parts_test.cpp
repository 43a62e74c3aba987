// The client's smaller parts: server addresses, the reliable queues, the fake
// lag and loss, rider descriptions, server command parsing, error names and
// the connection on a real socket.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "net/address.h"
#include "net/connection.h"
#include "net/fake_link.h"
#include "net/net_socket.h"
#include "net/reliable.h"
#include "net/rider_description.h"
#include "net/server_commands.h"

namespace zv::net {
namespace {

TEST(Address, HostAndOptionalPortAfterTheLastColon)
{
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        int port;
    };
    const Case cases[] = {
        {"example.org", true, "example.org", 19800},
        {"example.org:2000", true, "example.org", 2000},
        {"127.0.0.1:65535", true, "127.0.0.1", 65535},
        {"a:b:300", true, "a:b", 300},
        {"host:", false, "", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:12x", false, "", 0},
        {":19800", false, "", 0},
        {"", false, "", 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        std::optional<ServerAddress> a = parse_address(k.text);
        ASSERT_EQ(a.has_value(), k.ok);
        if (!k.ok)
            continue;
        EXPECT_EQ(a->host, k.host);
        EXPECT_EQ(a->port, k.port);
    }
    std::optional<sockaddr_in> local = resolve_address("127.0.0.1:1234");
    ASSERT_TRUE(local);
    EXPECT_EQ(ntohs(local->sin_port), 1234);
    EXPECT_EQ(ntohl(local->sin_addr.s_addr), 0x7F000001u);
    EXPECT_FALSE(resolve_address("no-such-host.invalid"));
}

TEST(Reliable, OutgoingHeadAloneInFlightUntilAcknowledged)
{
    OutgoingQueue q;
    const std::uint8_t bytes[600] = {};
    EXPECT_EQ(queue_reliable(q, 19, bytes), 0u);
    EXPECT_EQ(queue_reliable(q, 24, std::span(bytes, 3)), 1u);
    EXPECT_EQ(q.nodes.front().message.payload.size(), 466u) << "cut to one message's room";
    const ReliableMessage* m = due_reliable(q, 10.0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->sequence, 0u);
    EXPECT_EQ(due_reliable(q, 10.5), nullptr) << "not past its resend time yet";
    m = due_reliable(q, 10.51);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->sequence, 0u);
    EXPECT_FALSE(acknowledge_reliable(q, 1));
    EXPECT_TRUE(acknowledge_reliable(q, 0));
    m = due_reliable(q, 10.52);
    ASSERT_NE(m, nullptr) << "a new head goes out at once";
    EXPECT_EQ(m->type, 24);
    EXPECT_TRUE(acknowledge_reliable(q, 1));
    EXPECT_EQ(due_reliable(q, 11), nullptr);
    EXPECT_FALSE(acknowledge_reliable(q, 1));
}

TEST(Reliable, IncomingInOrderWithDuplicatesDropped)
{
    IncomingOrder in;
    auto arrive = [&](std::uint32_t seq) {
        std::vector<std::uint32_t> handled;
        for (const ReliableMessage& m : accept_reliable(in, ReliableMessage{seq, 19, {}}))
            handled.push_back(m.sequence);
        return handled;
    };
    EXPECT_TRUE(arrive(2).empty());
    EXPECT_TRUE(arrive(2).empty()) << "stored once";
    EXPECT_TRUE(arrive(3).empty());
    EXPECT_EQ(arrive(0), std::vector<std::uint32_t>{0});
    EXPECT_EQ(arrive(1), (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_TRUE(arrive(1).empty());
    EXPECT_TRUE(in.waiting.empty());
    EXPECT_EQ(in.expected, 4u);
    // A flood of early messages is held only up to the limit.
    for (std::uint32_t s = 10; s < 10 + 2 * k_max_waiting_messages; ++s)
        arrive(s);
    EXPECT_EQ(in.waiting.size(), k_max_waiting_messages);
}

TEST(FakeLink, LossDrawAndLag)
{
    struct Case {
        int loss;
        int drawn;
        bool kept;
    };
    const Case cases[] = {
        {100, 32699, false}, {100, 32700, true}, {100, 32767, true},
        {50, 16349, false},  {50, 16350, true},  {0, 0, true},
    };
    const std::uint8_t byte = 7;
    for (const Case& k : cases) {
        FakeLink link;
        link.loss_percent = k.loss;
        link.draw = [&] { return k.drawn; };
        EXPECT_EQ(fake_link_arrive(link, std::span(&byte, 1), 1.0), k.kept) << k.loss << " " << k.drawn;
    }
    FakeLink link;
    link.lag = 0.5;
    link.draw = [] { return 0; };
    EXPECT_TRUE(fake_link_active(link));
    fake_link_arrive(link, std::span(&byte, 1), 1.0);
    fake_link_arrive(link, std::span(&byte, 1), 1.25);
    EXPECT_FALSE(fake_link_due(link, 1.49));
    EXPECT_TRUE(fake_link_due(link, 1.5));
    EXPECT_FALSE(fake_link_due(link, 1.6)) << "the next one is not due yet";
    EXPECT_TRUE(fake_link_due(link, 1.75));
    for (std::size_t i = 0; i < k_fake_queue_limit; ++i)
        fake_link_arrive(link, std::span(&byte, 1), 2.0);
    EXPECT_FALSE(fake_link_arrive(link, std::span(&byte, 1), 2.0)) << "the queue holds 1024";
    EXPECT_FALSE(fake_link_active(FakeLink{}));
}

TEST(RiderDescription, RoundTripShortFormAndMissingFields)
{
    replay::DemoRider r;
    r.bike = "450sxf";
    r.rider_texture = "rider_body-red";
    r.bike_texture = "450sxfv2016-blue";
    r.wheel_texture = "wheels-black";
    r.head_texture = "rider_head-white";
    r.number = "123";
    r.name = "Joe Motocross";
    const std::string full = format_rider_description(r, k_description_datagram_room);
    EXPECT_EQ(full, "450sxf|rider_body-red|450sxfv2016-blue|wheels-black|rider_head-white\n123\nJoe Motocross");
    EXPECT_EQ(format_rider_description(parse_rider_description(full), k_description_datagram_room), full);

    r.rider_texture = std::string(470, 'x');
    EXPECT_EQ(format_rider_description(r, k_description_message_room), "450sxf\n123\nJoe Motocross");
    EXPECT_EQ(format_rider_description(r, 8), "450sxf\n1");

    // Missing fields stay empty, the number keeps three characters.
    auto fields = [](const replay::DemoRider& d) {
        return d.bike + "," + d.rider_texture + "," + d.bike_texture + "," + d.head_texture + "," + d.number + "," + d.name;
    };
    EXPECT_EQ(fields(parse_rider_description("250f|skin\n99999\nAnn\nextra")), "250f,skin,,,999,Ann");
    EXPECT_EQ(fields(parse_rider_description("")), ",,,,,");
}

TEST(ServerCommands, WordsAndNumbers)
{
    struct Case {
        const char* text;
        CommandKind kind;
    };
    const Case cases[] = {
        {"no_arcade", CommandKind::no_arcade},     {"no_arcade ", CommandKind::unknown},
        {"sendready", CommandKind::sendready},     {"sendready now", CommandKind::unknown},
        {"senddenied", CommandKind::senddenied},   {"senddenied too big", CommandKind::senddenied},
        {"senddeniedx", CommandKind::unknown},     {"off_course_bias 3", CommandKind::off_course_bias},
        {"off_course_bias", CommandKind::unknown}, {"off_course_biasx 3", CommandKind::unknown},
        {"off_course_scale\t0.5", CommandKind::off_course_scale},
        {"knockout", CommandKind::knockout},       {"knockouts 1", CommandKind::unknown},
        {"", CommandKind::unknown},
    };
    for (const Case& k : cases)
        EXPECT_EQ(parse_server_command(k.text).kind, k.kind) << k.text;
    EXPECT_DOUBLE_EQ(parse_server_command("off_course_scale\t0.5").value, 0.5);

    auto table = [](std::initializer_list<int> first, int rest) {
        std::array<int, k_knockout_entries> t{};
        t.fill(rest);
        std::size_t i = 0;
        for (int v : first)
            t[i++] = v;
        return t;
    };
    EXPECT_EQ(parse_knockout_table(" 10 20"), table({10}, 20));
    EXPECT_EQ(parse_knockout_table(" 10 abc 30"), table({}, 10));
    EXPECT_EQ(parse_knockout_table(""), table({}, 0));
    EXPECT_EQ(parse_knockout_table(" -5 +7"), table({-5}, 7));
    EXPECT_EQ(parse_knockout_table(" 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17"),
              table({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, 16));
    EXPECT_EQ(parse_server_command("knockout 10 20").knockout, table({10}, 20));
}

TEST(Socket, ErrnoNamesAndNumbers)
{
    EXPECT_EQ(errno_name(ECONNREFUSED), "ECONNREFUSED");
    EXPECT_EQ(errno_name(EHOSTUNREACH), "EHOSTUNREACH");
    EXPECT_EQ(errno_name(123456), "123456");
    UdpSocket closed;
    sockaddr_in to{};
    const std::uint8_t b = 0;
    EXPECT_FALSE(closed.send_to(to, std::span(&b, 1)));
    EXPECT_EQ(last_network_error(), "EBADF");

    // An empty socket is quiet; a datagram to itself comes back whole or cut.
    UdpSocket s;
    ASSERT_TRUE(s.open());
    ASSERT_TRUE(s.bind_port(0));
    std::uint8_t buffer[4];
    EXPECT_EQ(s.receive(buffer), UdpSocket::k_nothing_waiting);
    EXPECT_EQ(last_network_error(), "");
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_port = htons(s.local_port());
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::uint8_t six[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(s.send_to(self, six));
    int got = UdpSocket::k_nothing_waiting;
    for (int i = 0; i < 100 && got == UdpSocket::k_nothing_waiting; ++i)
        got = s.receive(buffer);
    EXPECT_EQ(got, 4) << "a longer datagram is cut to the buffer";
    EXPECT_EQ(buffer[3], 4);
}

TEST(Connection, RealSocketCarriesTheRoadAndShowsOnlyWhatHappened)
{
    UdpSocket server;
    ASSERT_TRUE(server.open() && server.bind_port(0));
    Connection n;
    std::vector<std::string> shown;
    n.client.host.show = [&](const std::string& t) { shown.push_back(t); };
    LocalView view;
    view.now = 5.0;
    request_connection(n, "127.0.0.1:" + std::to_string(server.local_port()));
    net_update(n, view);
    ASSERT_TRUE(connected(n));
    std::uint8_t buffer[k_max_datagram_size];
    sockaddr_in from{};
    int got = UdpSocket::k_nothing_waiting;
    for (int i = 0; i < 1000 && got < 0; ++i)
        got = server.receive(buffer, &from);
    ASSERT_GT(got, 0);
    EXPECT_EQ(buffer[0], k_connect_request);
    // Each answer is handled on arrival; a quiet socket shows nothing.
    auto answer = [&](const auto& datagram, auto done) {
        Datagram d;
        ASSERT_TRUE(encode(datagram, d) && server.send_to(from, d.view()));
        for (int i = 0; i < 1000 && !done(); ++i)
            net_update(n, view);
    };
    answer(Welcome{3, 77, k_server_protocol}, [&] { return n.client.state == ConnectionState::sending_info; });
    answer(Disconnected{}, [&] { return !n.client.active; });
    EXPECT_EQ(shown, (std::vector<std::string>{"Contacting server\n", "Sending client info\n", "Disconnected"}));
    EXPECT_FALSE(connected(n));
}

}  // namespace
}  // namespace zv::net
