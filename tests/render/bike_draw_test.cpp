// The pure parts of bike drawing: art texture names, body matrices, the arm
// turn toward a limb point and the plate digits.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>

#include "render/bike_draw.h"
#include "sim/bike.h"
#include "sim/bike_info.h"

namespace zv::render {
namespace {

Vec3f turn(const Mat3f& r, const Vec3f& v)
{
    return {r[0] * v[0] + r[1] * v[1] + r[2] * v[2], r[3] * v[0] + r[4] * v[1] + r[5] * v[2],
            r[6] * v[0] + r[7] * v[1] + r[8] * v[2]};
}

TEST(BikeArt, TextureFilesGetPngWhenBare)
{
    for (auto [name, file] : {std::pair{"@bike_450f", "@bike_450f.png"}, {"@paint/ktm-stock.png", "@paint/ktm-stock.png"},
                              {"@v1.2/wheels", "@v1.2/wheels.png"}, {"", ""}})
        EXPECT_EQ(art_texture_file(name), file) << name;
}

TEST(BikeArt, BodyMatrixIsColumnMajorWithTranslation)
{
    auto m = body_matrix({1, 2, 3}, {0, -1, 0, 1, 0, 0, 0, 0, 1});
    // Column 0 is the body's x axis in world coordinates: (0, 1, 0).
    for (auto [at, value] : {std::pair{0, 0.0f}, {1, 1.0f}, {4, -1.0f}, {12, 1.0f}, {14, 3.0f}, {15, 1.0f}})
        EXPECT_FLOAT_EQ(m[static_cast<std::size_t>(at)], value) << at;
}

TEST(BikeArt, RotationBetweenTurnsOneDirectionOntoAnother)
{
    Vec3f a = {1, 0, 0}, b = {0, 0.6f, 0.8f};
    Vec3f r = turn(rotation_between(a, b), a);
    for (auto [axis, value] : {std::pair{0, 0.0f}, {1, 0.6f}, {2, 0.8f}})
        EXPECT_NEAR(r[static_cast<std::size_t>(axis)], value, 1e-6) << axis;
    Vec3f same = turn(rotation_between(a, a), {0, 1, 0});
    EXPECT_NEAR(same[1], 1, 1e-6);
    Vec3f back = turn(rotation_between(a, {-1, 0, 0}), a);
    EXPECT_NEAR(back[0], -1, 1e-6);
    Vec3f none = turn(rotation_between({0, 0, 0}, a), {0, 0, 1});
    EXPECT_NEAR(none[2], 1, 1e-6);
}

TEST(BikeArt, PlateDigits)
{
    for (auto [c, segments] : {std::pair{'8', 0x7f}, {'1', 0x06}, {'0', 0x3f}, {'x', 0}})
        EXPECT_EQ(digit_segments(c), segments) << c;
}

Vec3f cross3(const Vec3f& a, const Vec3f& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

TEST(BikeArt, NumberPlatesFaceTheirReadersTheRightWayRound)
{
    const sim::BikeInfo* info = sim::find_bike_info("450sxf(2017)");
    ASSERT_NE(info, nullptr);
    auto plates = number_plates(*info);
    EXPECT_EQ(std::tuple(plates[0].body, plates[1].body, plates[2].body),
              std::tuple(sim::k_fork_upper, sim::k_frame, sim::k_frame));
    for (const NumberPlate& p : plates) {
        // Reading directions: unit length, square to each other.
        EXPECT_NEAR(p.right[0] * p.right[0] + p.right[1] * p.right[1] + p.right[2] * p.right[2], 1, 1e-5);
        EXPECT_NEAR(p.up[0] * p.up[0] + p.up[1] * p.up[1] + p.up[2] * p.up[2], 1, 1e-5);
        EXPECT_NEAR(p.right[0] * p.up[0] + p.right[1] * p.up[1] + p.right[2] * p.up[2], 0, 1e-5);
        EXPECT_GT(p.up[1], 0.5f) << "digits stand upright";
        EXPECT_GT(p.height, 0.1f);
    }
    // The front plate faces forward (the bike's -z).
    Vec3f front = cross3(plates[0].right, plates[0].up);
    EXPECT_LT(front[2], -0.8f);
    // The side plates sit on opposite sides and face away from the bike, so
    // a reader on either side sees the digits left to right, front to back
    // on the right side and back to front on the left.
    EXPECT_LT(plates[1].centre[0], -0.3f);
    EXPECT_GT(plates[2].centre[0], 0.3f);
    for (int k = 1; k <= 2; ++k) {
        Vec3f out = cross3(plates[static_cast<std::size_t>(k)].right, plates[static_cast<std::size_t>(k)].up);
        EXPECT_GT(out[0] * plates[static_cast<std::size_t>(k)].centre[0], 0.3f * 0.9f) << "plate " << k;
    }
    EXPECT_LT(plates[2].right[2], 0) << "right side reads towards the front";
    EXPECT_GT(plates[1].right[2], 0) << "left side reads towards the rear";
    // Both side numbers at the same height and place along the bike.
    EXPECT_FLOAT_EQ(plates[1].centre[1], plates[2].centre[1]);
    EXPECT_FLOAT_EQ(plates[1].centre[2], plates[2].centre[2]);
}

}  // namespace
}  // namespace zv::render
