// The pure parts of bike drawing: art texture names, body matrices, the arm
// turn toward a limb point and the plate digits.
#include <gtest/gtest.h>

#include <cmath>

#include "render/bike_draw.h"

namespace zv::render {
namespace {

Vec3f turn(const Mat3f& r, const Vec3f& v)
{
    return {r[0] * v[0] + r[1] * v[1] + r[2] * v[2], r[3] * v[0] + r[4] * v[1] + r[5] * v[2],
            r[6] * v[0] + r[7] * v[1] + r[8] * v[2]};
}

TEST(BikeArt, TextureFilesGetPngWhenBare)
{
    EXPECT_EQ(art_texture_file("@bike_450f"), "@bike_450f.png");
    EXPECT_EQ(art_texture_file("@paint/ktm-stock.png"), "@paint/ktm-stock.png");
    EXPECT_EQ(art_texture_file("@v1.2/wheels"), "@v1.2/wheels.png");
    EXPECT_EQ(art_texture_file(""), "");
}

TEST(BikeArt, BodyMatrixIsColumnMajorWithTranslation)
{
    auto m = body_matrix({1, 2, 3}, {0, -1, 0, 1, 0, 0, 0, 0, 1});
    // Column 0 is the body's x axis in world coordinates: (0, 1, 0).
    EXPECT_FLOAT_EQ(m[0], 0);
    EXPECT_FLOAT_EQ(m[1], 1);
    EXPECT_FLOAT_EQ(m[4], -1);
    EXPECT_FLOAT_EQ(m[12], 1);
    EXPECT_FLOAT_EQ(m[14], 3);
    EXPECT_FLOAT_EQ(m[15], 1);
}

TEST(BikeArt, RotationBetweenTurnsOneDirectionOntoAnother)
{
    Vec3f a = {1, 0, 0}, b = {0, 0.6f, 0.8f};
    Vec3f r = turn(rotation_between(a, b), a);
    EXPECT_NEAR(r[0], 0, 1e-6);
    EXPECT_NEAR(r[1], 0.6f, 1e-6);
    EXPECT_NEAR(r[2], 0.8f, 1e-6);
    Vec3f same = turn(rotation_between(a, a), {0, 1, 0});
    EXPECT_NEAR(same[1], 1, 1e-6);
    Vec3f back = turn(rotation_between(a, {-1, 0, 0}), a);
    EXPECT_NEAR(back[0], -1, 1e-6);
    Vec3f none = turn(rotation_between({0, 0, 0}, a), {0, 0, 1});
    EXPECT_NEAR(none[2], 1, 1e-6);
}

TEST(BikeArt, PlateDigits)
{
    EXPECT_EQ(digit_segments('8'), 0x7f);
    EXPECT_EQ(digit_segments('1'), 0x06);
    EXPECT_EQ(digit_segments('0'), 0x3f);
    EXPECT_EQ(digit_segments('x'), 0);
}

}  // namespace
}  // namespace zv::render
