// Projection half-extents, look-at and rider cameras, screen projection,
// billboard keys, sorting and reordering, ghost fading.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <tuple>
#include <utility>

#include "render/billboard_order.h"
#include "render/camera.h"

namespace zv::render {
namespace {

TEST(Projection, WideScreensKeepTheVerticalAngle)
{
    Projection p = compute_projection(1600, 900, 110, 0.25f, 5000);
    float v = static_cast<float>(std::tan(55.0 * 3.14159265358979323846 / 180.0) * 0.75);
    EXPECT_FLOAT_EQ(p.half_v, v);
    EXPECT_FLOAT_EQ(p.half_h, v * 16.0f / 9.0f);
    // {width, height, half_h, half_v}: square, and exactly 4:3 takes the second form.
    for (auto [w, h, half_h, half_v] : {std::array{800.0f, 800.0f, 1.0f, 1.0f}, {1024.0f, 768.0f, 1.0f, 0.75f}}) {
        Projection q = compute_projection(static_cast<int>(w), static_cast<int>(h), 90, 0.25f, 5000);
        EXPECT_NEAR(q.half_h, half_h, 1e-6) << w;
        EXPECT_NEAR(q.half_v, half_v, 1e-6) << w;
    }
    Projection zero = compute_projection(0, 0, 90, 0.25f, 5000);
    EXPECT_EQ(zero.width, 1);
}

TEST(Cameras, LookAtBuildsARightHandedFrame)
{
    Camera c = look_at({0, 0, 10}, {0, 0, 0});
    EXPECT_EQ(c.rotation, (Mat3f{1, 0, 0, 0, 1, 0, 0, 0, 1}));
    Camera side = look_at({10, 0, 0}, {0, 0, 0});  // looking along -x
    EXPECT_NEAR(side.rotation[2], -1.0f, 1e-6);     // side axis is -z
    EXPECT_NEAR(side.rotation[6], 1.0f, 1e-6);      // backward is +x
    Camera down = look_at({0, 10, 0}, {0, 0, 0});
    for (std::size_t at : {0u, 7u})
        EXPECT_NEAR(down.rotation[at], 1.0f, 1e-6) << at;
    EXPECT_EQ(down.velocity, (Vec3f{0, 0, 0}));
}

TEST(Cameras, RiderCameraTiltsDownAndFollowsTheBody)
{
    Mat3f identity{1, 0, 0, 0, 1, 0, 0, 0, 1};
    Camera c = rider_camera_pose({1, 2, 3}, identity, {4, 0, 0}, {0, 1, 0}, {0, 3, 0}, 0.5f, 90);
    EXPECT_FLOAT_EQ(c.position[1], 4.0f);
    EXPECT_NEAR(c.rotation[4], 0.0f, 1e-6);   // up axis now along +z... tilted 90 degrees
    EXPECT_NEAR(c.rotation[7], 1.0f, 1e-6);   // backward axis now up: looking down
    EXPECT_EQ(c.velocity, (Vec3f{4, 0, 0}));
    // A body turned 90 degrees about y carries the eye point with it.
    Mat3f turned{0, 0, 1, 0, 1, 0, -1, 0, 0};
    Camera t = rider_camera_pose({0, 0, 0}, turned, {}, {1, 0, 0}, {1, 0, 0}, 0, 0);
    EXPECT_NEAR(t.position[2], -1.0f, 1e-6);
    EXPECT_EQ(orientation_line(1.5, look_at({0, 0, 1}, {0, 0, 0})),
              "t=1.500000 p0=0.000000 p1=0.000000 p2=1.000000 x0=1.000000 x1=0.000000 x2=0.000000 "
              "z0=0.000000 z1=0.000000 z2=1.000000\n");
}

TEST(Cameras, ProjectionOfPointsAndDirections)
{
    Projection p = compute_projection(800, 600, 90, 1, 100);
    Camera c = look_at({0, 0, 0}, {0, 0, -1});
    ScreenPoint centre = project_point(p, c, {0, 0, -10});
    EXPECT_TRUE(centre.visible);
    EXPECT_FLOAT_EQ(centre.x, 400);
    EXPECT_FLOAT_EQ(centre.y, 300);
    ScreenPoint edge = project_point(p, c, {10, 0, -10});
    EXPECT_FLOAT_EQ(edge.x, 800);
    // The edges of the view and both clip planes are still in sight; behind is not.
    for (auto [at, visible] :
         {std::pair{Vec3f{10, 0, -10}, true}, {Vec3f{10.01f, 0, -10}, false}, {Vec3f{-10, 0, -10}, true},
          {Vec3f{0, 7.5f, -10}, true}, {Vec3f{0, -7.6f, -10}, false}, {Vec3f{0, 0, -100}, true},
          {Vec3f{0, 0, -100.01f}, false}, {Vec3f{0, 0, -1}, true}, {Vec3f{0, 0, -0.99f}, false}, {Vec3f{0, 0, 10}, false}})
        EXPECT_EQ(project_point(p, c, at).visible, visible) << at[0] << " " << at[1] << " " << at[2];
    EXPECT_NEAR(project_point(p, c, {0, 0, -100}).depth, 1.0f, 1e-5);
    EXPECT_NEAR(project_point(p, c, {0, 0, -1}).depth, 0.0f, 1e-5);
    ScreenPoint sky = project_direction(p, c, {0, 0.5f, -1});
    EXPECT_TRUE(sky.visible);
    EXPECT_FLOAT_EQ(sky.depth, 1.0f);
    EXPECT_GT(sky.y, 300);
}

TEST(Billboards, KeysSortFarthestFirst)
{
    for (auto [depth, key] : {std::pair{0.0f, 16777216u}, {-1.0f / 1024, 16777215u}, {-1e9f, 0u}, {1e9f, 4294967295u}})
        EXPECT_EQ(billboard_depth_key(depth), key) << depth;
    std::vector<BillboardItem> items, scratch;
    std::vector<std::uint32_t> keys = {70000, 3, 0x01020304, 3, 0xff000000, 256, 0};
    for (std::size_t i = 0; i < keys.size(); ++i)
        items.push_back({keys[i], static_cast<int>(i), 0, 0, 0, 0, 0});
    radix_sort_billboards(items, scratch);
    std::vector<std::uint32_t> sorted;
    for (auto& b : items)
        sorted.push_back(b.key);
    EXPECT_EQ(sorted, (std::vector<std::uint32_t>{0, 3, 3, 256, 70000, 0x01020304, 0xff000000}));
    EXPECT_EQ(items[1].index, 1);  // stable among equal keys
    EXPECT_EQ(items[2].index, 3);
}

BillboardItem at(int index, std::uint32_t texture, float x)
{
    return {static_cast<std::uint32_t>(index), index, texture, x, x + 1, 0, 1};
}

TEST(Billboards, SameTextureMovesUpWhenNothingOverlaps)
{
    std::vector<BillboardItem> items = {at(0, 1, 0), at(1, 2, 5), at(2, 1, 10)};
    EXPECT_EQ(texture_changes(items), 3);
    auto w1 = items;
    reorder_for_textures(w1, 1);
    EXPECT_EQ(w1[1].index, 1);
    auto w2 = items;
    reorder_for_textures(w2, 2);
    EXPECT_EQ(std::tuple(w2[0].index, w2[1].index, w2[2].index), std::tuple(0, 2, 1));
    EXPECT_EQ(texture_changes(w2), 2);

    // The middle one overlaps the third across the view: order stays.
    std::vector<BillboardItem> blocked = {at(0, 1, 0), at(1, 2, 10.5f), at(2, 1, 10)};
    reorder_for_textures(blocked, 4);
    EXPECT_EQ(blocked[1].index, 1);
    // Beyond the window nothing moves.
    std::vector<BillboardItem> far = {at(0, 1, 0), at(1, 2, 5), at(2, 3, 7), at(3, 1, 20)};
    reorder_for_textures(far, 2);
    EXPECT_EQ(far[3].index, 3);
    reorder_for_textures(far, 3);
    EXPECT_EQ(far[1].index, 3);
}

TEST(Ghosts, FadeBetweenHalfAndFullDistance)
{
    // {distance, fade distance, opacity}
    for (auto [distance, fade_distance, fade] :
         {std::array{5.0f, 10.0f, 0.0f}, {2, 10, 0}, {7.5f, 10, 0.5f}, {10, 10, 1}, {30, 10, 1}, {0, 0, 1}})
        EXPECT_FLOAT_EQ(ghost_fade(distance, fade_distance), fade) << distance << " of " << fade_distance;
}

}  // namespace
}  // namespace zv::render
