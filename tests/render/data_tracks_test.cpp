// The generated tracks: both load headless with the track module and with
// the test bench, their timing gates make a lap that the checkpoint zones
// allow, a bike launched from the first gate stays on its wheels down the
// start straight, and a generated track is the same on every run.
#include "core/data_file.h"
#include "core/messages.h"
#include "e2e/program.h"
#include "platform/log.h"
#include "sim/maneuver.h"
#include "support/temp_dir.h"
#include "track/race_rules.h"
#include "track/scenery.h"
#include "track/scenery_cameras.h"
#include "track/scenery_flaggers.h"
#include "track/scenery_lighting.h"
#include "track/terrain.h"
#include "track/timing.h"
#include "track/track.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

using namespace zv;
namespace fs = std::filesystem;

const std::string k_datagen = std::string(ZV_BUILD_DIR) + "/zarvox-datagen";
const std::string k_sim = std::string(ZV_BUILD_DIR) + "/zarvox-sim";
const fs::path k_data = ZV_BUILD_DIR;

struct TrackCase {
    const char* folder;
    const char* long_name;
    int gates;
    float straight_seconds;  // a riding bike's time down the start straight
};
const TrackCase k_tracks[] = {{"rabbithill", "Rabbit Hill", 40, 11}, {"arena", "Zarvox Arena Supercross", 22, 9}};

// The tracks the build generated beside the programs (the game_data
// target), loaded from the data folder as the game loads them.
class DataTracks : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dir_ = std::make_unique<test::TempDir>(); }
    static void TearDownTestSuite() { dir_.reset(); }

    void SetUp() override
    {
        for (const TrackCase& t : k_tracks)
            ASSERT_TRUE(fs::exists(k_data / t.folder / "terrain.hf")) << "build the game_data target first";
        home_ = std::make_unique<test::ScopedEnv>("XDG_DATA_HOME", *dir_ / "xdg");
        data_ = std::make_unique<test::ScopedEnv>("ZV_HOME", k_data.string());
        log_ = std::make_unique<test::ScopedEnv>("TORV_LOGFILE", *dir_ / "log.txt");
        core::reset_data_files();
    }
    void TearDown() override
    {
        track::free_track();
        platform::log_close();
        core::reset_data_files();
    }

    static bool load(const TrackCase& t)
    {
        track::set_track_list({"arena", "rabbithill"}, {"Zarvox Arena Supercross", "Rabbit Hill"});
        track::set_current_track(t.folder);
        return track::load_track();
    }

    static inline std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<test::ScopedEnv> home_, data_, log_;
};

// Each generated track loaded, with no messages before it.
class DataTrack : public DataTracks, public ::testing::WithParamInterface<TrackCase> {
protected:
    void SetUp() override
    {
        DataTracks::SetUp();
        core::clear_messages();
        ASSERT_TRUE(load(t));
    }
    const TrackCase& t = GetParam();
};

INSTANTIATE_TEST_SUITE_P(Generated, DataTrack, ::testing::ValuesIn(k_tracks),
                         [](const ::testing::TestParamInfo<TrackCase>& param) {
                             return std::string(param.param.folder);
                         });

