// The graphics values derived from the graphics settings, against
// hand-computed numbers.
#include "app/graphics_values.h"

#include "core/settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace zv::app {
namespace {

class GraphicsValuesTest : public ::testing::Test {
protected:
    void SetUp() override { core::reset_settings(); }
    void TearDown() override { core::reset_settings(); }
    core::Settings& s = core::settings();
};

TEST_F(GraphicsValuesTest, CompatibilityPreset)
{
    core::apply_graphics_preset(core::compatibility_preset());
    GraphicsValues g = derive_graphics_values();
    EXPECT_FLOAT_EQ(g.ground_detail_factor, 0.125f / 70.0f);
    EXPECT_FLOAT_EQ(g.lod_scale, 1.0f);  // exactly 1: not cubed
    EXPECT_FLOAT_EQ(g.lod_bias, 0.0f);
    EXPECT_EQ(std::tuple(g.ground_texture_bias, g.ground_texture_resolution, g.model_texture_bias, g.texture_compression,
                         g.roost_frequency, g.reflections),
              std::tuple(1, 64, 1, 0, 1000, 1));
    EXPECT_FALSE(g.detail_distance);
}

TEST_F(GraphicsValuesTest, HighFpsPreset)
{
    core::apply_graphics_preset(core::k_graphics_presets[1]);
    GraphicsValues g = derive_graphics_values();
    EXPECT_FLOAT_EQ(g.ground_detail_factor, 0.0025f);  // 0.125 / 50
    EXPECT_EQ(g.ground_texture_bias, 3);                // 10 - 7
    EXPECT_FLOAT_EQ(g.lod_scale, 3.375f);               // (75 * 0.02)^3
    EXPECT_FLOAT_EQ(g.lod_bias, 12.5f);                 // 50 - 50 * 0.75
    EXPECT_EQ(std::tuple(g.texture_compression, g.roost_frequency, g.reflections), std::tuple(1, 0, 0));
}

TEST_F(GraphicsValuesTest, ModelDetailEnds)
{
    // {detail, scale, bias}: 1.9^3 and full bias below 10; 1.6^3 at 20.
    for (auto [detail, scale, bias] : {std::tuple{5, 1.9f * 1.9f * 1.9f, 50.0f}, {100, 0.0f, 0.0f}, {20, 4.096f, 25.0f}}) {
        s.model_detail.set(detail);
        const GraphicsValues g = derive_graphics_values();
        EXPECT_FLOAT_EQ(g.lod_scale, scale) << detail;
        EXPECT_FLOAT_EQ(g.lod_bias, bias) << detail;
    }
}

TEST_F(GraphicsValuesTest, TruncationAndResolution)
{
    s.ground_texture_detail.value = 9.5;  // 0.5 levels: truncated to 0
    s.model_texture_detail.value = 0.25;  // 9.75: truncated to 9
    s.ground_texture_dim.parse("1024x1024");
    s.roost_density.value = 999.9;
    GraphicsValues g = derive_graphics_values();
    EXPECT_EQ(std::tuple(g.ground_texture_bias, g.model_texture_bias, g.ground_texture_resolution, g.roost_frequency),
              std::tuple(0, 9, 1024, 999));
    s.ground_texture_dim.parse("32x32");
    EXPECT_EQ(derive_graphics_values().ground_texture_resolution, 32);
}

TEST_F(GraphicsValuesTest, ZeroGroundDetailStaysFinite)
{
    s.ground_detail.set(0);
    GraphicsValues g = derive_graphics_values();
    EXPECT_TRUE(std::isfinite(g.ground_detail_factor));
    EXPECT_FLOAT_EQ(g.ground_detail_factor, 0.125f);
}

}  // namespace
}  // namespace zv::app
