// The track editor: its brush on a small ground (hand-computed heights), the
// pointer's ground point, and in a session: the race stands still in the
// editor, the quit page warns about unsaved ground, and saving puts the
// track into the home folder's copy, which the next load reads back.
#include "app/editor.h"

#include "app/main_loop.h"
#include "app/menu.h"
#include "app/menu_model.h"
#include "app/startup_flags.h"
#include "core/data_file.h"
#include "mini_session_fixture.h"
#include "race/riders.h"
#include "sim/world.h"
#include "track/ground_fixture.h"
#include "track/terrain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace zv::app {
namespace {

// 9 x 9 samples one foot apart, all at height 0.
track::Terrain flat_ground() { return test::square_ground(2, 1); }

float& at(track::Terrain& t, int i, int j) { return t.heights[static_cast<std::size_t>(i + 9 * j)]; }

TEST(EditorBrush, EachModeMovesTheGroundUnderIt)
{
    struct Case {
        const char* name;
        BrushMode mode;
        float spike;       // height of sample (4, 4) before the stroke
        float amount;
        float flatten;
        float centre, next, outside;  // (4, 4), (5, 4), (6, 4) after it
    };
    // Radius 2: the neighbour one foot away weighs 2q^3 - 3q^2 + 1 = 0.5 at
    // q = 0.5, and two feet away the rim weighs 0.
    const Case cases[] = {
        {"raise", BrushMode::raise, 0, 0.5f, 0, 0.5f, 0.25f, 0},
        {"lower", BrushMode::lower, 0, 0.5f, 0, -0.5f, -0.25f, 0},
        // The spike goes to its 3 x 3 mean (9 / 9); its neighbour, whose own
        // mean is 1 too, half way there: targets are taken before any moves.
        {"smooth", BrushMode::smooth, 9, 1, 0, 1, 0.5f, 0},
        {"flatten", BrushMode::flatten, 0, 1, 3, 3, 1.5f, 0},
        // A fraction above 1 is held at 1: no overshoot past the target.
        {"flatten held", BrushMode::flatten, 0, 5, 3, 3, 1.5f, 0},
    };
    for (const Case& c : cases) {
        track::Terrain t = flat_ground();
        at(t, 4, 4) = c.spike;
        std::vector<float> scratch;
        brush_stroke(t, c.mode, 4, 4, 2, c.amount, c.flatten, scratch);
        EXPECT_NEAR(at(t, 4, 4), c.centre, 1e-5f) << c.name;
        EXPECT_NEAR(at(t, 5, 4), c.next, 1e-5f) << c.name;
        EXPECT_NEAR(at(t, 4, 5), c.next, 1e-5f) << c.name;
        EXPECT_NEAR(at(t, 6, 4), c.outside, 1e-5f) << c.name;
        EXPECT_FLOAT_EQ(at(t, 0, 0), 0) << c.name;
        EXPECT_TRUE(t.modified) << c.name;
        EXPECT_GT(t.change_count, 0u) << c.name;
        EXPECT_GE(t.max_height, *std::max_element(t.heights.begin(), t.heights.end())) << c.name;
        EXPECT_LE(t.min_height, *std::min_element(t.heights.begin(), t.heights.end())) << c.name;

        // A locked ground (a server's race) does not move for any mode.
        track::Terrain locked = flat_ground();
        locked.locked = true;
        at(locked, 4, 4) = c.spike;
        brush_stroke(locked, c.mode, 4, 4, 2, c.amount, c.flatten, scratch);
        EXPECT_FLOAT_EQ(at(locked, 4, 4), c.spike) << c.name;
        EXPECT_FLOAT_EQ(at(locked, 5, 4), 0) << c.name;
        EXPECT_FALSE(locked.modified) << c.name;
    }
}

TEST(EditorBrush, StrokesAtTheEdgeOrNowhereAreSafe)
{
    track::Terrain t = flat_ground();
    std::vector<float> scratch;
    brush_stroke(t, BrushMode::smooth, 0, 0, 3, 1, 0, scratch);
    brush_stroke(t, BrushMode::flatten, 8, 8, 3, 1, 2, scratch);
    EXPECT_FLOAT_EQ(at(t, 8, 8), 2);
    brush_stroke(t, BrushMode::raise, std::nanf(""), 4, 2, 1, 0, scratch);
    brush_stroke(t, BrushMode::raise, 4, 4, 0, 1, 0, scratch);
    EXPECT_FLOAT_EQ(at(t, 4, 4), 0);
    track::Terrain empty;
    brush_stroke(empty, BrushMode::smooth, 0, 0, 3, 1, 0, scratch);
}

TEST(EditorView, PixelsMapToTheGroundAcrossTheView)
{
    const EditorView v{.centre_x = 100, .centre_z = 200, .half_width = 80, .half_height = 45, .width = 1280, .height = 720};
    struct Case {
        float px, py, x, z;
    } cases[] = {{0, 0, 20, 155}, {640, 360, 100, 200}, {1280, 720, 180, 245}, {320, 540, 60, 222.5f}};
    for (const Case& c : cases) {
        GroundPoint p = ground_at_pixel(v, c.px, c.py);
        EXPECT_FLOAT_EQ(p.x, c.x) << c.px << ", " << c.py;
        EXPECT_FLOAT_EQ(p.z, c.z) << c.px << ", " << c.py;
    }
}

class EditorSession : public test::MiniTrackSession {
protected:
    EditorSession() { startup_flags().editor = true; }
    ~EditorSession() override { startup_flags() = StartupFlags{}; }