TEST_P(DataTrack, LoadsHeadlessWithEveryFile)
{
    // Every file parses without a warning or a missing file.
    for (int back = 0; back < core::k_message_ring_lines && *core::message_line(back); ++back) {
        std::string_view line = core::message_line(back);
        EXPECT_EQ(line.find("warning"), std::string_view::npos) << line;
        EXPECT_EQ(line.find("Can't"), std::string_view::npos) << line;
    }
    EXPECT_EQ(track::current_track_long_name(), t.long_name);
    const track::Terrain& ground = track::loaded_terrain();
    EXPECT_TRUE(ground.grid_side == 513 || ground.grid_side == 1025);
    EXPECT_EQ(ground.shading.size(), static_cast<std::size_t>(ground.grid_side) * ground.grid_side * 3);
    EXPECT_EQ(ground.shadows.size(), static_cast<std::size_t>(ground.grid_side) * ground.grid_side);
    // Surfaces: several tiles, every one with its own friction curve.
    ASSERT_GE(ground.tiles.size(), 4u);
    EXPECT_NE(ground.tiles[0].friction[1].speed, 0.0f);
    EXPECT_EQ(ground.tiles[1].roost[0].mode, 1);
    const track::TrackTiming& timing = track::track_timing();
    ASSERT_TRUE(timing.has_timing());
    EXPECT_EQ(static_cast<int>(timing.gates.size()), t.gates);
    EXPECT_NE(timing.first_lap, timing.normal_lap);
    // Every statue stands with its shape (a missing one would be a
    // warning and no shape).
    int with_shape = 0;
    for (const track::TrackObject& o : track::track_objects())
        with_shape += o.shape.has_value();
    EXPECT_EQ(with_shape, track::track_object_count());
    EXPECT_GT(track::track_object_count(), t.gates + 10);
    EXPECT_GT(track::billboard_count(), track::k_roost_billboards);
    EXPECT_GE(track::flaggers().corners.size(), 1u);
    EXPECT_GE(track::cameras().size(), 4u);
    EXPECT_GT(track::lighting().fog_density, 0.0f);
    for (int c = 1; c < static_cast<int>(timing.checkpoints.size()); ++c)
        EXPECT_GE(track::camera_for_checkpoint(c), 0) << c;
    // The start line decal (headless runs load no decal textures, so
    // the file and its picture are checked as data).
    auto decals = test::read_file(k_data / t.folder / "decals");
    ASSERT_TRUE(decals);
    float x, z, angle, size, aspect;
    char name[256];
    ASSERT_EQ(std::sscanf(decals->c_str(), "[ %f %f ] %f %f %f %255s", &x, &z, &angle, &size, &aspect, name), 6);
    EXPECT_TRUE(core::open_data_file(name, "rb")) << name;
    // It runs across every place of the gate.
    EXPECT_GE(size * aspect, (t.gates - 1) * 3.2f);
}

