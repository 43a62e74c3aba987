// zarvox-sim --info: loads a track from a private data folder without a
// window and prints its identity.
#include "sim_run.h"

#include "core/digest.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

namespace {

using namespace zv;
using test::k_sim;

class SimInfo : public test::SimRun {
protected:
    void write_track(const std::string& track)
    {
        write_tiny_track(track, "startinggate:\n[10 0 10] 0 null null null\n[20 0 10] 0 null null null\n"
                                "checkpoints:\n5 [10 0 10] [0 0 1]\n5 [20 0 20] [0 0 1]\n5 [30 0 30] [0 0 1]\n"
                                "firstlap:\n0 1 2\nnormallap:\n1 2\n");
        put(track, "statues", "[30 0 30] 0 @rock.jm null null\n");
        put(track, "billboards", "[5 0 5] 1 1 @tree.png\n[6 0 6] 1 1 #ff0000#@tree.png\n");
        put(track, "flaggers", "[1 0 1] [2 0 2] 1 1 1 a b c d e\n[3 0 3] 1 1 f g h i\n");
    }

    std::string hash_of(const std::string& track, std::initializer_list<const char*> names)
    {
        std::string all;
        for (const char* n : names)
            all += *test::read_file(dir_ / ("data/" + track + "/" + n));
        core::Ripemd160 r;
        r.update(all);
        return core::digest_hex(r.finish());
    }
};

TEST_F(SimInfo, PrintsTheTrackInfoLinesAndCounts)
{
    ASSERT_TRUE(std::filesystem::exists(k_sim)) << "build the zarvox-sim target first";
    write_track("tracks/valley");
    put("tracks/valley", "desc", "Green Valley\r\nsecond line\n");
    write_track("other");

    test::RunResult r = sim({"--info", "--track", "tracks/valley"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string hash = hash_of("tracks/valley",
                               {"terrain.hf", "texturelist", "tilemap", "timing_gates", "statues"});
    EXPECT_EQ(r.out, "dir=tracks/valley\n"
                     "longname=Green Valley\n"
                     "firstlap=3\n"
                     "normallap=2\n"
                     "gatecount=2\n"
                     "hash=" + hash + "\n"
                     "checkpoints=3\n"
                     "objects=3\n"
                     "billboards=4\n");

    // The other track has no desc: its folder is its long name. The option
    // may also be written with "=".
    r = sim({"--track=other", "--info"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("dir=other\nlongname=other\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("hash=" + hash + "\n"), std::string::npos);  // same files, same hash
    EXPECT_FALSE(std::filesystem::exists(dir_ / "home/Zarvox/other.trackinfo"));
}

TEST_F(SimInfo, CompressedHeightFieldIsFoundAndHashedDecompressed)
{
    ASSERT_TRUE(std::filesystem::exists(k_sim));
    write_track("tracks/packed");
    std::string plain = *test::read_file(dir_ / "data/tracks/packed/terrain.hf");
    std::string gz_path = dir_ / "data/tracks/packed/terrain.hf.gz";
    gzFile gz = gzopen(gz_path.c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    gzwrite(gz, plain.data(), static_cast<unsigned>(plain.size()));
    gzclose(gz);
    std::filesystem::remove(dir_ / "data/tracks/packed/terrain.hf");

    test::RunResult r = sim({"--info", "--track", "tracks/packed"});
    ASSERT_EQ(r.status, 0) << r.err;
    core::Ripemd160 d;
    d.update(plain);
    for (const char* n : {"texturelist", "tilemap", "timing_gates", "statues"})
        d.update(*test::read_file(dir_ / ("data/tracks/packed/" + std::string(n))));
    EXPECT_NE(r.out.find("hash=" + core::digest_hex(d.finish()) + "\n"), std::string::npos) << r.out;
}

TEST_F(SimInfo, FailuresGoToStandardErrorWithStatusOne)
{
    ASSERT_TRUE(std::filesystem::exists(k_sim));
    write_track("tracks/broken");
    std::filesystem::remove(dir_ / "data/tracks/broken/tilemap");

    test::RunResult r = sim({"--info", "--track", "tracks/broken"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Can't open '"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("tracks/broken/tilemap'"), std::string::npos) << r.err;

    r = sim({"--info", "--track", "tracks/none"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("tracks/none"), std::string::npos);

    r = sim({"--info"});
    EXPECT_EQ(r.status, 1);
    r = sim({"--info", "--track"});
    EXPECT_EQ(r.status, 1);
    r = sim({"--frobnicate"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("unknown option '--frobnicate'"), std::string::npos) << r.err;
    r = sim({});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("usage: zarvox-sim"), std::string::npos);
}

}  // namespace
