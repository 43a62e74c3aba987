#include "track/track_info.h"

#include "core/atomic_file.h"
#include "core/digest.h"
#include "core/messages.h"
#include "track/track.h"
#include "track/track_fixture.h"

#include <gtest/gtest.h>

namespace zv::track {
namespace {

using test::TrackFolders;

class TrackInfo : public TrackFolders {
protected:
    TrackInfo()
    {
        core::clear_messages();
        set_track_list({"tracks/mini"}, {"Mini Valley"});
        set_current_track(k_folder);
    }
    ~TrackInfo() override
    {
        if (track_loaded())
            free_track();
        set_track_list({}, {});
    }
    std::optional<std::string> saved() { return test::read_file(home() + "tracks/mini.trackinfo"); }
};

TEST_F(TrackInfo, NothingWithoutALoadedTrack)
{
    EXPECT_FALSE(save_track_info());
    EXPECT_EQ(format_track_info(), "");
    EXPECT_FALSE(saved());
    EXPECT_STREQ(core::message_line(0), "");
}

TEST_F(TrackInfo, TrackWithoutTimingWritesZeroLapsAndItsGates)
{
    write_minimal_track();
    // Two starting gates but no checkpoint section: gates without timing.
    put("timing_gates", "startinggate:\n[10 0 10] 0\n[20 0 10] 0\n");
    ASSERT_TRUE(load_track());
    ASSERT_TRUE(save_track_info());
    auto text = saved();
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "dir=tracks/mini\n"
                     "longname=Mini Valley\n"
                     "firstlap=0\n"
                     "normallap=0\n"
                     "gatecount=2\n"
                     "hash=" + core::digest_hex(track_hash()) + "\n");
    EXPECT_STREQ(core::message_line(0), "Track info saved to tracks/mini.trackinfo");
}

TEST_F(TrackInfo, LapListsAndAHashStableAcrossLoads)
{
    write_minimal_track();
    put("timing_gates", "checkpoints:\n5 [10 0 10] [0 0 1]\n5 [20 0 20] [0 0 1]\n5 [30 0 30] [1 0 0]\n"
                        "firstlap:\n0 1 2\nnormallap:\n1 100002 0 2\n");
    ASSERT_TRUE(load_track());
    ASSERT_TRUE(save_track_info());
    std::string first = *saved();
    EXPECT_NE(first.find("\nfirstlap=3\nnormallap=4\ngatecount=0\nhash="), std::string::npos) << first;
    std::string hash_line = first.substr(first.find("hash="));
    ASSERT_EQ(hash_line.size(), 5u + 40u + 1u);
    EXPECT_EQ(hash_line.find_first_not_of("0123456789abcdef", 5), 45u);

    free_track();
    std::filesystem::remove(home() + "tracks/mini.trackinfo");
    set_track_list({}, {});
    ASSERT_TRUE(load_track());
    ASSERT_TRUE(save_track_info());
    std::string second = *saved();
    EXPECT_NE(second.find("longname=tracks/mini\n"), std::string::npos);
    EXPECT_EQ(second.substr(second.find("hash=")), hash_line);
}

TEST_F(TrackInfo, UnwritableFileIsSkippedSilently)
{
    write_minimal_track();
    ASSERT_TRUE(load_track());
    // A folder where the file should go makes it impossible to create, in the
    // home folder and in the data folder alike.
    std::filesystem::create_directories(home() + "tracks/mini.trackinfo");
    std::filesystem::create_directories(data() + "tracks/mini.trackinfo");
    core::clear_messages();
    EXPECT_FALSE(save_track_info());
    EXPECT_STREQ(core::message_line(0), "");
}

TEST_F(TrackInfo, FailedWriteKeepsTheOldFileAndSaysSo)
{
    write_minimal_track();
    ASSERT_TRUE(load_track());
    test::write_file(home() + "tracks/mini.trackinfo", "dir=old\n");
    core::set_write_probe([](std::size_t) { return false; });
    EXPECT_FALSE(save_track_info());
    core::set_write_probe(nullptr);
    EXPECT_EQ(saved(), "dir=old\n");
    EXPECT_STREQ(core::message_line(0), "Can't write 'tracks/mini.trackinfo'");
}

}  // namespace
}  // namespace zv::track