TEST_F(DataTracks, TheTestBenchReportsBothTracks)
{
    for (const TrackCase& t : k_tracks) {
        test::RunResult r = test::run_program(k_sim, {"--track", t.folder, "--info"},
                                              {{"ZV_HOME", k_data.string()}, {"XDG_DATA_HOME", *dir_ / "xdg2"}},
                                              *dir_ / "sim");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(std::string("dir=") + t.folder + "\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("gatecount=" + std::to_string(t.gates) + "\n"), std::string::npos) << r.out;
    }
}

// Rides from checkpoint centre to checkpoint centre in lap order, a step of
// two feet at a time, through the race rules' passage test.
TEST_P(DataTrack, WalkingTheCheckpointsInLapOrderCompletesTwoLaps)
{
    const track::TrackTiming& timing = track::track_timing();
    track::RaceSetup setup;
    setup.laps = 2;
    setup.track_name = t.folder;
    track::begin_race(setup);
    track::set_rider(0, {});
    int tick = 0;
    const track::StartingGate& g = timing.gates[0];
    float x = g.x, z = g.z;
    // The first lap from the gate, then one normal lap: two laps in all.
    long long positions = timing.first_count() + static_cast<long long>(timing.normal_count());
    for (long long p = 0; p < positions; ++p) {
        const track::Checkpoint* c = track::checkpoint_of_position(timing, p);
        ASSERT_TRUE(c);
        float dx = c->x - x, dz = c->z - z;
        int steps = std::max(1, static_cast<int>(std::hypot(dx, dz) / 2));
        for (int s = 1; s <= steps; ++s)
            track::update_timing(0, x + dx * s / steps, z + dz * s / steps, ++tick);
        x = c->x, z = c->z;
        ASSERT_EQ(track::rider_position(0), p + 1) << "checkpoint " << p << " was not taken in order";
    }
    EXPECT_EQ(track::laps_completed(0), 2);
    EXPECT_TRUE(track::is_finished(0));
    for (long long p = 0; p < positions; ++p)
        EXPECT_GT(track::crossing_tick(0, p), 0) << p;
    EXPECT_EQ(track::cutting_penalty(0), 0);
}

TEST_P(DataTrack, ABikeFromTheFirstGateStaysOnItsWheelsDownTheStartStraight)
{
    const track::StartingGate& g = track::track_timing().gates[0];
    const track::Terrain& ground = track::loaded_terrain();
    sim::StartPose start{{g.x, track::terrain_height(ground, g.x, g.z), g.z}, g.heading};
    sim::ManeuverOptions options;
    options.model = "250sxf(2017)";
    options.maneuver = sim::Maneuver::ride;
    options.seconds = t.straight_seconds;
    sim::ManeuverReport report = sim::run_maneuver(ground, std::span(&start, 1), options);
    ASSERT_EQ(report.riders.size(), 1u);
    const sim::RiderReport& r = report.riders[0];
    EXPECT_FALSE(r.nan);
    EXPECT_EQ(r.knockouts, 0);
    EXPECT_LT(r.max_abs_lean_deg, 30.0f);
    EXPECT_GT(r.max_speed_mph, 15.0f);
}

TEST_P(DataTrack, TheStartStraightIsLevelAndTheCourseHasJumps)
{
    const track::TrackTiming& timing = track::track_timing();
    const track::Terrain& ground = track::loaded_terrain();
    // From the gate to the first lap checkpoint after the holeshot line.
    const track::StartingGate& g = timing.gates[static_cast<std::size_t>(timing.gates.size() / 2)];
    const track::Checkpoint& c = timing.checkpoints[static_cast<std::size_t>(timing.first_lap[1])];
    float h0 = track::terrain_height(ground, g.x, g.z);
    for (int k = 0; k <= 40; ++k) {
        float x = g.x + (c.x - g.x) * k / 40, z = g.z + (c.z - g.z) * k / 40;
        EXPECT_NEAR(track::terrain_height(ground, x, z), h0, 6.0f) << k;
    }
    // Somewhere along the lap the ground rises 4 feet or more within 20
    // feet: a jump face.
    bool face = false;
    for (std::size_t k = 1; k < timing.checkpoints.size() && !face; ++k) {
        const track::Checkpoint& a = timing.checkpoints[k - 1];
        const track::Checkpoint& b = timing.checkpoints[k];
        float len = std::hypot(b.x - a.x, b.z - a.z);
        for (float s = 0; s + 20 < len && !face; s += 2) {
            float x0 = a.x + (b.x - a.x) * s / len, z0 = a.z + (b.z - a.z) * s / len;
            float x1 = a.x + (b.x - a.x) * (s + 20) / len, z1 = a.z + (b.z - a.z) * (s + 20) / len;
            face = track::terrain_height(ground, x1, z1) - track::terrain_height(ground, x0, z0) > 4.0f;
        }
    }
    EXPECT_TRUE(face);
}

TEST_P(DataTrack, TheGatesStandInOneRowAcrossTheStartPad)
{
    const auto& gates = track::track_timing().gates;
    const track::Terrain& ground = track::loaded_terrain();
    ASSERT_GE(gates.size(), 2u);
    float h = gates[0].heading;
    // Across the riding direction -(sin h, cos h): along (cos h, -sin h).
    std::vector<float> across;
    for (const track::StartingGate& g : gates) {
        EXPECT_NEAR(g.heading, h, 1e-5f);
        float along = -(g.x - gates[0].x) * std::sin(h) - (g.z - gates[0].z) * std::cos(h);
        EXPECT_NEAR(along, 0.0f, 0.01f);
        across.push_back((g.x - gates[0].x) * std::cos(h) - (g.z - gates[0].z) * std::sin(h));
        // Every place stands on the hard-packed start pad.
        const track::TileType* tile = track::terrain_tile(ground, g.x, g.z);
        ASSERT_TRUE(tile);
        EXPECT_EQ(tile->texture_name, "@tiles/hardpack-repeat.png");
    }
    std::sort(across.begin(), across.end());
    for (std::size_t k = 1; k < across.size(); ++k)
        EXPECT_NEAR(across[k] - across[k - 1], 3.2f, 0.01f);
}

TEST_P(DataTrack, StatuesAndTreesStandOffTheRidingSurface)
{
    const track::Terrain& ground = track::loaded_terrain();
    auto on_track = [&](float x, float z) {
        const track::TileType* tile = track::terrain_tile(ground, x, z);
        return tile && (tile->texture_name == "@tiles/loam-repeat.png" ||
                        tile->texture_name == "@tiles/hardpack-repeat.png");
    };
    int gates = static_cast<int>(track::track_timing().gates.size());
    for (int i = gates; i < track::track_object_count(); ++i) {
        const track::TrackObject& o = track::track_object(i);
        EXPECT_FALSE(on_track(o.x, o.z)) << o.model_name << " at " << o.x << ", " << o.z;
    }
    for (int i = track::first_editable_billboard(); i < track::billboard_count(); ++i) {
        const track::Billboard& b = track::billboard(i);
        EXPECT_FALSE(on_track(b.x, b.z)) << b.texture_name << " at " << b.x << ", " << b.z;
    }
}

TEST_F(DataTracks, TheSeriesUsesBothTracks)
{
    auto text = test::read_file(k_data / "zarvox_cup.series");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("\"Zarvox Cup\"\n", 0), 0u);
    EXPECT_NE(text->find(" rabbithill\n"), std::string::npos);
    EXPECT_NE(text->find(" arena\n"), std::string::npos);
}

