// The world on a real (virtual) screen: loads the generated "rabbithill"
// track, puts bikes at the start and draws the rider view, the chase view
// and a trackside camera, then checks by colour statistics that each frame
// shows sky above, ground below and a bike where the camera looks. Needs a
// display (run under xvfb-run) and the generated game data; skipped
// otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/settings.h"
#include "platform/window.h"
#include "render/camera.h"
#include "render/flythrough.h"
#include "render/gl.h"
#include "render/render_stats.h"
#include "render/renderer.h"
#include "render/shaders.h"
#include "render/world.h"
#include "sim/bike.h"
#include "sim/world.h"
#include "support/screen_window.h"
#include "track/scenery_cameras.h"
#include "track/scenery_lighting.h"
#include "track/terrain.h"
#include "track/timing.h"
#include "track/track.h"

// Sanitizer builds: the GL driver is unloaded when the display closes, and
// what it leaks then has no module left to name or suppress; the renderer's
// own memory is checked by the windowless tests.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

namespace zv::render {
namespace {

using test::read_rect;
using test::stats_of;

class WorldScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        int w = 640, h = 360;
        if (const char* size = std::getenv("ZV_RENDER_SIZE"))
            std::sscanf(size, "%dx%d", &w, &h);
        if (!test::open_screen_window(w, h, "render-screen", "rabbithill/terrain.hf"))
            return;
        platform::begin_frame();
        // ZV_BENCH_PRESET picks a graphics preset (1: "High FPS").
        if (const char* preset = std::getenv("ZV_BENCH_PRESET"))
            core::apply_graphics_preset(core::k_graphics_presets[static_cast<std::size_t>(std::atoi(preset) & 3)]);
        RendererOptions o;
        o.use_shaders = core::settings().use_shader.index == 1;
        // The detail values the game derives from the graphics settings at
        // start-up, so a preset draws as it would in the game.
        const core::Settings& s = core::settings();
        o.model_texture_bias = static_cast<int>(std::clamp(10 - s.model_texture_detail.value, 0.0, 10.0));
        double scale = std::clamp(100 - s.model_detail.value, 0.0, 100.0) * 0.02;
        o.lod_scale = static_cast<float>(scale > 1 ? scale * scale * scale : scale);
        o.lod_bias = static_cast<float>(50 - 50 * std::clamp((s.model_detail.value - 10) * 0.05, 0.0, 1.0));
        o.ground_detail_factor = static_cast<float>(0.125 / std::max(s.ground_detail.value, 1.0));
        init_renderer(o);
        int method = core::settings().render_texture.index;
        track::set_terrain_texture_method(method == 0 ? 1 : (method == 1 || method == 3) ? 2 : 3, 256);
        track::set_current_track("rabbithill");
        begin_track_load();
        bool loaded = track::load_track();
        end_track_load();
        if (!loaded)
            return;
        world_ = sim::create_world().release();
        world_->terrain = &track::loaded_terrain();
        for (int slot = 0; slot < 4; ++slot) {
            auto bike = sim::create_bike(*world_, "450sxf(2017)", slot, std::to_string(slot + 1));
            track::StartPose p = track::start_position(track::track_timing(), slot, track::loaded_terrain().field_size);
            sim::place_bike(*bike, {p.x, track::terrain_height(p.x, p.z) + 0.1f, p.z}, p.heading);
            bikes_.push_back(bike.release());
        }
        ready_ = true;
    }
    static void TearDownTestSuite()
    {
        for (sim::Bike* b : bikes_)
            std::unique_ptr<sim::Bike> gone(b);
        bikes_.clear();
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
        int w = 0, h = 0;
        platform::window_size(w, h);
        set_projection(w, h, 110);
    }
    WorldFrame frame()
    {
        WorldFrame f;
        f.tick = 100;
        f.viewed_slot = 0;
        for (std::size_t i = 0; i < bikes_.size(); ++i)
            f.bikes.push_back({bikes_[i], static_cast<int>(i)});
        return f;
    }
    static inline bool ready_ = false;
    static inline sim::SimWorld* world_ = nullptr;
    static inline std::vector<sim::Bike*> bikes_;
};

