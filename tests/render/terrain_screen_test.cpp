// The ground on a real (virtual) screen, once per terrain rendering method:
// the generated "rabbithill" track is loaded with each of the five methods
// and drawn from behind a rider; the lower part of every picture must be
// ground (not sky, not black, not a cleared screen; with the tile pictures'
// detail in it except for "Software", which keeps the near ground to its
// vertex shading), and the shader methods must really draw through the ground
// program when the driver has one. A last test looks up into a top corner
// of the sky box, where the faces of a badly made sky meet in a seam. Needs
// a display (run under xvfb-run) and the generated game data; skipped
// otherwise.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "core/settings.h"
#include "platform/log.h"
#include "platform/window.h"
#include "render/camera.h"
#include "render/gl.h"
#include "render/gl_caps.h"
#include "render/bike_draw.h"
#include "render/render_stats.h"
#include "render/renderer.h"
#include "render/shaders.h"
#include "render/terrain_textures.h"
#include "render/world.h"
#include "sim/bike.h"
#include "sim/world.h"
#include "support/screen_window.h"
#include "support/temp_dir.h"
#include "track/ground_fixture.h"
#include "track/terrain.h"
#include "track/terrain_hooks.h"
#include "track/timing.h"
#include "track/track.h"

// Sanitizer builds: the GL driver is unloaded when the display closes, and
// what it leaks then has no module left to name or suppress.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

namespace zv::render {
namespace {

constexpr int k_width = 640, k_height = 360;

using test::read_rect;
using test::stats_of;

// Mean difference between horizontally neighbouring pixels of a w-wide
// rectangle: the tile pictures' grain; smooth vertex shading alone stays
// far below one step.
double grain_of(const std::vector<std::uint8_t>& px, int w)
{
    std::size_t rows = px.size() / 3 / static_cast<std::size_t>(w);
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t y = 0; y < rows; ++y)
        for (int x = 0; x + 1 < w; ++x)
            for (int c = 0; c < 3; ++c) {
                std::size_t k = (y * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)) * 3 + static_cast<std::size_t>(c);
                sum += std::abs(px[k] - px[k + 3]);
                ++n;
            }
    return n ? sum / static_cast<double>(n) : 0;
}

// With ZV_RENDER_SHOTS set to a folder, each picture is also saved there.
void save_shot(const std::string& name) { test::save_shot(name + ".png", k_width, k_height); }

class TerrainScreen : public ::testing::TestWithParam<int> {
protected:
    static void SetUpTestSuite()
    {
        if (!test::open_screen_window(k_width, k_height, "terrain-screen", "rabbithill/terrain.hf"))
            return;
        platform::begin_frame();
        RendererOptions o;
        o.use_shaders = true;
        init_renderer(o);
        world_ = sim::create_world().release();
        ready_ = true;
    }
    static void TearDownTestSuite()
    {
        // Both suites of this fixture set up on their own: the second must
        // not take the first one's window for its own.
        ready_ = false;
        if (bike_)
            std::unique_ptr<sim::Bike> gone(bike_);
        bike_ = nullptr;
        delete world_;
        world_ = nullptr;
        test::close_screen_window([] {
            track::free_track();
            shutdown_renderer();
        });
    }
    void SetUp() override
    {
        if (!ready_)
            GTEST_SKIP() << "needs a display and the generated game data";
        set_projection(k_width, k_height, 110);
    }

    // Loads the track with a method and puts a bike in the first gate.
    static bool load_with(int method)
    {
        if (bike_)
            std::unique_ptr<sim::Bike> gone(bike_);
        bike_ = nullptr;
        core::settings().render_texture.index = method;
        track::set_terrain_texture_method(terrain_texture_method(method), 256);
        track::set_current_track("rabbithill");
        begin_track_load();
        bool loaded = track::load_track();
        end_track_load();
        if (!loaded)
            return false;
        world_->terrain = &track::loaded_terrain();
        auto bike = sim::create_bike(*world_, "450sxf(2017)", 0, "1");
        track::StartPose p = track::start_position(track::track_timing(), 0, track::loaded_terrain().field_size);
        sim::place_bike(*bike, {p.x, track::terrain_height(p.x, p.z) + 0.1f, p.z}, p.heading);
        bike_ = bike.release();
        return true;
    }
    static WorldFrame frame()
    {
        WorldFrame f;
        f.tick = 100;
        f.viewed_slot = 0;
        f.bikes.push_back({bike_, 0});
        return f;
    }

    static inline bool ready_ = false;
    static inline sim::SimWorld* world_ = nullptr;
    static inline sim::Bike* bike_ = nullptr;
};

const char* const k_method_names[k_terrain_method_count] = {"software", "hardware_copy", "hardware_direct",
                                                            "shaders_copy", "shaders_direct"};

