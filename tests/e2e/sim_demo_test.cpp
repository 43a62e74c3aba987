// zarvox-sim --demo FILE: the header and contents of a demo written here by
// hand (--info), and where the riders are drawn at a tick (--at) on a tiny
// track whose terrain is 64 ft across from height 0.
#include "sim_run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

namespace {

using namespace zv;
using test::k_sim;

void le32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A state entry whose record is zero but for the 24-bit x fraction.
std::string entry(int rider, int tick, std::uint32_t x)
{
    std::string e(1, static_cast<char>(rider));
    le32(e, static_cast<std::uint32_t>(tick));
    std::string record(39, '\0');
    record[0] = static_cast<char>(x & 0xFF);
    record[1] = static_cast<char>((x >> 8) & 0xFF);
    record[2] = static_cast<char>((x >> 16) & 0xFF);
    return e + record;
}

std::string block(std::uint8_t type, int tick, const std::string& payload, std::uint32_t previous)
{
    std::string b;
    le32(b, static_cast<std::uint32_t>(payload.size()) ^ previous);
    le32(b, static_cast<std::uint32_t>(tick));
    b += static_cast<char>(type);
    return b + payload;
}

class SimDemo : public test::SimRun {
protected:
    SimDemo()
    {
        write_tiny_track("tracks/valley", "startinggate:\n[10 0 10] 0 null null null\ncheckpoints:\n"
                                          "5 [10 0 10] [0 0 1]\nfirstlap:\n0\nnormallap:\n0\n");

        std::string data = "ZV06 2 7680 3 1792\ntracks/valley\nkx250f|r|b|w|h\n7\nAnna\n\n450sxf(2017)||||\n12\nBo\n\n";
        std::string first = entry(0, 0, 0) + entry(0, 16, 0x800000) + entry(1, 16, 0xFFFFFF);
        std::string message = "Bo joined";
        std::string second = entry(0, 32, 0x800000);
        data += block(1, 16, first, 0);
        data += block(2, 20, message, static_cast<std::uint32_t>(first.size()));
        data += block(1, 32, second, static_cast<std::uint32_t>(message.size()));
        test::write_file(dir_ / "race.zvdemo", data);
    }
};

TEST_F(SimDemo, InfoPrintsTheHeaderAndCounts)
{
    ASSERT_TRUE(std::filesystem::exists(k_sim)) << "build the zarvox-sim target first";
    test::RunResult r = sim({"--demo", dir_ / "race.zvdemo", "--info"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "version=6\nriders=2\nrace_length=7680\nlaps=3\nstart_tick=1792\ntrack=tracks/valley\n"
                     "rider0=kx250f|r|b|w|h\nrider0_number=7\nrider0_name=Anna\nrider0_states=3\n"
                     "rider1=450sxf(2017)||||\nrider1_number=12\nrider1_name=Bo\nrider1_states=1\n"
                     "blocks=3\nstate_blocks=2\nmessage_blocks=1\nbad_blocks=0\n"
                     "stray_states=0\ntruncated=no\nfirst_tick=0\nlast_tick=32\n");

    r = sim({"--demo", dir_ / "race.zvdemo", "--info", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"bike\": \"kx250f(2008)\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"blocks\": 3"), std::string::npos) << r.out;

    r = sim({"--demo", dir_ / "missing.zvdemo", "--info"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.zvdemo"), std::string::npos);
}

TEST_F(SimDemo, AtPrintsWhereTheHistoryDrawsEachRider)
{
    ASSERT_TRUE(std::filesystem::exists(k_sim));
    // Tick 8 lies halfway between rider 0's records at x 0 and x 32 ft;
    // rider 1 has one record only, drawn as it stands.
    test::RunResult r = sim({"--demo", dir_ / "race.zvdemo", "--at", "8", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"tick\": 8, \"clock\": 16, \"riders\": ["
                     "{\"rider\": 0, \"x\": 16.0000, \"y\": 0.0000, \"z\": 0.0000, \"older_tick\": 0, \"newer_tick\": 16}, "
                     "{\"rider\": 1, \"x\": 64.0000, \"y\": 0.0000, \"z\": 0.0000, \"older_tick\": 16, \"newer_tick\": 16}]}\n");

    r = sim({"--demo", dir_ / "race.zvdemo", "--at", "30"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "rider0 x=32.0000 y=0.0000 z=0.0000\nrider1 x=64.0000 y=0.0000 z=0.0000\n");

    r = sim({"--demo", dir_ / "race.zvdemo", "--at", "-3"});
    EXPECT_EQ(r.status, 1);
    r = sim({"--demo", dir_ / "race.zvdemo"});
    EXPECT_EQ(r.status, 1);
}

}  // namespace
