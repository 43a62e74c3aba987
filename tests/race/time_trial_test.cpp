// The time-trial record on the race rules' small course: five checkpoints on
// a line, first lap 0 1 2 (lap end at position 2), later laps 3 4 2.
#include "race/time_trial.h"

#include "../track/race_rules_fixture.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace zv::race {
namespace {

class TrialCourse : public test::RaceCourse {
protected:
    void SetUp() override
    {
        RaceCourse::SetUp();
        start(0, 1000);
        join(0, track::RiderSource::local, "999");
        reset_trial_record();
    }
    // Passes the next position at tick t and lets the record look.
    bool next(int t)
    {
        pass_in_order(0, {t});
        return note_trial_timing(0);
    }
};

TEST_F(TrialCourse, LapsRunFromTheFirstGateAndThenFromLapEndToLapEnd)
{
    // Two gates and the lap end per lap, then the lap's ticks and the best.
    // Position 0 (tick 5000) starts the attempt: the first lap is 1280 ticks
    // after it; the later laps run from lap end to lap end.
    for (auto [a, b, end, last, best] :
         {std::tuple{5000, 5500, 6280, 1280, 1280}, {7000, 7500, 7816, 1536, 1280}, {8000, 8200, 8840, 1024, 1024}}) {
        EXPECT_FALSE(next(a));
        EXPECT_FALSE(next(b));
        EXPECT_TRUE(next(end));
        EXPECT_EQ(std::pair(trial_record().last_ticks, trial_record().best_ticks), std::pair(last, best)) << end;
    }
    EXPECT_EQ(trial_record().laps, 3);
}

TEST_F(TrialCourse, ALapWithAMissedGateIsNotTimedButStartsTheNext)
{
    next(5000);
    next(5500);
    next(6000);
    // Lap 2 skips checkpoint 3 and takes 4 directly.
    pass(0, 4, 6500);
    EXPECT_FALSE(note_trial_timing(0));
    EXPECT_FALSE(next(7000));   // its lap end: not timed
    EXPECT_EQ(trial_record().last_ticks, 1000);
    EXPECT_EQ(trial_record().laps, 1);
    // Riding on, checkpoint 3 is taken back (the scan looks three positions
    // behind), then 4 and the lap end again: that lap end only restarts the
    // attempt, it does not time a lap of the gates re-taken.
    EXPECT_FALSE(next(7300));
    EXPECT_EQ(track::rider_position(0), 4);
    EXPECT_FALSE(next(7600));
    EXPECT_FALSE(next(7900));
    EXPECT_EQ(trial_record().laps, 1);
    next(8200);
    next(8500);
    EXPECT_TRUE(next(8800));    // a clean lap from that lap end
    EXPECT_EQ(std::pair(trial_record().last_ticks, trial_record().best_ticks), std::pair(900, 900));
}

TEST_F(TrialCourse, ARestartAbandonsTheLapUnderWay)
{
    next(5000);
    next(5500);
    next(6000);                  // lap 1: 1000 ticks
    next(6500);
    // Backing up puts the rider before the lap end; reaching it only starts
    // the next attempt, whatever the clock says.
    track::set_rider_position(0, 1);
    abandon_trial_attempt(0);
    EXPECT_FALSE(next(6600));    // position 1 again
    EXPECT_FALSE(next(6700));    // the lap end
    EXPECT_EQ(trial_record().last_ticks, 1000);
    EXPECT_EQ(trial_record().laps, 1);
    next(7000);
    next(7100);
    EXPECT_TRUE(next(7400));
    EXPECT_EQ(std::pair(trial_record().last_ticks, trial_record().best_ticks), std::pair(700, 700));
}

TEST_F(TrialCourse, NothingWithoutTimingOrWithoutProgress)
{
    EXPECT_FALSE(note_trial_timing(0));
    ride(0, 5000);
    EXPECT_FALSE(note_trial_timing(0));
    track::set_track_timing(track::TrackTiming{});
    EXPECT_FALSE(note_trial_timing(0));
    EXPECT_EQ(trial_record().laps, 0);
    EXPECT_EQ(trial_record().best_ticks, 0);
}

}  // namespace
}  // namespace zv::race