TEST_P(TerrainScreen, EveryMethodDrawsTexturedGround)
{
    const int method = GetParam();
    const char* name = k_method_names[method];
    // Mesa offers frame buffer objects and shaders: every method is there.
    EXPECT_TRUE(terrain_method_available(method)) << name;
    ASSERT_TRUE(load_with(method)) << name;
    const track::Terrain& t = track::loaded_terrain();
    EXPECT_EQ(t.texture_method, terrain_texture_method(method)) << name;

    ChasePoints c = chase_points(*bike_, {0, 2.52f, 0.52f}, 5, 10);
    look_at_camera(c.eye, c.target, frame());
    save_shot(std::string("terrain_") + name);
    std::vector<std::uint8_t> ground_px = read_rect(0, 0, k_width, 90);
    test::ColourStats ground = stats_of(ground_px);
    test::ColourStats top = stats_of(read_rect(0, 300, k_width, 60));
    EXPECT_LT(ground.sky_blue, 0.5) << name << ": ground at the bottom";
    EXPECT_GT(ground.mean, 30) << name << ": not black";
    EXPECT_LT(ground.mean, 240) << name << ": not washed out";
    EXPECT_GT(ground.distinct, 8) << name << ": a picture, not a cleared screen";
    double grain = grain_of(ground_px, k_width);
    std::printf("%s: ground grain %.2f, mean %.1f\n", name, grain, ground.mean);
    if (method == static_cast<int>(TerrainMethod::software)) {
        // Software keeps the near ground to its vertex shading.
        EXPECT_LT(grain, 0.3) << name << ": no tile pictures up close";
    } else {
        EXPECT_GT(grain, 0.3) << name << ": the tile pictures' grain";
    }
    EXPECT_GT(top.sky_blue, 0.5) << name << ": sky above";
    EXPECT_GT(render_stats().now.ground_polygons, 100) << name;

    // Looking over the course from above: the far ground shows the
    // low-detail textures.
    const dReal* p = dBodyGetPosition(bike_->body(sim::k_frame));
    Vec3f from = {static_cast<float>(p[0]), static_cast<float>(p[1]) + 150, static_cast<float>(p[2])};
    look_at_camera(from, {t.field_size / 2, 0, t.field_size / 2}, frame());
    save_shot(std::string("terrain_far_") + name);
    test::ColourStats far = stats_of(read_rect(0, 0, k_width, 200));
    EXPECT_GT(far.mean, 30) << name;
    EXPECT_GT(far.distinct, 20) << name;

    if (terrain_method_uses_shaders(method) && shaders_in_use()) {
        EXPECT_TRUE(ground_program_ready()) << name << ": the ground program built";
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, TerrainScreen, ::testing::Range(0, k_terrain_method_count),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return std::string(k_method_names[param.param]);
                         });

// "Ground Texture Levels" at its lowest leaves the tiles a few texels wide:
// the same view loses the grain the full pictures give it.
TEST_F(TerrainScreen, GroundTextureLevelsChangeTheGrain)
{
    double grain[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        set_ground_texture_level_bias(k == 0 ? 0 : 10);
        ASSERT_TRUE(load_with(static_cast<int>(TerrainMethod::hardware_copy)));
        ChasePoints c = chase_points(*bike_, {0, 2.52f, 0.52f}, 5, 10);
        look_at_camera(c.eye, c.target, frame());
        save_shot(k == 0 ? "levels_full" : "levels_lowest");
        grain[k] = grain_of(read_rect(0, 0, k_width, 90), k_width);
    }
    set_ground_texture_level_bias(-1);
    std::printf("grain with every level %.2f, with the lowest %.2f\n", grain[0], grain[1]);
    EXPECT_GT(grain[0], grain[1] * 1.5);
}