    bool warned()
    {
        Page quit = build_page(g, k_menu_quit);
        std::vector<std::string> notes = quit.notes(g);
        return std::find(notes.begin(), notes.end(),
                         "Track has been modified since last save!  Think about it!!!") != notes.end();
    }

    Game g;
};

TEST_F(EditorSession, RaceStopsQuitWarnsAndTheSaveIsReadBack)
{
    ASSERT_TRUE(load_player_race(g));
    EXPECT_FALSE(warned());

    // In the editor the race clock stands still.
    g.view = ViewMode::editor;
    g.menu_page = k_menu_closed;
    const int tick = race::physics_world()->tick;
    run_tick(g, platform::event_time_from_seconds(0));
    EXPECT_EQ(race::physics_world()->tick, tick);

    track::Terrain& t = track::loaded_terrain();
    std::vector<float> scratch;
    brush_stroke(t, BrushMode::raise, 32, 32, 20, 4, 0, scratch);
    const std::vector<float> edited = t.heights;
    EXPECT_GT(edited[12], 3.9f);  // sample (2, 2), the middle of the 5 x 5 field
    EXPECT_TRUE(warned());

    ASSERT_TRUE(save_edited_track());
    EXPECT_FALSE(t.modified);
    EXPECT_FALSE(warned());
    const std::string copy = home() + k_folder + "/";
    for (const char* file : {"terrain.hf", "terrain.png", "shading.ppm", "tilemap", "timing_gates"})
        EXPECT_TRUE(std::filesystem::exists(copy + file)) << file;
    // No statues or billboards files were there to keep.
    EXPECT_FALSE(std::filesystem::exists(copy + "statues"));
    EXPECT_FALSE(std::filesystem::exists(track_file("terrain.png")));

    // The next load reads the home folder's copy: the same heights, to the
    // 16-bit steps of the saved range.
    track::free_track();
    track::set_current_track(k_folder);
    ASSERT_TRUE(track::load_track());
    const std::vector<float>& back = track::loaded_terrain().heights;
    ASSERT_EQ(back.size(), edited.size());
    const float range = *std::max_element(edited.begin(), edited.end()) - *std::min_element(edited.begin(), edited.end());
    for (std::size_t k = 0; k < back.size(); ++k)
        EXPECT_NEAR(back[k], edited[k], range / 65535.0f + 1e-4f) << k;
}

}  // namespace
}  // namespace zv::app
