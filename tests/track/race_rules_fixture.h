// A small course for the race-rule tests: five checkpoints on a line, the
// first lap 0 1 2 and every later lap 3 4 2, in a private home folder (a
// race that ends writes its results file there).
#pragma once

#include "track/race_rules.h"
#include "track/timing.h"
#include "track_fixture.h"

#include <initializer_list>
#include <vector>

namespace zv::test {

class RaceCourse : public TrackFolders {
protected:
    static constexpr int k_start = 1000;  // S

    void SetUp() override
    {
        track::TrackTiming t;
        for (int i = 0; i < 5; ++i) {
            track::Checkpoint c;
            c.radius = 10;
            c.x = 100.0f * static_cast<float>(i);
            c.z = 0;
            c.dir_x = 1;
            t.checkpoints.push_back(c);
        }
        t.first_lap = {0, 1, 2};
        t.normal_lap = {3, 4, 2};
        t.first_lap_autopilot = 3;
        t.normal_lap_autopilot = 3;
        track::set_track_timing(t);
        start(0, 3);
    }
    void TearDown() override
    {
        track::begin_race({});
        track::free_timing();
    }

    // A race of laps (time = 0) or a timed race with extra laps.
    void start(int time_limit_ticks, int laps, bool online = false)
    {
        track::RaceSetup s;
        s.start_tick = k_start;
        s.time_limit_ticks = time_limit_ticks;
        s.laps = laps;
        s.online = online;
        s.track_name = "mini";
        track::begin_race(s);
    }

    void join(int slot, track::RiderSource source = track::RiderSource::robot, const char* number = "1",
              const char* bike = "CR250")
    {
        track::RiderEntry e;
        e.source = source;
        e.number = number;
        e.bike_name = bike;
        track::set_rider(slot, e);
    }

    // The front wheel just past checkpoint c's centre.
    static void pass(int slot, int checkpoint, int tick)
    {
        track::update_timing(slot, 100.0f * static_cast<float>(checkpoint) + 1.0f, 0.0f, tick);
    }
    // The front wheel far from every checkpoint.
    static void ride(int slot, int tick) { track::update_timing(slot, 50.0f, 500.0f, tick); }

    // The checkpoint at lap position p of this course.
    static int checkpoint(int p)
    {
        static constexpr int normal[] = {3, 4, 2};
        return p < 3 ? p : normal[(p - 3) % 3];
    }
    // Passes positions from the rider's position on at the given ticks.
    static void pass_in_order(int slot, std::initializer_list<int> ticks)
    {
        for (int tick : ticks)
            pass(slot, checkpoint(track::rider_position(slot)), tick);
    }
    // Stamps positions 0.. with the given ticks (-1 leaves a position passed over).
    static void stamp_all(int slot, const std::vector<int>& ticks)
    {
        int p = 0;
        for (int tick : ticks) {
            if (tick != -1)
                track::set_gate_time(slot, p, tick);
            ++p;
        }
    }
};

}  // namespace zv::test