std::map<std::string, std::string> folder_files(const fs::path& dir)
{
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            out[fs::relative(e.path(), dir).string()] = *test::read_file(e.path());
    return out;
}

TEST(DataGeneration, ATrackIsTheSameOnEveryRun)
{
    test::TempDir dir;
    for (const char* out : {"a", "b"}) {
        test::RunResult r = test::run_program(k_datagen, {"--out", dir / out, "--part", "arena"}, {}, dir / "run");
        ASSERT_EQ(r.status, 0) << r.err;
    }
    auto a = folder_files(dir / "a"), b = folder_files(dir / "b");
    ASSERT_GE(a.size(), 14u);
    EXPECT_EQ(a, b);
}

TEST(DataGeneration, ASeededTrackLoadsAndDiffersByItsSeed)
{
    test::TempDir dir;
    for (const char* seed : {"42", "43"}) {
        test::RunResult r = test::run_program(
            k_datagen, {"--track", std::string("fresh") + seed, "--seed", seed, "--out", dir / "data", "--report"},
            {}, dir / "run");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("40 gates"), std::string::npos) << r.out;
    }
    EXPECT_NE(test::read_file(dir / "data/fresh42/terrain.png"), test::read_file(dir / "data/fresh43/terrain.png"));
    test::ScopedEnv home("XDG_DATA_HOME", dir / "xdg");
    test::ScopedEnv data("ZV_HOME", dir / "data");
    test::ScopedEnv log("TORV_LOGFILE", dir / "log.txt");
    core::reset_data_files();
    track::set_current_track("fresh42");
    EXPECT_TRUE(track::load_track());
    EXPECT_TRUE(track::track_timing().has_timing());
    track::free_track();
    platform::log_close();
    core::reset_data_files();
}

TEST(DataGeneration, RefusesBadTrackRequests)
{
    test::TempDir dir;
    EXPECT_EQ(test::run_program(k_datagen, {"--track", "x", "--out", dir.str()}, {}, dir / "r1").status, 2);
    EXPECT_EQ(test::run_program(k_datagen, {"--track", "../up", "--seed", "1", "--out", dir.str()}, {}, dir / "r2").status, 2);
    EXPECT_EQ(test::run_program(k_datagen, {"--seed", "x1", "--track", "a", "--out", dir.str()}, {}, dir / "r3").status, 2);
    EXPECT_EQ(test::run_program(k_datagen, {"--part", "sky", "--out", dir.str()}, {}, dir / "r4").status, 2);
}

}  // namespace
