#include "track/track.h"

#include "core/debug_level.h"
#include "core/loading_status.h"
#include "core/messages.h"
#include "track/scenery.h"
#include "track/scenery_cameras.h"
#include "track/scenery_flaggers.h"
#include "track/scenery_lighting.h"
#include "track/terrain.h"
#include "track/timing.h"
#include "track/track_fixture.h"
#include "platform/log.h"

#include <gtest/gtest.h>
#include <nettle/ripemd160.h>

#include <algorithm>
#include <initializer_list>
#include <tuple>

namespace zv::track {
namespace {

using test::TrackFolders;

constexpr const char* k_timing =
    "startinggate:\n"
    "[10 0 10] 0 null null @gate.shp\n"
    "checkpoints:\n"
    "5 [10 0 10] [0 0 1]\n"
    "5 [20 0 20] [0 0 1]\n"
    "firstlap:\n0 1\n"
    "normallap:\n0 1\n";

constexpr const char* k_statues =
    "[20 0 20] 0 null null @box.shp\n"
    "[30 0 30] 0 @rock.jm null null\n"
    "[40 0 40] 1 null null @gate.shp\n"
    "[44 0 44] 1 null null @box.shp\n";

// RIPEMD-160 straight from nettle, independent of the program's own wrapper.
core::Digest reference_digest(const std::string& bytes)
{
    ripemd160_ctx ctx;
    ripemd160_init(&ctx);
    ripemd160_update(&ctx, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    core::Digest d{};
    ripemd160_digest(&ctx, d.size(), d.data());
    return d;
}

class TrackLoading : public TrackFolders {
protected:
    TrackLoading()
    {
        core::clear_messages();
        set_track_list({}, {});
        set_current_track(k_folder);
    }
    ~TrackLoading() override
    {
        if (track_loaded())
            free_track();
        core::set_loading_status_sink(nullptr);
        set_track_list({}, {});
    }

    // The concatenation of the named track files (missing ones skipped) and
    // data files (names beginning with "@").
    std::string concat(std::initializer_list<const char*> names)
    {
        std::string all;
        for (const char* n : names) {
            std::string path = n[0] == '@' ? data() + (n + 1) : track_file(n);
            if (auto bytes = test::read_file(path))
                all += *bytes;
        }
        return all;
    }

    void write_full_track()
    {
        write_minimal_track();
        put("timing_gates", k_timing);
        put("statues", k_statues);
        put_data("gate.shp", "1\n0 2 0 1 1 1 1\n");
        put_data("box.shp", "2\n0 0 0 1 1 1 1\n0 1 0 1 1 1 1\n");
        put("billboards", "[5 0 5] 1 1 @tree.png\n");
        put("lighting", "near_plane 0.5\n");
        put("cameras", "addcamera 1 2 3\n");
        put("flaggers", "[1 0 1] [2 0 2] 1 1 1 a b c d e\n");
    }

    core::Digest load_and_hash()
    {
        EXPECT_TRUE(load_track());
        core::Digest d = track_hash();
        free_track();
        return d;
    }
};

TEST_F(TrackLoading, MinimalTrackHashesItsGroundFilesInOrder)
{
    write_minimal_track();
    ASSERT_TRUE(load_track());
    EXPECT_TRUE(track_loaded());
    EXPECT_EQ(current_track(), "tracks/mini");
    EXPECT_EQ(current_track_long_name(), "tracks/mini");  // not in the list
    EXPECT_EQ(track_hash(), reference_digest(concat({"terrain.hf", "texturelist", "tilemap", "tileinfo"})));
    EXPECT_EQ(std::tuple(billboard_count(), roost_billboard_base(), track_object_count()),
              std::tuple(k_roost_billboards, 0, 0));
    EXPECT_FALSE(track_timing().has_timing());
    EXPECT_FLOAT_EQ(loaded_terrain().field_size, 64);
    const Billboard& roost = billboard(k_roost_billboards - 1);
    EXPECT_EQ(roost.texture, 0u);
    EXPECT_EQ(std::pair(roost.size, roost.aspect), std::pair(1.0f, 1.0f));
}

TEST_F(TrackLoading, TexturelistWithoutTileinfoLoadsAndIsHashed)
{
    write_minimal_track(false);
    put("terrain.png", "not really a picture");  // hashed even though unreadable
    ASSERT_TRUE(load_track());
    EXPECT_EQ(track_hash(), reference_digest(concat({"terrain.hf", "terrain.png", "texturelist", "tilemap"})));
    free_track();

    // Without texturelist and tileinfo the ground has no surfaces: no track.
    remove("texturelist");
    EXPECT_FALSE(load_track());
    EXPECT_EQ(current_track(), "");
}

TEST_F(TrackLoading, HashTakesTimingStatuesAndEachDistinctShapeOnce)
{
    write_full_track();
    ASSERT_TRUE(load_track());
    // The gate object first (created with the timing), then the statues.
    ASSERT_EQ(track_object_count(), 5);
    EXPECT_EQ(track_object(0).shape_name, "@gate.shp");
    EXPECT_FLOAT_EQ(track_object(0).z, 7);  // 3 units in front of the gate
    EXPECT_EQ(track_object(1).shape_name, "@box.shp");
    EXPECT_EQ(first_editable_object(), 1);
    EXPECT_EQ(first_editable_billboard(), k_roost_billboards + 1);  // after the starter
    EXPECT_EQ(billboard_count(), k_roost_billboards + 2);
    EXPECT_TRUE(track_timing().has_timing());
    EXPECT_EQ(cameras().size(), 1u);
    EXPECT_FLOAT_EQ(lighting().near_plane, 0.5f);
    EXPECT_TRUE(flaggers().starter);

    std::string expected = concat({"terrain.hf", "texturelist", "tilemap", "tileinfo", "timing_gates",
                                   "statues", "@gate.shp", "@box.shp"});
    EXPECT_EQ(track_hash(), reference_digest(expected));
    EXPECT_EQ(track_hash(), core::ripemd160({reinterpret_cast<const std::uint8_t*>(expected.data()), expected.size()}));

    // The null-shaped statue is in no bucket; the others are.
    int in_buckets = 0;
    for (int bz = 0; bz < k_bucket_grid; ++bz)
        for (int bx = 0; bx < k_bucket_grid; ++bx)
            for (int i : object_bucket(bx, bz)) {
                EXPECT_NE(i, 2);
                ++in_buckets;
            }
    EXPECT_GE(in_buckets, 4);
}

TEST_F(TrackLoading, OnlyFilesThatMoveBikesChangeTheHash)
{
    write_full_track();
    core::Digest base = load_and_hash();
    EXPECT_EQ(load_and_hash(), base);  // the same files, the same hash

    put("lighting", "near_plane 0.3\nfar_plane 100\n");
    put("billboards", "[6 0 6] 2 1 @bush.png\n[7 0 7] 2 1 @bush.png\n");
    put("cameras", "");
    put("flaggers", "");
    put("shading.ppm", test::tiny_shading().substr(0, 11) + std::string(75, '\x10'));
    put("decals", "[1 1] 0 1 1 @mark.png\n");
    EXPECT_EQ(load_and_hash(), base);

    std::string timing = k_timing;
    timing[timing.find("5 [20")] = '6';
    put("timing_gates", timing);
    core::Digest changed = load_and_hash();
    EXPECT_NE(changed, base);

    put_data("box.shp", "2\n0 0 0 1 1 1 1\n0 1 0 1 1 1 2\n");
    EXPECT_NE(load_and_hash(), changed);
}

TEST_F(TrackLoading, MissingAndNullShapesAddNothing)
{
    write_minimal_track();
    put("statues", "[20 0 20] 0 null null null\n[30 0 30] 0 null null @absent.shp\n");
    ASSERT_TRUE(load_track());
    EXPECT_EQ(track_object_count(), 2);
    EXPECT_EQ(track_hash(), reference_digest(concat({"terrain.hf", "texturelist", "tilemap", "tileinfo", "statues"})));
    EXPECT_STREQ(core::message_line(0), "Warning: missing shape file @absent.shp");
}

TEST_F(TrackLoading, LongNameComesFromTheTrackList)
{
    write_minimal_track();
    set_track_list({"tracks/other", "tracks/mini", "tracks/mini2"}, {"Other", "Mini Valley", "Mini 2"});
    ASSERT_TRUE(load_track());
    EXPECT_EQ(current_track_long_name(), "Mini Valley");
    free_track();

    set_track_list({"tracks/Mini", "tracks/mini/"}, {"Wrong case", "Trailing slash"});
    ASSERT_TRUE(load_track());
    EXPECT_EQ(current_track_long_name(), "tracks/mini");
    EXPECT_EQ(long_name_for("tracks/Mini"), "Wrong case");
}

TEST_F(TrackLoading, MissingTilemapFailsAndLeavesNoTrack)
{
    write_full_track();
    set_track_list({"tracks/mini"}, {"Mini"});
    remove("tilemap");
    EXPECT_FALSE(load_track());
    EXPECT_FALSE(track_loaded());
    EXPECT_EQ(current_track(), "");
    EXPECT_EQ(current_track_long_name(), "");
    std::string message = core::message_line(0);
    EXPECT_EQ(message.rfind("Can't open '", 0), 0u) << message;
    EXPECT_NE(message.find("tracks/mini/tilemap'"), std::string::npos) << message;
    EXPECT_EQ(track_object_count(), 0);
    EXPECT_EQ(billboard_count(), 0);
    EXPECT_TRUE(cameras().empty());
    EXPECT_TRUE(loaded_terrain().heights.empty());
    EXPECT_FALSE(track_timing().has_timing());

    // Loading again once the file is back works.
    put("tilemap", std::string(4, '\0'));
    set_current_track(k_folder);
    EXPECT_TRUE(load_track());
    EXPECT_EQ(current_track_long_name(), "Mini");
}

TEST_F(TrackLoading, StagesShowTheirTextsAndEndDone)
{
    std::vector<std::string> shown;
    core::set_loading_status_sink([&](std::string_view text) { shown.emplace_back(text); });
    write_minimal_track();
    put("statues", "[20 0 20] 0 null null null\n");
    ASSERT_TRUE(load_track());
    auto has = [&](const char* text) { return std::find(shown.begin(), shown.end(), text) != shown.end(); };
    for (const char* stage : {"Scanning", "Scanning...done", "Loading lighting...done", "Loading flaggers...done",
                              "Loading statues...done", "Loading map...done"})
        EXPECT_TRUE(has(stage)) << stage;
    EXPECT_FALSE(has("Loading billboards"));  // no billboards file
    auto at = [&](const char* text) { return std::find(shown.begin(), shown.end(), text) - shown.begin(); };
    EXPECT_LT(at("Scanning...done"), at("Loading lighting"));
    EXPECT_LT(at("Loading flaggers"), at("Loading statues"));
    EXPECT_LT(at("Loading statues...done"), at("Loading map"));
}

TEST_F(TrackLoading, VerboseLoadingLogsEachStep)
{
    write_full_track();
    platform::log_close();  // the log starts over in this test's folder
    core::set_debug_level(1);
    ASSERT_TRUE(load_track());
    free_track();
    core::set_debug_level(0);
    platform::log_close();
    std::string log = test::read_file(tmp_.str() + "log.txt").value_or("");
    std::vector<std::string> lines = {"Scanning\n",
                                      "Loading '@tracks/mini'\n",
                                      "Loading lighting\n",
                                      "0 bytes texture memory used after hf creation\n",
                                      "Loading flaggers\n",
                                      "0 bytes texture memory used after flagger creation\n",
                                      "Loading billboards\n",
                                      "0 bytes texture memory used after billboard creation\n",
                                      "Loading statues\n",
                                      "Loading map\n",
                                      "0 bytes texture memory used after statue creation\n",
                                      "1 cameras found\n",
                                      "Deallocating track\n",
                                      "Finished deallocating track\n"};
    std::size_t at = 0;
    for (const std::string& line : lines) {
        std::size_t found = log.find("] " + line, at);
        EXPECT_NE(found, std::string::npos) << line << log;
        if (found != std::string::npos)
            at = found;
    }
}

TEST_F(TrackLoading, RepeatedLoadAndFreeStartsFromEmptyLists)
{
    write_full_track();
    for (int round = 0; round < 4; ++round) {
        ASSERT_TRUE(load_track()) << round;
        EXPECT_EQ(track_object_count(), 5);
        EXPECT_EQ(billboard_count(), k_roost_billboards + 2);
        if (round % 2) {
            ASSERT_TRUE(load_track());  // loading over a loaded track frees it first
        }
        EXPECT_EQ(track_object_count(), 5);
        free_track();
        EXPECT_FALSE(track_loaded());
        EXPECT_EQ(track_object_count(), 0);
        EXPECT_EQ(billboard_count(), 0);
        EXPECT_FALSE(flaggers().starter);
        EXPECT_TRUE(cameras().empty());
        EXPECT_EQ(shape_cache_size(), 0);
        EXPECT_TRUE(loaded_terrain().heights.empty());
    }
}

}  // namespace
}  // namespace zv::track
