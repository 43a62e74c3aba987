// Lap positions over the first-lap and normal-lap lists, checkpoint zones,
// headings, start positions and the pose at a checkpoint.
#include "track/timing.h"

#include "support/expect_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

namespace zv::track {
namespace {

constexpr float pi = std::numbers::pi_v<float>;

// Five checkpoints; the first lap 0 1 2, every later lap 100003 4 1 2 (the
// 100003 is checkpoint 3 with the auto pilot's mark).
TrackTiming five_checkpoints()
{
    TrackTiming t;
    for (int i = 0; i < 5; ++i) {
        Checkpoint c;
        c.radius = 5;
        c.x = static_cast<float>(10 * i);
        c.z = 0;
        c.dir_x = 1;
        t.checkpoints.push_back(c);
    }
    t.first_lap = {0, 1, 2};
    t.normal_lap = {100003, 4, 1, 2};
    t.first_lap_autopilot = 3;
    t.normal_lap_autopilot = 3;
    return t;
}

TEST(LapPositions, EntriesAndCheckpoints)
{
    const TrackTiming t = five_checkpoints();
    EXPECT_EQ(lap_entry(t, 0), 0);
    EXPECT_EQ(lap_entry(t, 2), 2);
    EXPECT_EQ(lap_entry(t, 3), 100003);
    EXPECT_EQ(checkpoint_at(t, 3), 3);  // the mark means nothing to timing
    EXPECT_EQ(checkpoint_at(t, 4), 4);
    EXPECT_EQ(checkpoint_at(t, 7), 3);  // the next lap starts over
    EXPECT_EQ(checkpoint_at(t, 3 + 4 * 1000 + 2), 1);
    EXPECT_EQ(checkpoint_at(t, -1), -1);
    ASSERT_NE(checkpoint_of_position(t, 8), nullptr);
    EXPECT_FLOAT_EQ(checkpoint_of_position(t, 8)->x, 40);

    TrackTiming none;
    EXPECT_EQ(lap_entry(none, 0), -1);
    EXPECT_EQ(checkpoint_of_position(none, 0), nullptr);
    EXPECT_FALSE(is_lap_end(none, 0));
    EXPECT_EQ(laps_completed(none, 10), 0);
}

TEST(LapPositions, LapEndsAndLapCounts)
{
    const TrackTiming t = five_checkpoints();
    // Lap 1 ends at position 2, lap k at 2 + 4 (k - 1).
    for (int p = 0; p < 20; ++p)
        EXPECT_EQ(is_lap_end(t, p), p == 2 || p == 6 || p == 10 || p == 14 || p == 18) << p;
    EXPECT_EQ(lap_end_position(t, 1), 2);
    EXPECT_EQ(lap_end_position(t, 3), 10);

    EXPECT_EQ(laps_completed(t, 0), 0);
    // {position, laps completed, checkpoints into the lap}
    for (auto [p, laps, into] : {std::tuple{2, 0, 2}, {3, 1, 1}, {6, 1, 4}, {7, 2, 1}})
        EXPECT_EQ(std::pair(laps_completed(t, p), checkpoints_into_lap(t, p)), std::pair(laps, into)) << p;

    // A one-checkpoint first lap: lap 1 ends at the first passage.
    TrackTiming one = t;
    one.first_lap = {0};
    one.first_lap_autopilot = 1;
    EXPECT_TRUE(is_lap_end(one, 0));
    EXPECT_FALSE(is_lap_end(one, 1));
    EXPECT_TRUE(is_lap_end(one, 4));
    EXPECT_EQ(laps_completed(one, 1), 1);
}

TEST(CheckpointZone, RadiusAndSide)
{
    Checkpoint c;
    c.radius = 5;
    c.x = 100;
    c.z = 50;
    c.dir_x = 0;
    c.dir_z = -1;  // riders pass towards -z
    EXPECT_TRUE(in_checkpoint_zone(c, 100, 50));       // the centre itself
    EXPECT_TRUE(in_checkpoint_zone(c, 103, 46));       // exactly on the rim, past the plane
    EXPECT_FALSE(in_checkpoint_zone(c, 103, 45.9f));   // outside the rim
    EXPECT_FALSE(in_checkpoint_zone(c, 100, 50.5f));   // behind the plane
    EXPECT_TRUE(in_checkpoint_zone(c, 104, 50));       // on the plane counts
}

TEST(Headings, NormalisedIntoRange)
{
    for (float heading : {0.5f, pi, -pi})
        EXPECT_FLOAT_EQ(normalize_heading(heading), heading) << heading;
    EXPECT_NEAR(normalize_heading(4), 4 - 2 * pi, 1e-5);
    EXPECT_NEAR(normalize_heading(-4), -4 + 2 * pi, 1e-5);
    EXPECT_NEAR(normalize_heading(10), 10 - 4 * pi, 1e-5);
    EXPECT_NEAR(normalize_heading(-20), -20 + 6 * pi, 1e-4);
}

TEST(StartPositions, RowsBehindTheGates)
{
    TrackTiming t;
    StartingGate a, b;
    a.x = 100;
    a.z = 200;
    a.heading = 0;  // bikes face -z, rows go back towards +z
    b.x = 120;
    b.z = 200;
    b.heading = pi / 2;  // bikes face -x
    t.gates = {a, b};

    StartPose p = start_position(t, 0, 512);
    test::expect_float_rows("gate 0", {{p.x, 100}, {p.z, 200 + 0.625f}, {p.heading, 0}});
    p = start_position(t, 1, 512);  // gate 1, row 0
    EXPECT_NEAR(p.x, 120 + 0.625f, 1e-4);
    EXPECT_NEAR(p.z, 200, 1e-4);
    EXPECT_FLOAT_EQ(p.heading, pi / 2);
    p = start_position(t, 4, 512);  // gate 0, row 2
    EXPECT_FLOAT_EQ(p.z, 200 + 20.625f);
    p = start_position(t, 159, 512);  // gate 1, row 79
    EXPECT_NEAR(p.x, 120 + 790.625f, 1e-3);

    // Without gates: a line across the middle of the field.
    TrackTiming none;
    p = start_position(none, 3, 512);
    test::expect_float_rows("no gates", {{p.x, 256 + 15}, {p.z, 256}, {p.heading, 0}});
}

TEST(CheckpointPoseTest, FacesAlongTheDirectionOnTheNearestSample)
{
    TrackTiming t = five_checkpoints();
    t.checkpoints[1].x = 40;   // 40 / 16 = 2.5 -> column 2
    t.checkpoints[1].z = 70;   // 70 / 16 = 4.375 -> row 4
    t.checkpoints[1].dir_x = 1;
    t.checkpoints[1].dir_z = 0;
    GroundGrid ground;
    ground.side = 5;
    ground.cell_size = 16;
    ground.height = [](int i, int j) { return static_cast<float>(10 * i + j); };

    CheckpointPose pose;
    ASSERT_TRUE(checkpoint_pose(t, 1, ground, pose));
    test::expect_float_rows("pose", {{pose.x, 40}, {pose.z, 70}, {pose.y, 24}, {pose.heading, -pi / 2}});
    // The bike faces -(sin, cos) of its heading: along +x here.
    EXPECT_NEAR(-std::sin(pose.heading), 1, 1e-6);
    EXPECT_NEAR(-std::cos(pose.heading), 0, 1e-6);

    // Beyond the grid the index is clamped; a direction towards +z gives pi.
    t.checkpoints[2].x = -30;
    t.checkpoints[2].z = 1000;
    t.checkpoints[2].dir_x = 0;
    t.checkpoints[2].dir_z = 1;
    ASSERT_TRUE(checkpoint_pose(t, 2, ground, pose));
    EXPECT_FLOAT_EQ(pose.y, 4);
    EXPECT_NEAR(std::fabs(pose.heading), pi, 1e-6);

    // Position 6 is checkpoint 2 again (normal lap entry 3).
    ASSERT_TRUE(checkpoint_pose(t, 6, ground, pose));
    EXPECT_FLOAT_EQ(pose.x, -30);
    EXPECT_FALSE(checkpoint_pose(TrackTiming{}, 0, ground, pose));
}

}  // namespace
}  // namespace zv::track
