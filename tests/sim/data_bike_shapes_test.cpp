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
    // Every field of a part's spheres in a row.
    static std::vector<float> flat(const Bike& b, int part)
    {
        std::vector<float> out;
        for (const track::ShapeSphere& s : b.shapes[static_cast<size_t>(part)])
            out.insert(out.end(), {s.x, s.y, s.z, s.radius, s.friction, s.spring, s.damping});
        return out;
    }

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
        std::vector<std::size_t> spheres;
        for (int part : {k_frame, k_fork_upper, k_fork_lower, k_swingarm, k_rider})
            spheres.push_back(count(*bike, part));
        EXPECT_EQ(spheres, (std::vector<std::size_t>{6, 3, 2, 4, 7}));
        // The left fork leg's sphere sits just above the axle, in the fork
        // lower's own frame: axle (0, 1.09, 1.11) less the body (0, 1.77, 1.59).
        std::vector<float> leg = flat(*bike, k_fork_lower);
        leg.resize(7);
        const float expected[7] = {-0.8333f / 2, 1.09f - 1.77f + 0.25f, 1.11f - 1.59f + 0.05f, 0.16f, 0.6f, 25000, 1000};
        for (int i = 0; i < 7; ++i)
            EXPECT_NEAR(leg[static_cast<size_t>(i)], expected[i], 1e-4f) << i;
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
        EXPECT_GT(count(*first, part), 0u) << part;
        EXPECT_EQ(flat(*first, part), flat(*builtin, part)) << part;
    }
    EXPECT_EQ(flat(*first, k_fork_lower), (std::vector<float>{0.5f, -0.25f, 0.125f, 0.2f, 0.7f, 9000, 900}));
    EXPECT_EQ(count(*first, k_swingarm), 0u);

    std::vector<std::string> expected = {"Warning: missing shape file @bike_frame_450f.shp",
                                         "Warning: missing shape file @fork_upper_450f.shp",
                                         "Warning: missing shape file @rider.shp"};
    EXPECT_EQ(warnings(), expected);
    // Loading again (the second bike did) keeps the parts as they were and
    // stays quiet; after the cache is emptied the files are tried anew.
    EXPECT_EQ(load_bike_shapes(*first), 2);
    EXPECT_EQ(flat(*first, k_rider), flat(*builtin, k_rider));
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
    EXPECT_EQ(flat(*first, k_swingarm), flat(*builtin, k_swingarm));
    EXPECT_EQ(warnings(), twice);
}

}  // namespace
}  // namespace zv::sim