// With ZV_RENDER_SHOTS set to a folder, each view is also saved there.
void save_shot(const char* view) { test::save_shot(std::string(view) + ".png", 640, 360); }

void expect_world(const char* view)
{
    save_shot(view);
    test::ColourStats top = stats_of(read_rect(0, 300, 640, 60));
    test::ColourStats bottom = stats_of(read_rect(0, 0, 640, 80));
    test::ColourStats all = stats_of(read_rect(0, 0, 640, 360));
    EXPECT_GT(top.sky_blue, 0.5) << view << ": sky at the top";
    EXPECT_LT(bottom.sky_blue, 0.5) << view << ": ground at the bottom";
    EXPECT_GT(all.distinct, 40) << view << ": a picture, not a cleared screen";
    EXPECT_GT(render_stats().now.ground_polygons, 100) << view;
}

TEST_F(WorldScreen, ChaseViewShowsSkyGroundAndTheBike)
{
    ChasePoints c = chase_points(*bikes_[0], {0, 2.52f, 0.52f}, 5, 10);
    look_at_camera(c.eye, c.target, frame());
    expect_world("chase");
    EXPECT_GT(render_stats().now.model_polygons, 500) << "bikes drawn";
    // The bike sits in the middle of the picture: a busier, darker patch
    // than the ground around it.
    test::ColourStats centre = stats_of(read_rect(280, 120, 80, 80));
    EXPECT_GT(centre.distinct, 20);
}

TEST_F(WorldScreen, RiderViewLooksAheadFromTheHead)
{
    rider_camera(*bikes_[0], frame());
    expect_world("rider");
}

TEST_F(WorldScreen, TracksideCameraSeesTheWorld)
{
    ASSERT_FALSE(track::cameras().empty());
    const track::Camera& cam = track::cameras().front();
    const dReal* p = dBodyGetPosition(bikes_[0]->body(sim::k_frame));
    look_at_camera({cam.x, cam.y, cam.z}, {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])},
                   frame());
    save_shot("trackside");
    test::ColourStats all = stats_of(read_rect(0, 0, 640, 360));
    EXPECT_GT(all.distinct, 40);
    EXPECT_GT(render_stats().now.ground_polygons, 100);
}

// The drawing benchmark's fly-through: frames come back to back. With
// ZV_BENCH_SECONDS set it runs that long at the window's size (see
// ZV_RENDER_SIZE) and prints the rate; speed itself is never asserted.
TEST_F(WorldScreen, FlyThroughDrawsFramesAlongTheCourse)
{
    std::vector<Vec3f> path = course_path();
    ASSERT_GT(path.size(), 3u);
    PathPoint p0 = point_along(path, 0);
    EXPECT_FLOAT_EQ(p0.position[0], path[0][0]);
    double seconds = std::getenv("ZV_BENCH_SECONDS") ? std::atof(std::getenv("ZV_BENCH_SECONDS")) : 1.0;
    int w = 0, h = 0;
    platform::window_size(w, h);
    FlyResult r = fly_through(seconds, w, h, [] {
        platform::end_frame();
        return true;
    });
    EXPECT_GT(r.frames, 0);
    EXPECT_GE(r.seconds, seconds);
    std::printf("%d frames in %.2f seconds (%.1f fps) at %dx%d\n", r.frames, r.seconds, r.frames / r.seconds, w, h);
    const RenderStats& st = render_stats();
    std::printf("max: ground %d, models %d, billboards %d, texture changes %d\n", st.max.ground_polygons,
                st.max.model_polygons, st.max.billboards, st.max.texture_changes);
}

