#include "track/scenery.h"

#include "core/messages.h"
#include "track/fake_textures.h"
#include "track/track_fixture.h"
#include "support/expect_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

namespace zv::track {
namespace {

using test::TrackFolders;

class Scenery : public TrackFolders {
protected:
    Scenery()
    {
        clear_scenery();
        clear_shape_cache();
        core::clear_messages();
    }
    ~Scenery() override
    {
        set_resource_loader(nullptr);
        set_normal_mapping(false);
        clear_scenery();
        clear_shape_cache();
    }
};

TEST(TintedNames, OnlyHashSixHexDigitsHashIsATint)
{
    // Every end of each digit range, in both cases.
    const struct {
        const char* text;
        int r, g, b;
        const char* name;
    } tints[] = {
        {"#ff8000#@tree.png", 255, 128, 0, "@tree.png"},
        {"#0A0b0C#x", 10, 11, 12, "x"},
        {"#09afAF#", 9, 175, 175, ""},
        {"#90FAfa#y", 144, 250, 250, "y"},
    };
    for (const auto& c : tints) {
        auto t = parse_tinted_name(c.text);
        ASSERT_TRUE(t) << c.text;
        EXPECT_EQ(std::tuple(t->r, t->g, t->b, t->name), std::tuple(c.r, c.g, c.b, c.name)) << c.text;
    }
    // Just outside each range: '/' ':' '`' 'g' '@' 'G'; too few digits; no
    // closing '#'; no tint at all.
    for (const char* bad : {"#ff80/0#x", "#ff80:0#x", "#ff80`0#x", "#ff800g#x", "#ff80@0#x", "#ff80G0#x",
                            "#ff80#@tree.png", "#ff8000", "@tree.png", ""})
        EXPECT_FALSE(parse_tinted_name(bad)) << bad;
}

TEST_F(Scenery, BillboardsFileWithTintsStopsAtTheFirstBadEntry)
{
    test::FakeTextures loader;
    put("billboards",
        "[1 2 3] 4 0.5 @tree.png\n"
        "[ 10 0 20 ] 2 1 #ff8000#@bush.png\n"
        "[5 0 5] 1 1 #ff80#@sign.png\n"
        "[7 0 7] 1 oops @lost.png\n"
        "[8 0 8] 1 1 @after.png\n");
    EXPECT_EQ(load_billboards("@tracks/mini/billboards"), 3);
    ASSERT_EQ(billboard_count(), 3);

    const Billboard& a = billboard(0);
    // No terrain: the ground is at 0, so y is the height above it.
    test::expect_float_rows("billboard", {{a.x, 1}, {a.y_above_ground, 2}, {a.y, 2}, {a.z, 3}, {a.size, 4},
                                          {a.aspect, 0.5f}});
    EXPECT_EQ(a.texture_name, "@tree.png");
    EXPECT_NE(a.texture, 0u);
    EXPECT_EQ((std::vector<int>{a.r, a.a}), (std::vector<int>{255, 255}));

    const Billboard& b = billboard(1);
    EXPECT_EQ(b.texture_name, "@bush.png");
    EXPECT_EQ((std::vector<int>{b.r, b.g, b.b, b.a}), (std::vector<int>{255, 128, 0, 255}));

    const Billboard& c = billboard(2);
    EXPECT_EQ(c.texture_name, "#ff80#@sign.png");
    EXPECT_EQ(c.g, 255);

    EXPECT_EQ(load_billboards("@tracks/mini/none"), -1);
}

TEST_F(Scenery, StatuesLoadModelTextureShapeAndStopAtABadEntry)
{
    test::FakeTextures loader;
    put_data("box.shp", "1\n0 1 0 1 1 1 1\n");
    put("statues",
        "[10 1 20] 0.5 @box.jm @box.png @box.shp\n"
        "[30 0 30] 4 @rock.jm null null\n"
        "[40 0 40] 0 null @lonely.png @gone.shp\n"
        "[50 0 50] 0 @short.jm @short.png\n");
    EXPECT_EQ(load_statues("@tracks/mini/statues"), 3);
    ASSERT_EQ(track_object_count(), 3);

    const TrackObject& box = track_object(0);
    EXPECT_NE(box.model, 0u);
    EXPECT_NE(box.texture, 0u);
    EXPECT_EQ(box.normal_map, 0u);  // normal mapping off
    ASSERT_TRUE(box.shape);
    float c = std::cos(0.5f), s = std::sin(0.5f);
    test::expect_float_rows("box", {{box.shape->bounding_radius, 2.0f}, {box.y, 1.0f}, {box.angle, 0.5f},
                                    {box.rotation[0], c}, {box.rotation[2], s}, {box.rotation[4], 1},
                                    {box.rotation[6], -s}, {box.rotation[8], c}});
    EXPECT_EQ(box.spin, 0.0f);

    const TrackObject& rock = track_object(1);
    EXPECT_FALSE(rock.shape);
    EXPECT_EQ(rock.texture, 0u);
    EXPECT_EQ(rock.shape_name, "");
    test::expect_float_rows("rock", {{rock.spin, 16.0f}, {rock.angle, 4.0f}});  // angle 4 >= 3.25 gives 2^4

    // Without a model the texture is not loaded; a missing shape warns.
    const TrackObject& lonely = track_object(2);
    EXPECT_EQ(lonely.model, 0u);
    EXPECT_EQ(lonely.texture, 0u);
    EXPECT_FALSE(lonely.shape);
    EXPECT_EQ(lonely.shape_name, "@gone.shp");
    EXPECT_STREQ(core::message_line(0), "Warning: missing shape file @gone.shp");
    for (const std::string& r : loader.requested)
        EXPECT_NE(r, "@lonely.png");
}

TEST_F(Scenery, NormalAndSpecularMapsAreTheFirstCompanionThatLoads)
{
    EXPECT_EQ(companion_map_names("@wall.png", "@wall.jm", "_norm"),
              (std::vector<std::string>{"@wall_norm.seq", "@wall_norm.png", "@wall_norm.ppm",
                                        "@wall_norm.seq", "@wall_norm.png", "@wall_norm.ppm"}));
    EXPECT_EQ(companion_map_names("@brick-repeat.ppm", "@house.jm", "_spec"),
              (std::vector<std::string>{"@brick_spec-repeat.seq", "@brick_spec-repeat.png",
                                        "@brick_spec-repeat.ppm", "@house_spec.seq",
                                        "@house_spec.png", "@house_spec.ppm"}));
    EXPECT_EQ(companion_map_names("@dir.v2/skin", "@m.jm", "_norm")[0], "@dir.v2/skin_norm.seq");

    test::FakeTextures loader;
    loader.missing = {"@brick_norm-repeat.seq", "@brick_norm-repeat.png", "@brick_norm-repeat.ppm",
                      "@house_norm.seq", "@brick_spec-repeat.seq", "@brick_spec-repeat.png",
                      "@brick_spec-repeat.ppm", "@house_spec.seq", "@house_spec.png",
                      "@house_spec.ppm"};
    set_normal_mapping(true);
    int i = create_track_object(0, 0, 0, 0, "@house.jm", "@brick-repeat.ppm", "null");
    const TrackObject& o = track_object(i);
    EXPECT_NE(o.normal_map, 0u);
    EXPECT_EQ(o.specular_map, 0u);
    EXPECT_NE(std::find(loader.requested.begin(), loader.requested.end(), "@house_norm.png"),
              loader.requested.end());
    EXPECT_EQ(std::find(loader.requested.begin(), loader.requested.end(), "@house_norm.ppm"),
              loader.requested.end());
}

TEST(ObjectBuckets, IndexCoversTheCentralThreeQuarters)
{
    // field 64: the grid runs from 8 to 56, 6 units a bucket.
    struct Case {
        float at, field;
        int bucket;
    };
    const Case cases[] = {{0, 64, 0},     {8, 64, 0},      {13.9f, 64, 0}, {14.1f, 64, 1},
                          {32, 64, 4},    {55.9f, 64, 7},  {64, 64, 7},    {-1000, 64, 0},
                          {1e30f, 64, 7}, {NAN, 64, 0},    {10, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(bucket_index(c.at, c.field), c.bucket) << c.at << " in " << c.field;
}

TEST_F(Scenery, ObjectsWithAShapeEnterEveryBucketTheirSquareOverlaps)
{
    put_data("big.shp", "1\n0 0 0 4 1 1 1\n");
    put_data("dot.shp", "1\n0 0 0 1 1 1 1\n");
    create_track_object(32, 0, 32, 0, "null", "null", "@big.shp");    // 28..36: buckets 3..4
    create_track_object(14, 0, 55, 0, "null", "null", "@dot.shp");    // x 13..15: 0..1, z 54..56: 7
    create_track_object(32, 0, 32, 0, "@statue.jm", "null", "null");  // no shape
    build_object_buckets(64);

    auto in = [](int bx, int bz, int obj) {
        auto b = object_bucket(bx, bz);
        return std::find(b.begin(), b.end(), obj) != b.end();
    };
    int total = 0;
    for (int bz = 0; bz < 8; ++bz)
        for (int bx = 0; bx < 8; ++bx) {
            total += static_cast<int>(object_bucket(bx, bz).size());
            EXPECT_EQ(in(bx, bz, 0), bx >= 3 && bx <= 4 && bz >= 3 && bz <= 4) << bx << "," << bz;
            EXPECT_EQ(in(bx, bz, 1), bx <= 1 && bz == 7) << bx << "," << bz;
            EXPECT_FALSE(in(bx, bz, 2));
        }
    EXPECT_EQ(total, 6);
    // Outside the grid: its edge buckets, never the next row's.
    EXPECT_TRUE(in(-3, 7, 1));
    EXPECT_TRUE(in(0, 8, 1));
    EXPECT_FALSE(in(8, 6, 1));
    auto near = objects_near(33, 33);
    ASSERT_EQ(near.size(), 1u);
    EXPECT_EQ(near[0], 0);

    // Rebuilding starts from empty buckets.
    build_object_buckets(64);
    EXPECT_EQ(object_bucket(3, 3).size(), 1u);
    clear_scenery();
    EXPECT_EQ(object_bucket(3, 3).size(), 0u);
    EXPECT_EQ(track_object_count(), 0);
}

TEST_F(Scenery, WritersRoundTripWhatWasCreatedFromTheFilesOn)
{
    create_billboard(0, 0, 0, 1, 1, "");  // before the editable ones: not saved
    put("billboards", "[1.5 2 3] 4 0.5 @tree.png\n[10 0 20] 2 1 #ff8000#@bush.png\n");
    load_billboards("@tracks/mini/billboards");
    create_billboard(5, 6, 7, 8, 9, "null");
    ASSERT_TRUE(save_billboards(home() + "billboards.out", 1));
    auto text = test::read_file(home() + "billboards.out");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text,
              "[1.500000 2.000000 3.000000] 4.000000 0.500000 @tree.png\n"
              "[10.000000 0.000000 20.000000] 2.000000 1.000000 #ff8000#@bush.png\n"
              "[5.000000 6.000000 7.000000] 8.000000 9.000000 null\n");

    put_data("box.shp", "1\n0 1 0 1 1 1 1\n");
    create_track_object(0, 0, 0, 0, "@gate.jm", "null", "null");  // a gate: not saved
    put("statues", "[10 1 20] 0.5 @box.jm @box.png @box.shp\n[30 0 30] 4 null null null\n");
    load_statues("@tracks/mini/statues");
    ASSERT_TRUE(save_statues(home() + "statues.out", 1));
    text = test::read_file(home() + "statues.out");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text,
              "[10.000000 1.000000 20.000000] 0.500000 @box.jm @box.png @box.shp\n"
              "[30.000000 0.000000 30.000000] 4.000000 null null null\n");

    // Reading the saved files back gives the same entries.
    clear_scenery();
    put("billboards", *test::read_file(home() + "billboards.out"));
    EXPECT_EQ(load_billboards("@tracks/mini/billboards"), 3);
    EXPECT_EQ(billboard(1).g, 128);
    EXPECT_EQ(billboard(1).texture_name, "@bush.png");
    EXPECT_EQ(billboard(2).texture_name, "");
    put("statues", *text);
    EXPECT_EQ(load_statues("@tracks/mini/statues"), 2);
    EXPECT_EQ(track_object(0).shape_name, "@box.shp");

    // A folder in the file's place cannot be opened for writing.
    std::filesystem::create_directories(tmp_.str() + "blocked");
    EXPECT_FALSE(save_billboards(tmp_.str() + "blocked", 0));
    EXPECT_STREQ(core::message_line(0), "Can't open 'billboards'");
    EXPECT_FALSE(save_statues(tmp_.str() + "blocked", 0));
    EXPECT_STREQ(core::message_line(0), "Can't open 'statues'");
}

TEST_F(Scenery, ListsGrowAndATextureChangeStampsItsTick)
{
    EXPECT_EQ(track_objects().size(), 0u);
    for (int i = 0; i < 40; ++i)
        create_billboard(static_cast<float>(i), 0, 0, 1, 1, "");
    EXPECT_EQ(billboard_count(), 40);
    EXPECT_FLOAT_EQ(billboard(39).x, 39);
    set_billboard_texture(3, 77, 500);
    EXPECT_EQ(billboard(3).texture, 77u);
    EXPECT_EQ(billboard(3).texture_tick, 500);
}

}  // namespace
}  // namespace zv::track