// The rider's number ("1") seen square-on from either side of the bike: the
// digit faces its reader (culled from behind, so a plate turned the wrong
// way shows nothing) and reads the right way round: a 1's stroke stands on
// the right-hand side of its place, right of the plate's middle; mirrored it
// would stand left of it.
TEST_F(TerrainScreen, NumberReadsFromBothSides)
{
    if (!bike_) {
        ASSERT_TRUE(load_with(0));
    }
    auto plates = number_plates(bike_->info);
    const dReal* p = dBodyGetPosition(bike_->body(sim::k_frame));
    const dReal* r = dBodyGetRotation(bike_->body(sim::k_frame));
    auto world = [&](const Vec3f& v, bool point) {
        Vec3f w;
        for (int i = 0; i < 3; ++i)
            w[static_cast<std::size_t>(i)] = static_cast<float>((point ? p[i] : 0) + r[4 * i] * v[0] + r[4 * i + 1] * v[1] +
                                                                r[4 * i + 2] * v[2]);
        return w;
    };
    for (int side = 1; side <= 2; ++side) {
        const NumberPlate& plate = plates[static_cast<std::size_t>(side)];
        Vec3f centre = world(plate.centre, true);
        Vec3f out = world({plate.centre[0] > 0 ? 1.0f : -1.0f, 0, 0}, false);
        Vec3f eye = {centre[0] + out[0] * 0.8f, centre[1] + out[1] * 0.8f, centre[2] + out[2] * 0.8f};
        look_at_camera(eye, centre, frame());
        save_shot(side == 1 ? "plate_left" : "plate_right");
        // A band across the middle of the picture, where the plate is.
        constexpr int w = 60, h = 30;
        auto px = read_rect(k_width / 2 - w / 2, k_height / 2 - h / 2, w, h);
        int dark = 0;
        double sum_x = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::size_t k = (static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)) * 3;
                if (px[k] < 40 && px[k + 1] < 40 && px[k + 2] < 40) {
                    ++dark;
                    sum_x += x;
                }
            }
        ASSERT_GT(dark, 20) << "side " << side << ": the digit drawn";
        EXPECT_GT(sum_x / dark, w / 2.0 + 4) << "side " << side << ": not mirrored";
    }
}

// Copying the low-detail textures off the frame buffer needs a viewport at
// least as wide and as tall as one texture; otherwise they are composed in
// memory, and the log says so.
TEST_F(TerrainScreen, SmallViewportComposesLowDetailTexturesInMemory)
{
    ASSERT_TRUE(load_with(static_cast<int>(TerrainMethod::hardware_copy)));
    track::Terrain& t = track::loaded_terrain();
    ASSERT_EQ(t.texture_method, 2);
    const int e = low_detail_edge(t.texture_edge);
    const std::string suite_log = std::getenv("TORV_LOGFILE");
    const std::string log = suite_log + ".lod";
    struct Row {
        int w, h;
        bool in_memory;
    } rows[] = {{e - 1, e, true}, {e, e - 1, true}, {e, e, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.w) + "x" + std::to_string(r.h) + " for " + std::to_string(e));
        platform::log_close();
        std::filesystem::remove(log);
        setenv("TORV_LOGFILE", log.c_str(), 1);
        glViewport(0, 0, r.w, r.h);
        track::terrain_render_hooks()->create_low_detail_textures(t, track::low_detail_texture_count(t));
        platform::log_close();
        const bool said = test::read_file(log).value_or("").find("composed in memory: the window is smaller than " +
                                                                 std::to_string(e) + "x" + std::to_string(e)) !=
                          std::string::npos;
        EXPECT_EQ(said, r.in_memory);
    }
    glViewport(0, 0, k_width, k_height);
    setenv("TORV_LOGFILE", suite_log.c_str(), 1);
}

// A ground without tile types draws its light times the middle grey: shading
// (100, 50, 200) comes out as itself.
TEST_F(TerrainScreen, RegionWithoutTileTypesDrawsItsLight)
{
    track::Terrain t = test::square_ground(1, 4);
    t.shading.clear();
    for (int k = 0; k < 25; ++k)
        t.shading.insert(t.shading.end(), {100, 50, 200});
    t.shadows.assign(25, 0);
    draw_region_from_above(t, {0, 0, 4, 4}, 32, {}, {});
    const std::vector<std::uint8_t> px = read_rect(4, 4, 24, 24);
    const int want[3] = {100, 50, 200};
    int off = 0;
    for (std::size_t k = 0; k < px.size(); ++k)
        off += std::abs(px[k] - want[k % 3]) > 1;
    EXPECT_EQ(off, 0) << "first pixel " << int(px[0]) << " " << int(px[1]) << " " << int(px[2]);
}

TEST_F(TerrainScreen, SkyCornerHasNoSeam)
{
    if (!track::track_loaded()) {
        ASSERT_TRUE(load_with(0));
    }
    // From high above the field, looking up into the north-east top corner
    // of the sky box, then into the south-west one.
    for (int corner = 0; corner < 2; ++corner) {
        float s = corner ? -1.0f : 1.0f;
        Vec3f from = {1024, 400, 1024};
        look_at_camera(from, {from[0] + s * 100, from[1] + 100, from[2] - s * 100}, frame());
        save_shot(corner ? "sky_corner_sw" : "sky_corner_ne");
        test::ColourStats all = stats_of(read_rect(0, 0, k_width, k_height));
        EXPECT_GT(all.sky_blue, 0.3) << "corner " << corner;
        // Clouds are soft greyish white; only a seam leaves pure white.
        EXPECT_LT(all.near_white, 0.002) << "corner " << corner;
    }
}

}  // namespace
}  // namespace zv::render