// A ghost fades with its distance from the player: at the fade distance it
// is drawn as the plain bike, within half of it not at all, and half way it
// is blended, so its pixels lie between the two pictures (the model drawing
// keeps the opacity it is given).
TEST_F(WorldScreen, GhostsFadeWithTheirDistanceFromThePlayer)
{
    ChasePoints c = chase_points(*bikes_[0], {0, 2.52f, 0.52f}, 5, 10);
    const dReal* p = dBodyGetPosition(bikes_[0]->body(sim::k_frame));
    const Vec3f at = {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
    core::settings().ghost_fade_distance.value = 10;
    auto picture = [&](bool ghost, float distance) {
        WorldFrame f = frame();
        f.bikes[0].ghost = ghost;
        f.ghost_anchor = Vec3f{at[0], at[1] + distance, at[2]};
        look_at_camera(c.eye, c.target, f);
        return read_rect(280, 100, 80, 120);
    };
    auto difference = [](const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
        double sum = 0;
        for (std::size_t i = 0; i < a.size(); ++i)
            sum += std::abs(int(a[i]) - int(b[i]));
        return sum / static_cast<double>(a.size());
    };
    picture(false, 0);  // the first frame after loading settles the terrain's tables
    const auto plain = picture(false, 0);
    const auto far = picture(true, 10);    // fade 1: opaque
    const auto gone = picture(true, 4);    // within half the distance: not drawn
    const auto half = picture(true, 7.5f); // fade 0.5
    const auto hidden = [&] {
        WorldFrame f = frame();
        f.bikes[0].visible = false;
        look_at_camera(c.eye, c.target, f);
        return read_rect(280, 100, 80, 120);
    }();
    EXPECT_LT(difference(plain, far), 1.0) << "at the fade distance the ghost is opaque";
    const double whole = difference(plain, gone);
    EXPECT_GT(whole, 5.0) << "the bike covers the middle of the picture";
    EXPECT_LT(difference(gone, hidden), 1.0) << "a hidden rider is not drawn";
    // Half faded: well away from both the opaque and the missing bike.
    EXPECT_GT(difference(half, plain), whole * 0.2);
    EXPECT_GT(difference(half, gone), whole * 0.2);
    // Without an anchor ghosts fade from the viewed rider's bike: as the
    // viewed bike itself this ghost is at distance 0, not drawn, even with the
    // fade distance reaching exactly to the last bike on the grid.
    const dReal* q = dBodyGetPosition(bikes_.back()->body(sim::k_frame));
    const Vec3f d = {static_cast<float>(q[0]) - at[0], static_cast<float>(q[1]) - at[1], static_cast<float>(q[2]) - at[2]};
    core::settings().ghost_fade_distance.value = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    WorldFrame f = frame();
    f.bikes[0].ghost = true;
    look_at_camera(c.eye, c.target, f);
    EXPECT_LT(difference(read_rect(280, 100, 80, 120), gone), 1.0);
}

// Without its sky pictures the frame is cleared to the fog colour, so
// nothing of what was on the screen before shows through the sky.
TEST_F(WorldScreen, AMissingSkyLeavesNothingOfTheLastPicture)
{
    const std::string file = ::testing::TempDir() + "zv-skyless-lighting";
    std::ofstream(file) << "sky_n @none.png\nsky_e @none.png\nsky_s @none.png\nsky_w @none.png\nsky_u @none.png\n";
    track::load_lighting(file);
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const dReal* p = dBodyGetPosition(bikes_[0]->body(sim::k_frame));
    const Vec3f at = {static_cast<float>(p[0]), static_cast<float>(p[1]) + 2, static_cast<float>(p[2])};
    look_at_camera(at, {at[0], at[1] + 50, at[2] - 50}, frame());
    const std::vector<std::uint8_t> px = read_rect(0, 0, 640, 360);
    int magenta = 0;
    for (std::size_t i = 0; i < px.size(); i += 3)
        magenta += px[i] > 200 && px[i + 1] < 60 && px[i + 2] > 200;
    track::load_lighting("@rabbithill/lighting");
    EXPECT_EQ(magenta, 0);
}

TEST_F(WorldScreen, BillboardsAreSortedAndDrawn)
{
    // From high above the start, looking across the field.
    const dReal* p = dBodyGetPosition(bikes_[0]->body(sim::k_frame));
    Vec3f from = {static_cast<float>(p[0]), static_cast<float>(p[1]) + 60, static_cast<float>(p[2])};
    look_at_camera(from, {1024, 0, 1024}, frame());
    save_shot("overview");
    EXPECT_GT(render_stats().now.billboards, 0);
}

}  // namespace
}  // namespace zv::render
