#include "track/scenery_flaggers.h"

#include "track/scenery.h"
#include "track/fake_textures.h"
#include "track/track_fixture.h"
#include "support/expect_rows.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace zv::track {
namespace {

using test::TrackFolders;

class Flagging : public TrackFolders {
protected:
    Flagging()
    {
        clear_scenery();
        clear_flaggers();
    }
    ~Flagging() override
    {
        set_resource_loader(nullptr);
        clear_flaggers();
        clear_scenery();
    }
    TextureId tex(const char* name) { return textures_.load_texture(name, 0); }
    TextureId shown(int billboard_index) { return billboard(billboard_index).texture; }

    test::FakeTextures textures_;  // the loader while the test runs
};

constexpr const char* k_starter =
    "[10 0 20] [16 2 20] 3 0.5 2 s0 s1 s2 s3 s4\n";
constexpr const char* k_finisher = "[30 1 40] 2 0.5 f0 f1 f2 f3\n";

TEST_F(Flagging, ReadsStarterFinisherAndCornersLimitingCheckpoints)
{
    put("flaggers", std::string(k_starter) + k_finisher +
                        "[50 0 50] 2 0.5 0 3 -7 12 calm1 warn1\n"
                        "[60 0 60] 2 0.5 -1 -1 -1 2 calm2 warn2\n"
                        "[70 0 70] 2 0.5 1 2 3\n");
    ASSERT_TRUE(load_flaggers("@tracks/mini/flaggers", 4));
    const Flaggers& f = flaggers();
    ASSERT_TRUE(f.starter);
    ASSERT_TRUE(f.finish);
    test::expect_float_rows("flaggers", {{f.starter->walk_duration, 2}, {f.starter->end[0], 16},
                                         {billboard(f.starter->billboard).size, 3},
                                         {billboard(f.finish->billboard).y, 1}});
    EXPECT_EQ(f.starter->textures[4], tex("s4"));
    EXPECT_EQ(shown(f.starter->billboard), tex("s0"));
    EXPECT_EQ(shown(f.finish->billboard), tex("f0"));
    ASSERT_EQ(f.corners.size(), 2u);  // the third corner lacks its textures
    EXPECT_EQ(f.corners[0].checkpoints, (std::array<int, 4>{0, 3, -1, 3}));
    EXPECT_EQ(f.corners[1].checkpoints, (std::array<int, 4>{-1, -1, -1, 2}));
    EXPECT_EQ(shown(f.corners[0].billboard), tex("calm1"));
    EXPECT_EQ(billboard_count(), 4);

    // Without checkpoints every corner checkpoint is none.
    clear_scenery();
    ASSERT_TRUE(load_flaggers("@tracks/mini/flaggers", 0));
    EXPECT_EQ(flaggers().corners[0].checkpoints, (std::array<int, 4>{-1, -1, -1, -1}));

    EXPECT_FALSE(load_flaggers("@tracks/mini/none", 4));
    EXPECT_FALSE(flaggers().starter);
}

TEST_F(Flagging, AnIncompletePartKeepsWhatCameBefore)
{
    put("flaggers", std::string(k_starter) + "[30 1 40] 2 0.5 f0 f1 f2\n");
    load_flaggers("@tracks/mini/flaggers", 4);
    EXPECT_TRUE(flaggers().starter);
    EXPECT_FALSE(flaggers().finish);
    EXPECT_EQ(billboard_count(), 1);

    clear_scenery();
    put("flaggers", "[10 0 20] [16 2 20] 3 0.5 2 s0 s1 s2 s3\n");
    load_flaggers("@tracks/mini/flaggers", 4);
    EXPECT_FALSE(flaggers().starter);
    EXPECT_EQ(billboard_count(), 0);
}

TEST(StarterTiming, TexturesAndWalkFollowTheClock)
{
    // t0 = 5: first until 5.1, second until 5.4, third until 6, fourth while
    // walking (2 s), fifth from 8 on.
    struct Picture {
        float clock, walk;
        int texture;
    };
    for (const Picture& c : {Picture{0, 2, 0}, {5.05f, 2, 0}, {5.2f, 2, 1}, {5.5f, 2, 2}, {6.0f, 2, 3},
                             {7.9f, 2, 3}, {8.0f, 2, 4}, {6.0f, 0, 4}})
        EXPECT_EQ(starter_texture_index(c.clock, c.walk), c.texture) << c.clock << " walking " << c.walk;
    struct Walk {
        float clock, walk, fraction;
    };
    for (const Walk& c : {Walk{5.5f, 2, 0}, {7.0f, 2, 0.5f}, {20.0f, 2, 1}, {5.9f, 0, 0}, {6.0f, 0, 1}})
        EXPECT_FLOAT_EQ(starter_walk_fraction(c.clock, c.walk), c.fraction) << c.clock << " walking " << c.walk;
}

TEST(FinishFlagger, ShowsHalfwayLastLapAndFinish)
{
    // F = 3, N = 4, K = 5 laps, halfway lap 3. n = laps completed at the
    // leader's position + 1.
    FlaggerRace race;
    race.first_lap_length = 3;
    race.normal_lap_length = 4;
    race.race_laps = 5;
    race.halfway_lap = 3;
    auto at = [&](int position) {
        race.leader_position = position;
        return finish_texture_index(race);
    };
    // {leader's position, picture}: position 3 gives n = 1, 10 n = 2, 11
    // n = 3 (halfway), 15 n = 4 (last lap), 19 n = 5 (finished).
    for (auto [position, picture] : {std::pair{0, 0}, {2, 0}, {9, 0}, {10, 1}, {14, 2}, {18, 3}, {40, 3}})
        EXPECT_EQ(at(position), picture) << position;
}

TEST_F(Flagging, FrameUpdateMovesTheStarterAndSwitchesTextures)
{
    put("flaggers", std::string(k_starter) + k_finisher +
                        "[50 0 50] 2 0.5 0 3 -1 -1 calm1 warn1\n"
                        "[60 0 60] 2 0.5 2 -1 -1 -1 calm2 warn2\n");
    ASSERT_TRUE(load_flaggers("@tracks/mini/flaggers", 4));
    const Flaggers& f = flaggers();

    FlaggerRace race;
    race.has_timing = true;
    race.first_lap_length = 3;
    race.normal_lap_length = 4;
    race.race_laps = 5;
    race.halfway_lap = 3;
    race.tick = 7 * 128;  // halfway through the walk
    race.leader_position = 14;
    FlaggerRider crashed_at_3{3, true, false, false};
    FlaggerRider crashed_marked{100002, true, false, false};
    FlaggerRider riding{0, false, false, false};
    FlaggerRider finished{0, true, true, false};
    FlaggerRider stale{2, true, false, true};
    std::vector<FlaggerRider> riders{crashed_at_3, riding, finished, stale};
    race.riders = riders;
    update_flaggers(race);

    const Billboard& st = billboard(f.starter->billboard);
    test::expect_float_rows("starter", {{st.x, 13}, {st.y, 1}, {st.z, 20}});
    EXPECT_EQ(st.texture, tex("s3"));
    EXPECT_EQ(st.texture_tick, 7 * 128);
    EXPECT_EQ(shown(f.finish->billboard), tex("f2"));
    EXPECT_EQ(shown(f.corners[0].billboard), tex("warn1"));
    EXPECT_EQ(shown(f.corners[1].billboard), tex("calm2"));
    EXPECT_EQ((std::vector<bool>{checkpoint_alert(3), checkpoint_alert(0), checkpoint_alert(2)}),
              (std::vector<bool>{true, false, false}));

    // The alert marks are cleared every frame; the auto-pilot mark is taken off.
    // Checkpoints no alert covers are ignored.
    riders = {crashed_marked, FlaggerRider{-2000000000, true, false, false}, FlaggerRider{256, true, false, false}};
    race.riders = riders;
    race.tick += 1;
    update_flaggers(race);
    EXPECT_EQ(shown(f.corners[0].billboard), tex("calm1"));
    EXPECT_EQ(billboard(f.corners[0].billboard).texture_tick, 7 * 128 + 1);
    EXPECT_EQ(shown(f.corners[1].billboard), tex("warn2"));
    EXPECT_FALSE(checkpoint_alert(256));
    // An unchanged texture keeps its animation start.
    EXPECT_EQ(st.texture_tick, 7 * 128);

    // Without timing nothing changes.
    race.has_timing = false;
    race.tick = 0;
    race.riders = {};
    update_flaggers(race);
    EXPECT_EQ(st.texture, tex("s3"));
    EXPECT_EQ(shown(f.corners[1].billboard), tex("warn2"));
}

}  // namespace
}  // namespace zv::track
