// Art that lives beside the track's own: the head-up display and title
// pictures through the texture loader (side files, other formats, kept for
// the whole run), the bikes' art through the generation cycle of a track
// change, and flagger animations starting over when the picture changes.
#include <gtest/gtest.h>

#include <algorithm>

#include "render/bike_art.h"
#include "render/bike_draw.h"
#include "render/display_pictures.h"
#include "render/flagger_animation.h"
#include "render/models.h"
#include "render/renderer.h"
#include "render/textures.h"
#include "render_fixture.h"
#include "sim/bike.h"
#include "sim/world.h"
#include "track/resources.h"
#include "track/scenery.h"
#include "track/scenery_flaggers.h"

namespace zv::render {
namespace {

using test::flat_png;

std::string j7(int w, int h, char fill)
{
    return "J7 " + std::to_string(w) + " " + std::to_string(h) + "\n" +
           std::string(static_cast<std::size_t>(w * h * 4), fill);
}

class TrackArt : public test::RenderFolders {
protected:
    TrackArt()
    {
        forget_display_pictures();
        forget_bike_art();
        forget_flagger_pictures();
    }
    ~TrackArt() override
    {
        forget_display_pictures();
        forget_bike_art();
        forget_flagger_pictures();
        release_models(true);
    }
};

TEST_F(TrackArt, DisplayPicturesComeThroughTheLoaderAndStayForTheRun)
{
    // The tachometer as a predictive image with a side file, the title as a
    // link to another picture; the pit board is missing.
    put("tach.png", j7(256, 256, '\x10'));
    put("tach.png.info", "[mip_max_alpha]");
    put("shifter.png", flat_png(256, 256, 9, 9, 9));
    put("title.png", "LINK @art/title-1024.png");
    put("art/title-1024.png", flat_png(1024, 512, 40, 110, 190));
    load_display_pictures();
    TextureId tach = display_picture(DisplayPicture::tach);
    ASSERT_NE(tach, 0u);
    EXPECT_EQ(texture_name(tach), "@tach.png");  // requested with '!'
    EXPECT_EQ(texture_info(tach), "[mip_max_alpha]");
    EXPECT_NE(display_picture(DisplayPicture::shifter), 0u);
    EXPECT_NE(display_picture(DisplayPicture::title), 0u);
    EXPECT_EQ(texture_name(display_picture(DisplayPicture::title)), "@art/title-1024.png");
    EXPECT_EQ(display_picture(DisplayPicture::pit_board), 0u);
    // Every upload carries its mip chain and is counted.
    ASSERT_EQ(backend_.created.size(), 3u);
    for (const auto& c : backend_.created)
        EXPECT_GT(c.levels, 1);
    EXPECT_GT(texture_memory(), 0u);

    // A track change keeps them, and a picture that failed is not tried again
    // (it would be freed with the next track).
    advance_texture_generation();
    put("pitboard.png", flat_png(256, 128, 1, 2, 3));
    EXPECT_EQ(display_picture(DisplayPicture::pit_board), 0u);
    release_textures(false);
    EXPECT_TRUE(backend_.destroyed.empty());
    EXPECT_EQ(display_picture(DisplayPicture::tach), tach);
    EXPECT_EQ(display_picture_name(DisplayPicture::pit_board), "!@pitboard.png");
}

constexpr const char* k_triangle = "JM1\n1 1 1 1 1 3 1\n0 0 0 0 1 0 0 0\n1 0 0 0 1 0 1 0\n0 0 1 0 1 0 0 1\n0 1 2\n";

class BikeArtCycle : public TrackArt {
protected:
    BikeArtCycle()
    {
        // A track is loading: past start-up, so nothing loaded now is kept
        // for the whole run.
        begin_track_load();
        world_ = sim::create_world();
        bike_ = sim::create_bike(*world_, "450sxf(2017)", 7, "42");
        // Every model and paint of the bike, as small files.
        const sim::BikeArt& a = bike_->info.art;
        for (const char* m : {a.frame, a.fork_upper, a.fork_lower, a.swingarm, a.front_wheel, a.rear_wheel, a.rider_head,
                              a.rider_body, a.rider_first_person_body, a.side_plates, a.front_plate, a.rider_number_plate})
            if (m && *m == '@')
                put(m + 1, k_triangle);
        for (const std::string* t : {&bike_->bike_texture, &bike_->wheel_texture, &bike_->rider_texture, &bike_->head_texture}) {
            std::string file = art_texture_file(*t);
            if (!file.empty() && file.front() == '@')
                put(file.substr(1), test::png_bytes(64, 64, PngFormat::rgb, std::vector<std::uint8_t>(64 * 64 * 3, 0x33)));
        }
    }
    ~BikeArtCycle() override
    {
        bike_.reset();
        world_.reset();
    }
    std::unique_ptr<sim::SimWorld> world_;
    std::unique_ptr<sim::Bike> bike_;
};

TEST_F(BikeArtCycle, ArtRequestedWhileLoadingSurvivesTheTrackChangeAndIsCounted)
{
    ASSERT_FALSE(bike_->bike_texture.empty());
    load_bike_art(*bike_);
    const BikeArt& art = bike_art(*bike_);
    ASSERT_NE(art.part[sim::k_frame], nullptr);
    ASSERT_NE(art.bike_texture, 0u);
    ASSERT_NE(art.rider, 0u);
    const std::size_t uploads = backend_.created.size();
    const std::size_t memory = texture_memory();
    const int models = model_count();
    EXPECT_GT(memory, 0u);
    Model* frame = art.part[sim::k_frame];

    // The next track: the loader asks for the bike again between the two
    // ends of the cycle; nothing is freed or read again, and the memory line
    // counts the bike's textures anew.
    begin_track_load();
    load_bike_art(*bike_);
    end_track_load();
    EXPECT_TRUE(backend_.destroyed.empty());
    EXPECT_EQ(backend_.created.size(), uploads);
    EXPECT_EQ(texture_memory(), memory);
    EXPECT_EQ(bike_art(*bike_).part[sim::k_frame], frame);
    EXPECT_EQ(model_count(), models);
}

TEST_F(BikeArtCycle, ArtNotRequestedAgainIsFreedWithTheOldTrack)
{
    load_bike_art(*bike_);
    TextureId paint = bike_art(*bike_).bike_texture;
    ASSERT_NE(paint, 0u);
    begin_track_load();  // no bike this time
    end_track_load();
    EXPECT_NE(std::find(backend_.destroyed.begin(), backend_.destroyed.end(), paint), backend_.destroyed.end());
    EXPECT_EQ(model_count(), 0);
    EXPECT_EQ(texture_memory(), 0u);
    // A bike drawn later gets its art afresh (read again).
    const std::size_t uploads = backend_.created.size();
    const TextureId fresh = bike_art(*bike_).bike_texture;
    EXPECT_NE(fresh, 0u);
    EXPECT_GT(backend_.created.size(), uploads);
    // A new paint on the same bike is read for it at once.
    put("repaint.png", test::png_bytes(64, 64, PngFormat::rgb, std::vector<std::uint8_t>(64 * 64 * 3, 0x66)));
    bike_->bike_texture = "@repaint";
    EXPECT_NE(bike_art(*bike_).bike_texture, fresh);
}

// Flagger pictures through the texture loader, as the game has it.
class LoaderTextures final : public track::ResourceLoader {
public:
    track::TextureId load_texture(std::string_view name, unsigned) override { return render::load_texture(name); }
    track::ModelId load_model(std::string_view) override { return 0; }
};

class FlaggerAnimations : public TrackArt {
protected:
    FlaggerAnimations()
    {
        track::clear_scenery();
        track::clear_flaggers();
        track::set_resource_loader(&loader_);
    }
    ~FlaggerAnimations() override
    {
        track::set_resource_loader(nullptr);
        track::clear_flaggers();
        track::clear_scenery();
    }
    LoaderTextures loader_;
};

TEST_F(FlaggerAnimations, AChangedPictureStartsOverAtTheTickOfTheChange)
{
    // Two steps of 4 ticks each, played once.
    std::string seq = "ANIM1 2 2 4 0\n0 1\n" + j7(2, 2, '\1') + j7(2, 2, '\2');
    put("f0.seq", seq);
    put("f1.seq", seq + " ");
    put("flaggers", "[10 0 20] [16 2 20] 3 0.5 2 @f0.seq @f0.seq @f0.seq @f0.seq @f0.seq\n"
                    "[30 1 40] 2 0.5 @f0.seq @f1.seq @f0.seq @f0.seq\n");
    ASSERT_TRUE(track::load_flaggers("@flaggers", 0));
    ASSERT_TRUE(track::flaggers().finish);
    const int board = track::flaggers().finish->billboard;
    TextureId first = track::billboard(board).texture, second = load_texture("@f1.seq");
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, first);

    auto replaced = [&](TextureId id) { return std::count(backend_.replaced.begin(), backend_.replaced.end(), id); };
    restart_changed_flagger_animations(100);  // the race's first frame
    // The flagger takes up the second picture at race tick 7 (tick 200 of
    // the animations): it starts from its first frame there, instead of
    // jumping to its last one as an animation started at 0 would.
    track::set_billboard_texture(board, second, 7);
    restart_changed_flagger_animations(200);
    update_animations(200);
    EXPECT_EQ(replaced(second), 0);
    update_animations(204);
    EXPECT_EQ(replaced(second), 1);
    // Unchanged in later frames: no new start.
    restart_changed_flagger_animations(300);
    update_animations(300);
    EXPECT_EQ(replaced(second), 1);
    // Back to a picture shown before (by now at its last frame): it starts
    // over too.
    const long before = replaced(first);
    track::set_billboard_texture(board, first, 9);
    restart_changed_flagger_animations(400);
    update_animations(403);
    EXPECT_EQ(replaced(first), before + 1);
    update_animations(404);
    EXPECT_EQ(replaced(first), before + 2);
}

}  // namespace
}  // namespace zv::render
