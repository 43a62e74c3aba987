// The passage scan, laps, the finish, timed races, standings, the cutting
// penalty and the final list.
#include "track/race_rules.h"

#include "race_rules_fixture.h"
#include "support/expect_rows.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <tuple>
#include <vector>

namespace zv::track {
namespace {

using test::RaceCourse;

std::vector<int> ticks_of(int slot) { return race_state().riders[static_cast<std::size_t>(slot)].ticks; }

std::vector<int> order(const std::vector<Standing>& list)
{
    std::vector<int> slots;
    for (const Standing& s : list)
        slots.push_back(s.slot);
    return slots;
}

class Scan : public RaceCourse {};

TEST_F(Scan, SkippedCheckpointIsTakenBackFromBehind)
{
    join(0);
    pass_in_order(0, {1100, 1200, 1300});
    ASSERT_EQ(rider_position(0), 3);
    // At position 3 the rider rides through checkpoint 4 (position 4) instead.
    pass(0, 4, 1500);
    EXPECT_EQ(rider_position(0), 5);
    EXPECT_EQ(ticks_of(0), (std::vector<int>{1100, 1200, 1300, -1, 1500}));
    // Back through checkpoint 3, now two positions behind: stamped, and the
    // position moves back to just after it.
    pass(0, 3, 1600);
    EXPECT_EQ(rider_position(0), 4);
    EXPECT_EQ(ticks_of(0), (std::vector<int>{1100, 1200, 1300, 1600, 1500}));
    // Checkpoint 4 again: re-stamped.
    pass(0, 4, 1700);
    EXPECT_EQ(rider_position(0), 5);
    EXPECT_EQ(crossing_tick(0, 4), 1700);
}

TEST_F(Scan, GoingBackWithoutAMissDoesNothing)
{
    join(0);
    pass_in_order(0, {1100, 1200});
    pass(0, 0, 1300);  // two behind, already stamped
    EXPECT_EQ(rider_position(0), 2);
    EXPECT_EQ(ticks_of(0), (std::vector<int>{1100, 1200}));
    ride(0, 1400);
    EXPECT_EQ(rider_position(0), 2);
}

TEST_F(Scan, UpToTwoCheckpointsMaySkipButNoLapEnd)
{
    join(0);
    pass(0, 0, 1100);
    // Checkpoint 2 is one ahead of the next position (1): the lap end is taken.
    pass(0, 2, 1200);
    EXPECT_EQ(rider_position(0), 3);
    EXPECT_EQ(ticks_of(0), (std::vector<int>{1100, -1, 1200}));
    // From position 3 the next lap end (position 5, checkpoint 2) is two ahead.
    // Position 2 (just behind) is checkpoint 2 as well, with a missed
    // position before it, but the position just behind is never tested.
    pass(0, 2, 1300);
    EXPECT_EQ(rider_position(0), 6);
    EXPECT_EQ(ticks_of(0), (std::vector<int>{1100, -1, 1200, -1, -1, 1300}));
    EXPECT_EQ(laps_completed(0), 2);
}

TEST_F(Scan, UnpassedLapEndBlocksEveryLaterCheckpoint)
{
    join(0);
    pass_in_order(0, {1100, 1200});
    ASSERT_EQ(rider_position(0), 2);  // next: the lap end at checkpoint 2
    pass(0, 3, 1300);
    pass(0, 4, 1400);
    EXPECT_EQ(rider_position(0), 2);
    pass(0, 2, 1500);
    EXPECT_EQ(rider_position(0), 3);
    pass(0, 3, 1600);
    EXPECT_EQ(rider_position(0), 4);
}

TEST_F(Scan, NothingWithoutTimingForFinishedRidersOrBadSlots)
{
    join(0);
    update_timing(-1, 1, 0, 1100);
    update_timing(k_rider_slots, 1, 0, 1100);
    EXPECT_EQ(crossing_tick(-1, 0), -1);
    set_track_timing(TrackTiming{});
    pass(0, 0, 1100);
    EXPECT_EQ(rider_position(0), 0);
    update_standings(1100);
    EXPECT_TRUE(running_standings().empty());
}

class Race : public RaceCourse {};

TEST_F(Race, LeaderFinishesOnTheLastLapAndTheOthersOnTheirNext)
{
    // Three laps: the race's last lap end is position 3 + 3 * 2 - 1 = 8.
    join(0);
    join(1);
    EXPECT_EQ(final_lap_end(), 8);
    pass_in_order(1, {1100, 1200, 1300, 1400, 1500});  // rider 1 at position 5
    int tick = 1100;
    for (int p = 0; p < 8; ++p)
        pass_in_order(0, {tick += 100});
    EXPECT_FALSE(is_finished(0));
    EXPECT_EQ(laps_completed(0), 2);
    pass_in_order(0, {5000});
    EXPECT_TRUE(is_finished(0));
    EXPECT_EQ(laps_completed(0), 3);
    // Rider 1 has not completed a lap since the leader finished.
    EXPECT_FALSE(is_finished(1));
    EXPECT_FALSE(has_final_standings());
    // Still racing: the timing of a finished rider no longer moves.
    pass(0, 3, 5100);
    EXPECT_EQ(rider_position(0), 9);
    // Rider 1 completes lap 2: finished, one lap down, and the race is over.
    pass_in_order(1, {5200});
    EXPECT_TRUE(is_finished(1));
    EXPECT_EQ(laps_completed(1), 2);
    ASSERT_TRUE(has_final_standings());
    EXPECT_EQ(order(final_standings()), (std::vector<int>{0, 1}));
    EXPECT_TRUE(std::filesystem::exists(home() + "results.txt"));
    // Nothing changes any more.
    const std::vector<Standing> before = final_standings();
    update_standings(9000);
    EXPECT_EQ(order(final_standings()), order(before));
}

TEST_F(Race, HalfwayLapOfRacesOfLapsAndOfTimedRaces)
{
    // Of laps: (L + 1) / 2, for odd and even L.
    const struct {
        int laps, halfway;
    } laps[] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {9, 5}};
    for (const auto& c : laps) {
        start(0, c.laps);
        EXPECT_EQ(race_state().race_laps, c.laps);
        EXPECT_EQ(race_state().halfway_lap, c.halfway) << c.laps;
    }
    // Timed: the leader's laps + 1 from the tick S + T / 2 on (T / 2 truncated).
    const struct {
        int limit, after_start, halfway;
    } timed[] = {{1001, 499, k_laps_unknown}, {1001, 500, 1}, {1000, 499, k_laps_unknown}, {1000, 500, 1}};
    for (const auto& c : timed) {
        start(c.limit, 2);
        join(0);
        update_standings(k_start + c.after_start);
        EXPECT_EQ(race_state().halfway_lap, c.halfway) << c.limit << " " << c.after_start;
    }
}

TEST_F(Race, TimedRaceEndsTwoLapsAfterTheFirstLapCompletedAfterTheTime)
{
    // Ten minutes and two laps; passages every 3667 ticks, so lap k ends at
    // S + 11001 k: lap 6 before the time is up, lap 7 after it.
    constexpr int limit = 10 * 60 * 128;
    start(limit, 2);
    join(0);
    EXPECT_EQ(race_state().race_laps, k_laps_unknown);
    EXPECT_EQ(race_state().halfway_lap, k_laps_unknown);
    for (int p = 0; p < 27; ++p) {
        const int tick = k_start + 3667 * (p + 1);
        pass_in_order(0, {tick});
        if (tick < k_start + limit / 2)
            EXPECT_EQ(race_state().halfway_lap, k_laps_unknown) << p;
        else
            EXPECT_EQ(race_state().halfway_lap, 4) << p;  // 3 laps done at the halfway time
        if (p < 20)
            EXPECT_EQ(race_state().race_laps, k_laps_unknown) << p;
        else
            EXPECT_EQ(race_state().race_laps, 9) << p;  // from lap 7 on
        EXPECT_EQ(is_finished(0), p == 26) << p;
    }
    EXPECT_EQ(laps_completed(0), 9);
    EXPECT_TRUE(has_final_standings());
}

TEST_F(Race, StandingsOrderWithTies)
{
    join(9);
    join(2);
    join(5);
    join(7);
    stamp_all(9, {1100, 1200, 1300});
    stamp_all(2, {1100, 1200, 1300});  // same place and tick as 9: lower slot first
    stamp_all(5, {1100, 1200, 1300, 1400});
    stamp_all(7, {1100, 1200, 1290});  // same place, earlier
    update_standings(1500);
    EXPECT_EQ(order(running_standings()), (std::vector<int>{5, 7, 2, 9}));
    EXPECT_EQ(running_standings()[0].tick, 1400);
    EXPECT_EQ(running_standings()[0].position, 4);
    // A slot not in use is not listed; a rider at position 0 has tick 0.
    clear_rider(7);
    join(3);
    update_standings(1500);
    EXPECT_EQ(order(running_standings()), (std::vector<int>{5, 2, 9, 3}));
    EXPECT_EQ(running_standings().back().tick, 0);
}

TEST_F(Race, LapTimesAndBestLap)
{
    join(0);
    // Lap 1 60 s, lap 2 75 s, lap 3 missing its end, lap 4 therefore
    // unknown too, lap 5 75 s, lap 6 80 s.
    const int s = k_start;
    stamp_all(0, {s + 100, s + 200, s + 60 * 128,                      // lap 1
                  s + 8000, s + 9000, s + 135 * 128,                   // lap 2
                  s + 18000, s + 19000, -1,                            // lap 3
                  s + 25000, s + 26000, s + 200 * 128,                 // lap 4
                  s + 27000, s + 28000, s + 275 * 128,                 // lap 5
                  s + 37000, s + 38000, s + 355 * 128});               // lap 6
    EXPECT_EQ(laps_completed(0), 6);
    // {slot, lap, seconds}
    const std::array<int, 3> laps[] = {{0, 1, 60}, {0, 2, 75}, {0, 3, 0}, {0, 4, 0}, {0, 5, 75},
                                       {0, 6, 80}, {0, 7, 0},  {0, 0, 0}, {-1, 1, 0}, {k_rider_slots, 1, 0}};
    for (const auto& [slot, lap, seconds] : laps)
        EXPECT_EQ(lap_time_ticks(slot, lap), seconds * 128) << "slot " << slot << " lap " << lap;
    // The 60 s first lap never counts; of the two 75 s laps the earlier.
    const BestLap best = best_lap(0);
    EXPECT_EQ(best.lap, 2);
    EXPECT_EQ(best.ticks, 75 * 128);
    // One lap: no best lap.
    join(1);
    stamp_all(1, {s + 100, s + 200, s + 300});
    EXPECT_EQ(best_lap(1).lap, 0);
}

TEST_F(Race, CuttingPenaltyAgainstTheFieldsCleanTimes)
{
    const int s = k_start;
    const struct {
        const char* what;
        std::vector<int> clean, cutter;  // slot 0 (none: not racing), slot 1
        int penalty;
    } cases[] = {
        // Slot 1 leaves out position 1 in 20 s; the field's 40 s plus 1 s, less 20 s.
        {"first lap", {s, s + 1000, s + 40 * 128}, {s + 50, -1, s + 50 + 20 * 128}, 21 * 128},
        // Nobody rode it clean: a minute is expected; a cut from before
        // position 0 counts from tick 0.
        {"no clean rider", {}, {s, -1, -1, s + 1000}, 60 * 128 + 128 - 1000},
        {"from the start", {}, {-1, 200}, 60 * 128 + 128 - 200},
        // Positions 6 to 8 (lap 3): slot 0's clean normal laps take 1000, 2000
        // and 3000 (mean 2000), slot 1's own clean lap 2 1500: the mean 1750
        // plus 128, against the 800 taken.
        {"later lap",
         {s + 10, s + 20, s + 30, s + 100, s + 600, s + 1100, s + 1200, s + 2000, s + 3200, s + 3300, s + 4000, s + 6300},
         {s + 10, s + 20, s + 30, s + 100, s + 900, s + 1600, s + 1700, -1, s + 2500, s + 2600},
         1750 + 128 - 800},
        // The middle of laps 2 and 3 cut, 600 ticks each against 1000: every cut adds up.
        {"every cut section",
         {s + 10, s + 20, s + 30, s + 100, s + 600, s + 1100, s + 1200, s + 1700, s + 2200},
         {s + 10, s + 20, s + 30, s + 100, -1, s + 700, s + 800, -1, s + 1400},
         2 * (1000 + 128 - 600)},
    };
    for (const auto& c : cases) {
        start(0, 3);
        if (!c.clean.empty()) {
            join(0);
            stamp_all(0, c.clean);
        }
        join(1);
        stamp_all(1, c.cutter);
        update_standings(s + 7000);
        EXPECT_EQ(cutting_penalty(1), c.penalty) << c.what;
        EXPECT_EQ(cutting_penalty(0), 0) << c.what;
    }
}

TEST_F(Race, LongPenaltyCostsWholeLaps)
{
    // Rider 0 rides the first lap's section 0 -> 2 in 6000 ticks, so a rider
    // who cuts it in x ticks owes 6000 + 128 - x. Rider 1's best lap is 15 s:
    // while the penalty is longer than that, a lap is taken and 15 s with it.
    constexpr int lap = 15 * 128;
    const struct {
        int own;  // rider 1's ticks over the cut section
        int laps_deducted, penalty;
    } cases[] = {
        {1008, 2, 10 * 128},      // 40 s
        {2288, 1, lap},           // exactly two best laps: the second stays
        {4207, 1, 1},             // one tick over a best lap
        {4208, 0, lap},           // exactly one best lap
        {6128, 0, 0},             // as long as expected: no penalty
    };
    for (const auto& c : cases) {
        start(0, 4);
        join(0);
        join(1);
        const int s = k_start;
        stamp_all(0, {s + 100, s + 3000, s + 6100,
                      s + 8000, s + 9000, s + 10000,
                      s + 12000, s + 13000, s + 14000,
                      s + 16000, s + 17000, s + 18000});
        const int end1 = s + 100 + c.own;
        stamp_all(1, {s + 100, -1, end1,
                      end1 + 500, end1 + 1000, end1 + lap,
                      end1 + lap + 500, end1 + lap + 1000, end1 + 2 * lap,
                      end1 + 2 * lap + 500, end1 + 2 * lap + 1000, end1 + 3 * lap});
        EXPECT_EQ(best_lap(1).ticks, lap);
        update_standings(s + 20000);
        ASSERT_TRUE(has_final_standings()) << c.own;
        const std::vector<Standing>& f = final_standings();
        ASSERT_EQ(f.size(), 2u);
        const Standing& one = f[0].slot == 1 ? f[0] : f[1];
        const Standing& zero = f[0].slot == 1 ? f[1] : f[0];
        EXPECT_EQ(std::pair(zero.position, zero.penalty_ticks), std::pair(12, 0)) << c.own;
        EXPECT_EQ(std::tuple(one.position, one.laps_deducted, one.penalty_ticks, one.tick),
                  std::tuple(12 - 3 * c.laps_deducted, c.laps_deducted, c.penalty, end1 + 3 * lap + c.penalty))
            << c.own;
        // A lap down falls behind; on the same lap the earlier tick leads.
        EXPECT_EQ(f[0].slot, c.laps_deducted > 0 ? 0 : 1) << c.own;
        // The running standings still show the places as ridden.
        EXPECT_EQ(order(running_standings()), (std::vector<int>{1, 0}));
    }
}

TEST_F(Race, RidersThisMachineDoesNotDriveMayStopCounting)
{
    join(0);
    join(1, RiderSource::replayed);
    join(2, RiderSource::remote);
    stamp_all(0, {1100, 1200, 1300, 1400, 1500, 1600, 1700, 1800, 1900});
    note_rider_data(1, 2000);
    note_rider_data(2, 2000);
    // Offline, a network rider never stops counting.
    update_standings(2000 + 10 * 128);
    EXPECT_TRUE(is_finished(0));
    EXPECT_FALSE(has_final_standings());
    // Online: a remote rider after a second without news, a replayed one
    // after ten seconds, and not a tick sooner.
    const struct {
        RiderSource source;
        int quiet;
    } cases[] = {{RiderSource::remote, 128}, {RiderSource::replayed, 10 * 128}};
    for (const auto& c : cases) {
        start(0, 3, true);
        join(0);
        join(1, c.source);
        stamp_all(0, {1100, 1200, 1300, 1400, 1500, 1600, 1700, 1800, 1900});
        note_rider_data(1, 2000);
        update_standings(2000 + c.quiet - 1);
        EXPECT_FALSE(has_final_standings()) << c.quiet;
        update_standings(2000 + c.quiet);
        ASSERT_TRUE(has_final_standings()) << c.quiet;
        EXPECT_EQ(order(final_standings()), (std::vector<int>{0, 1}));
    }
}

TEST_F(Race, EmptyFieldNeverEnds)
{
    update_standings(100000);
    EXPECT_FALSE(has_final_standings());
    join(0);
    update_standings(100001);
    EXPECT_FALSE(has_final_standings());
}

TEST_F(Race, PlaceAtCheckpointCutsTheTiming)
{
    join(0);
    stamp_all(0, {1100, 1200, 1300, 1400, 1500, 1600, 1700, 1800, 1900});
    update_standings(2000);
    ASSERT_TRUE(is_finished(0));
    GroundGrid ground;
    ground.side = 5;
    ground.cell_size = 100;
    ground.height = [](int i, int j) { return static_cast<float>(i + 10 * j); };
    CheckpointPose pose;
    // The time-trial restart: the second-to-last checkpoint of the first lap.
    EXPECT_EQ(restart_position(), 1);
    ASSERT_TRUE(place_at_checkpoint(0, restart_position(), ground, pose));
    test::expect_float_rows("pose", {{pose.x, 100}, {pose.z, 0}, {pose.y, 1}});
    EXPECT_NEAR(pose.heading, -1.5707963f, 1e-6);
    EXPECT_EQ(rider_position(0), 1);
    EXPECT_EQ(ticks_of(0), std::vector<int>{1100});
    EXPECT_FALSE(is_finished(0));
    // Ahead of the rider: the flag would stay.
    stamp_all(0, {1100, 1200, 1300, 1400, 1500, 1600, 1700, 1800, 1900});
    ASSERT_TRUE(is_finished(0));
    ASSERT_TRUE(place_at_checkpoint(0, 10, ground, pose));
    EXPECT_TRUE(race_state().riders[0].finished);
    EXPECT_FALSE(place_at_checkpoint(0, -1, ground, pose));
    EXPECT_FALSE(place_at_checkpoint(k_rider_slots, 0, ground, pose));
}

TEST_F(Race, OutsideChangesStayInBounds)
{
    join(0);
    set_gate_time(0, k_max_lap_positions, 2000);
    set_gate_time(0, -5, 2000);
    set_gate_time(200, 3, 2000);
    EXPECT_EQ(rider_position(0), 0);
    set_gate_time(0, 4, 2000);
    EXPECT_EQ(rider_position(0), 5);
    EXPECT_EQ(ticks_of(0), (std::vector<int>{-1, -1, -1, -1, 2000}));
    EXPECT_EQ(crossing_tick(0, 1LL << 40), -1);
    set_rider_position(0, 1 << 30);  // clamped, never grows the array
    EXPECT_EQ(rider_position(0), k_max_lap_positions);
    EXPECT_EQ(ticks_of(0).size(), 5u);
    // Nothing lies beyond the last position.
    for (int p = k_max_lap_positions - 3; p < k_max_lap_positions; ++p)
        set_gate_time(0, p, 2100);
    ASSERT_EQ(rider_position(0), k_max_lap_positions);
    pass(0, checkpoint(k_max_lap_positions), 3000);
    EXPECT_EQ(rider_position(0), k_max_lap_positions);
    EXPECT_EQ(crossing_tick(0, k_max_lap_positions), -1);
}

TEST_F(Race, RewindForgetsLaterPassages)
{
    join(0);
    join(1);
    // Rider 0 skipped position 3 and took it back later.
    stamp_all(0, {1100, 1200, 1300, 1600, 1500});
    stamp_all(1, {1100, 1200, 1300, 1400, 1500, 1600, 1700, 1800, 1900});
    update_standings(2000);
    ASSERT_TRUE(is_finished(1));
    drop_passages_after(1550);
    EXPECT_EQ(ticks_of(0), (std::vector<int>{1100, 1200, 1300, -1, 1500}));
    EXPECT_EQ(rider_position(0), 5);
    EXPECT_EQ(ticks_of(1), (std::vector<int>{1100, 1200, 1300, 1400, 1500}));
    EXPECT_EQ(rider_position(1), 5);
    EXPECT_FALSE(race_state().riders[1].finished);
    EXPECT_FALSE(has_final_standings());
}

}  // namespace
}  // namespace zv::track
