// The body parts' collision spheres: a bike built with the generated game
// data rides on the shipped shape files; a missing or damaged file leaves
// that part on its built-in spheres and logs it once.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/data_file.h"
#include "platform/log.h"
#include "sim/bike.h"
#include "sim/bike_shapes.h"
#include "sim/world.h"
#include "support/temp_dir.h"
#include "track/shape.h"

namespace zv::sim {
namespace {

// Environment of one test: the data folder, a private home and log.
class BikeShapes : public ::testing::Test {
protected:
    void use_data_folder(const std::string& folder)
    {
        data_ = std::make_unique<test::ScopedEnv>("ZV_HOME", folder);
        home_ = std::make_unique<test::ScopedEnv>("XDG_DATA_HOME", dir_ / "xdg");
        log_ = std::make_unique<test::ScopedEnv>("TORV_LOGFILE", dir_ / "log.txt");
        core::reset_data_files();
        track::clear_shape_cache();
        platform::log_close();
        std::filesystem::remove(dir_ / "log.txt");
    }
    void TearDown() override
    {
        track::clear_shape_cache();
        core::reset_data_files();
        platform::log_close();
    }
    // The log's warnings so far (every line is flushed), without their time
    // stamps.
    std::vector<std::string> warnings()
    {
        std::vector<std::string> out;
        std::string text = test::read_file(dir_ / "log.txt").value_or("");
        for (size_t at = text.find("Warning"); at != std::string::npos; at = text.find("Warning", at + 1))
            out.push_back(text.substr(at, text.find('\n', at) - at));
        return out;
    }
    static size_t count(const Bike& b, int part) { return b.shapes[static_cast<size_t>(part)].size(); }

    test::TempDir dir_;
    std::unique_ptr<test::ScopedEnv> data_, home_, log_;
};

TEST_F(BikeShapes, GeneratedDataGivesEveryClassItsShippedSpheres)
{
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(ZV_BUILD_DIR) / "zzzz.saf"))
        << "build the game_data target first";
    use_data_folder(ZV_BUILD_DIR);
    auto world = create_world();
    for (const char* model : {"450sxf(2017)", "350sxf(2017)", "crf250(2017)", "250sx(2012)", "cr125", "rs50cr"}) {
        SCOPED_TRACE(model);
        auto bike = create_bike(*world, model, 1, "1");
        EXPECT_EQ(count(*bike, k_frame), 6u);
        EXPECT_EQ(count(*bike, k_fork_upper), 3u);
        EXPECT_EQ(count(*bike, k_fork_lower), 2u);
        EXPECT_EQ(count(*bike, k_swingarm), 4u);
        EXPECT_EQ(count(*bike, k_rider), 7u);
        EXPECT_EQ(count(*bike, k_front_wheel) + count(*bike, k_rear_wheel), 0u);
        // The left fork leg's sphere sits just above the axle, in the fork
        // lower's own frame: axle (0, 1.09, 1.11) less the body (0, 1.77, 1.59).
        const track::ShapeSphere& leg = bike->shapes[k_fork_lower][0];
        EXPECT_NEAR(leg.x, -0.8333f / 2, 1e-4f);
        EXPECT_NEAR(leg.y, 1.09f - 1.77f + 0.25f, 1e-4f);
        EXPECT_NEAR(leg.z, 1.11f - 1.59f + 0.05f, 1e-4f);
        EXPECT_FLOAT_EQ(leg.radius, 0.16f);
        EXPECT_FLOAT_EQ(leg.spring, 25000.0f);
        // The rider is soft: the helmet first.
        EXPECT_FLOAT_EQ(bike->shapes[k_rider][0].radius, 0.55f);
        EXPECT_FLOAT_EQ(bike->shapes[k_rider][0].friction, 0.8f);
        EXPECT_EQ(load_bike_shapes(*bike), 5);
    }
    EXPECT_EQ(warnings(), std::vector<std::string>{});
}

TEST_F(BikeShapes, MissingOrDamagedFilesFallBackToBuiltInSpheresAndWarnOnce)
{
    std::filesystem::path data = dir_.path() / "data";
    test::write_file(data / "bike_frame_450f.shp", "2\n0 0 0 1 1 2500 250\n0 1 0 1 1 2500\n");  // a number short
    test::write_file(data / "fork_upper_450f.shp", "one sphere\n");
    test::write_file(data / "fork_lower_450f.shp", "1\n0.5 -0.25 0.125 0.2 0.7 9000 900\n");
    test::write_file(data / "swingarm_450f.shp", "0\n");  // well formed: no spheres at all
    // "@rider.shp" is not there.
    use_data_folder(data.string());

    auto world = create_world();
    auto first = create_bike(*world, "450sxf(2017)", 1, "1");
    auto builtin = create_bike(*world, "450sxf(2017)", 2, "2");
    set_builtin_shapes(*builtin);
    for (int part : {k_frame, k_fork_upper, k_rider}) {
        SCOPED_TRACE(part);
        ASSERT_EQ(count(*first, part), count(*builtin, part));
        EXPECT_GT(count(*first, part), 0u);
        EXPECT_FLOAT_EQ(first->shapes[static_cast<size_t>(part)][0].radius,
                        builtin->shapes[static_cast<size_t>(part)][0].radius);
    }
    ASSERT_EQ(count(*first, k_fork_lower), 1u);
    const track::ShapeSphere& s = first->shapes[k_fork_lower][0];
    EXPECT_FLOAT_EQ(s.x, 0.5f);
    EXPECT_FLOAT_EQ(s.y, -0.25f);
    EXPECT_FLOAT_EQ(s.z, 0.125f);
    EXPECT_FLOAT_EQ(s.radius, 0.2f);
    EXPECT_FLOAT_EQ(s.friction, 0.7f);
    EXPECT_FLOAT_EQ(s.spring, 9000.0f);
    EXPECT_FLOAT_EQ(s.damping, 900.0f);
    EXPECT_EQ(count(*first, k_swingarm), 0u);

    std::vector<std::string> expected = {"Warning: missing shape file @bike_frame_450f.shp",
                                         "Warning: missing shape file @fork_upper_450f.shp",
                                         "Warning: missing shape file @rider.shp"};
    EXPECT_EQ(warnings(), expected);
    // Loading again (the second bike did) keeps the parts as they were and
    // stays quiet; after the cache is emptied the files are tried anew.
    EXPECT_EQ(load_bike_shapes(*first), 2);
    EXPECT_EQ(count(*first, k_rider), count(*builtin, k_rider));
    EXPECT_EQ(warnings(), expected);
    track::clear_shape_cache();
    create_bike(*world, "450sxf(2017)", 3, "3");
    std::vector<std::string> twice = expected;
    twice.insert(twice.end(), expected.begin(), expected.end());
    EXPECT_EQ(warnings(), twice);

    // A part whose row names no shape file keeps its built-in spheres, quietly.
    first->info.art.fork_lower_shape = "";
    first->info.art.swingarm_shape = nullptr;
    EXPECT_EQ(load_bike_shapes(*first), 0);
    EXPECT_EQ(count(*first, k_fork_lower), 0u);
    EXPECT_EQ(count(*first, k_swingarm), count(*builtin, k_swingarm));
    EXPECT_EQ(warnings(), twice);
}

}  // namespace
}  // namespace zv::sim
