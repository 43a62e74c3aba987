// Trackside cameras and the lighting file.
#include "track/scenery_cameras.h"
#include "track/scenery_lighting.h"

#include "core/messages.h"
#include "track/fake_textures.h"
#include "track/track_fixture.h"
#include "support/expect_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>

namespace zv::track {
namespace {

using test::TrackFolders;

class View : public TrackFolders {
protected:
    View()
    {
        clear_cameras();
        reset_lighting();
        core::clear_messages();
    }
    ~View() override
    {
        set_resource_loader(nullptr);
        clear_cameras();
        reset_lighting();
    }
};

TEST_F(View, PendingFieldOfViewAppliesToTheNextCameraOnly)
{
    put("cameras",
        "fov -60\n"
        "autofovsize 12\n"
        "gate 3 4 17\n"
        "addcamera 10 5 20\n"
        "  addcamera 30 6 40\n"
        "gate\t0 255 256 9\n"
        "gate 1x 7\n"
        "gateway 8\n"
        "addcamera 1 2\n"
        "# a comment\n"
        "fov 45\n"
        "gate 5\n"
        "addcamera 7 8 9\n"
        "gate 6\n");
    EXPECT_EQ(load_cameras("@tracks/mini/cameras"), 3);
    auto cams = cameras();
    ASSERT_EQ(cams.size(), 3u);
    test::expect_float_rows("cameras", {{cams[2].fov, 45}, {cams[0].fov, 60}, {cams[0].auto_fov_size, 12},
                                        {cams[0].x, 10}, {cams[0].y, 5}, {cams[0].z, 20}, {cams[1].fov, 90},
                                        {cams[1].auto_fov_size, 0}});
    EXPECT_EQ(cams[0].values, (std::array<float, 4>{0, 0, 0, 0}));

    // 100017 has the auto-pilot mark taken off. "gate 0 255 256 9": the list
    // stops at 256. A checkpoint mapped to a camera never added (6) has none.
    for (auto [checkpoint, camera] : {std::pair{3, 0}, {4, 0}, {17, 0}, {100017, 0}, {0, 2}, {255, 2}, {9, -1},
                                      {1, -1}, {8, -1}, {5, 2}, {6, -1}, {-1, -1}, {256, -1}})
        EXPECT_EQ(camera_for_checkpoint(checkpoint), camera) << checkpoint;
}

TEST_F(View, CameraWithFovBeforeOneAddcameraOnly)
{
    put("cameras", "fov 60\naddcamera 0 0 0\naddcamera 1 1 1\n");
    load_cameras("@tracks/mini/cameras");
    ASSERT_EQ(cameras().size(), 2u);
    EXPECT_FLOAT_EQ(cameras()[0].fov, 60);
    EXPECT_FLOAT_EQ(cameras()[1].fov, 90);

    EXPECT_EQ(load_cameras("@tracks/mini/none"), -1);
    EXPECT_TRUE(cameras().empty());
    EXPECT_EQ(camera_for_checkpoint(0), -1);
}

TEST_F(View, LightingDefaultsWithoutAFile)
{
    test::FakeTextures textures;
    load_lighting("@tracks/mini/lighting");
    const Lighting& l = lighting();
    float k = 1 / std::sqrt(3.0f);
    test::expect_float_rows("defaults", {{l.sun_vector[0], k}, {l.sun_vector[2], k}, {l.ambient[1], 0.5f},
                                         {l.global_ambient[2], 0.2f}, {l.near_plane, 0.25f}, {l.far_plane, 5000}});
    EXPECT_FALSE(l.dynamic_lighting);
    EXPECT_EQ(l.fog_density, 0);
    EXPECT_EQ(textures.requested, (std::vector<std::string>{"@sky-n.ppm", "@sky-e.ppm", "@sky-s.ppm",
                                                        "@sky-w.ppm", "@sky-u.ppm", "@sky-env.ppm"}));
    EXPECT_NE(l.sky[k_sky_env], 0u);
}

TEST_F(View, LightingKeywordsFlaresAndLimits)
{
    test::FakeTextures textures;
    put("lighting",
        "sun_vector [ 0 3 4 ]\n"
        "\tsun_color\t[0.9 0.8 0.7]   \r\n"
        "\n"
        "   \n"
        "ambient [0.1 0.2]\n"
        "sky_n @north.png  \n"
        "flare_element [0.1 0.2] [1 0.5 0.25] 0.3 @flare1.png\n"
        "flare_element [0.1 0.2] [1 0.5 0.25] 0.3\n"
        "flare_element [0.4 0.5] [1 1 1] 0.6 @flare2.png\n"
        "flare_point [100 200 300]\n"
        "flare_vector [0 1 0]\n"
        "fog [0.5 0.6 0.7] 0.01\n"
        "fog [1 1 1]\n"
        "dynamic_lighting 1\n"
        "near_plane 2\n"
        "far_plane 0.5\n");
    load_lighting("@tracks/mini/lighting");
    const Lighting& l = lighting();
    ASSERT_EQ(l.flares.size(), 2u);
    ASSERT_EQ(l.flares[0].elements.size(), 2u);
    // Ambient was given two values: it stays unchanged.
    test::expect_float_rows("lighting",
                            {{l.sun_vector[0], 0}, {l.sun_vector[1], 0.6f}, {l.sun_vector[2], 0.8f},
                             {l.sun_color[2], 0.7f}, {l.ambient[0], 0.5f}, {l.flares[0].position[2], 300},
                             {l.flares[0].elements[1].size, 0.6f}, {l.flares[0].elements[0].color[2], 0.25f},
                             {l.fog_density, 0.01f}, {l.fog_color[1], 0.6f}, {l.near_plane, 0.875f},
                             {l.far_plane, 0.875f}});
    EXPECT_EQ(std::tuple(l.sky_names[k_sky_north], l.sky_names[k_sky_east]), std::tuple("@north.png", "@sky-e.ppm"));
    EXPECT_EQ(l.flares[0].kind, FlareKind::point);
    EXPECT_EQ(l.flares[0].elements[1].texture_name, "@flare2.png");
    EXPECT_EQ(l.flares[1].kind, FlareKind::direction);
    EXPECT_TRUE(l.flares[1].elements.empty());
    EXPECT_TRUE(l.dynamic_lighting);
    EXPECT_STREQ(core::message_line(0), "");
}

TEST_F(View, PlaneLimits)
{
    auto planes = [&](const char* text) {
        put("lighting", text);
        load_lighting("@tracks/mini/lighting");
        return std::pair(lighting().near_plane, lighting().far_plane);
    };
    EXPECT_EQ(planes("near_plane 2\nfar_plane 1\n"), std::pair(0.875f, 1.0f));
    EXPECT_EQ(planes("near_plane 0\nfar_plane 1e9\n"), std::pair(1.0f / 1024, 1048576.0f));
    EXPECT_EQ(planes("near_plane 0.5\nfar_plane -3\n"), std::pair(0.5f, 0.5f));
    EXPECT_EQ(planes("near_plane nan\n"), std::pair(0.25f, 5000.0f));
    EXPECT_EQ(planes("sun_vector [0 0 0]\n"), std::pair(0.25f, 5000.0f));
    EXPECT_FLOAT_EQ(lighting().sun_vector[1], 1 / std::sqrt(3.0f));
}

TEST_F(View, MoreThanEightFlareElementsAreIgnored)
{
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += "flare_element [" + std::to_string(i) + " 0] [1 1 1] 1 @f.png\n";
    text += "flare_point [0 0 0]\nflare_element [0 0] [1 1 1] 1 @g.png\nflare_vector [1 0 0]\n";
    put("lighting", text);
    load_lighting("@tracks/mini/lighting");
    ASSERT_EQ(lighting().flares.size(), 2u);
    ASSERT_EQ(lighting().flares[0].elements.size(), 8u);
    EXPECT_FLOAT_EQ(lighting().flares[0].elements[7].params[0], 7);
    EXPECT_EQ(lighting().flares[1].elements.size(), 1u);
}

TEST_F(View, UnknownKeywordEndsTheFileButKeepsTheDefaults)
{
    test::FakeTextures textures;
    put("lighting",
        "ambient [0.3 0.3 0.3]\n"
        "near_plane 0.5\n"
        "sunshine [1 1 1]\n"
        "far_plane 10\n"
        "sky_n @late.png\n");
    load_lighting("@tracks/mini/lighting");
    const Lighting& l = lighting();
    EXPECT_FLOAT_EQ(l.ambient[0], 0.3f);
    EXPECT_FLOAT_EQ(l.near_plane, 0.5f);
    EXPECT_FLOAT_EQ(l.far_plane, 5000);
    EXPECT_STREQ(core::message_line(0), "Error reading lighting: Unknown identifier 'sunshine'");
    EXPECT_EQ(l.sky_names[k_sky_north], "@sky-n.ppm");
    EXPECT_EQ(textures.requested.size(), 6u);
}

}  // namespace
}  // namespace zv::track
