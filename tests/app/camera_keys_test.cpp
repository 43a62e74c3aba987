// Camera keyframes: tick order, the keyframe deletekey picks, the list text,
// the interpolated pose, and the free camera's aim.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>

#include "app/camera_keys.h"

namespace zv::app {
namespace {

constexpr float k_eps = 1e-5f;

CameraKeyframe key(std::int32_t tick, float x = 0, float fov = 110, Quat q = {})
{
    return CameraKeyframe{{x, 0, 0}, q, fov, tick};
}

std::vector<std::int32_t> ticks()
{
    std::vector<std::int32_t> t;
    for (const CameraKeyframe& k : camera_keyframes())
        t.push_back(k.tick);
    return t;
}

void expect_quat(const Quat& q, double w, double x, double y, double z)
{
    EXPECT_NEAR(q.w, w, k_eps);
    EXPECT_NEAR(q.x, x, k_eps);
    EXPECT_NEAR(q.y, y, k_eps);
    EXPECT_NEAR(q.z, z, k_eps);
}

void expect_rows(const render::Mat3f& m, const render::Mat3f& want)
{
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_NEAR(m[i], want[i], k_eps) << i;
}

class CameraKeys : public ::testing::Test {
protected:
    CameraKeys() { clear_keyframes(); }
    ~CameraKeys() override
    {
        clear_keyframes();
        free_camera() = FreeCamera{};
        set_keyframe_camera(false);
    }
};

TEST_F(CameraKeys, KeptInTickOrderEqualTicksAfterEarlierOnes)
{
    add_keyframe(key(300, 1));
    add_keyframe(key(100, 2));
    add_keyframe(key(200, 3));
    add_keyframe(key(200, 4));  // after the earlier 200
    add_keyframe(key(-50, 5));
    EXPECT_EQ(ticks(), (std::vector<std::int32_t>{-50, 100, 200, 200, 300}));
    EXPECT_EQ(std::pair(camera_keyframes()[2].position[0], camera_keyframes()[3].position[0]), std::pair(3.0f, 4.0f));
}

TEST_F(CameraKeys, AddFromTheFreeCameraUsesTheYawPitchQuaternion)
{
    free_camera().position = {1.5f, 2, -3};
    aim_free_camera(90, 90);
    add_keyframe_from_free_camera(75, 640);
    ASSERT_EQ(camera_keyframes().size(), 1u);
    const CameraKeyframe& k = camera_keyframes()[0];
    EXPECT_EQ(k.position, (render::Vec3f{1.5f, 2, -3}));
    // cos 45 = sin 45: every product is one half.
    expect_quat(k.rotation, 0.5, 0.5, 0.5, -0.5);
    EXPECT_EQ(std::tuple(k.fov, k.tick), std::tuple(75, 640));
}

TEST_F(CameraKeys, CamangleStoresRadiansAndClearsTheOtherAngles)
{
    free_camera().roll = 0.3;
    free_camera().turn = -1.2;
    aim_free_camera(180, -30);
    EXPECT_DOUBLE_EQ(free_camera().yaw, 180 * 0.017453292519943295);
    EXPECT_DOUBLE_EQ(free_camera().pitch, -30 * 0.017453292519943295);
    EXPECT_EQ(std::tuple(free_camera().roll, free_camera().turn, free_camera().aimed), std::tuple(0.0, 0.0, true));
}

TEST_F(CameraKeys, DeleteChoosesTheNeighbourNearerTheTick)
{
    for (int t : {100, 200, 400})
        add_keyframe(key(t));
    // None at or before: the first; none after: the last; 140 is 40 back and
    // 60 ahead, 160 the other way round; a tie (150, 300) takes the earlier
    // one; 200 is exactly at one.
    for (auto [tick, index] : {std::pair{50, 0}, {400, 2}, {9999, 2}, {140, 0}, {160, 1}, {150, 0}, {200, 1},
                               {300, 1}, {301, 2}})
        EXPECT_EQ(keyframe_to_delete(tick), index) << tick;
    delete_keyframe(160);
    EXPECT_EQ(ticks(), (std::vector<std::int32_t>{100, 400}));
    delete_keyframe(-2147483647 - 1);
    EXPECT_EQ(ticks(), (std::vector<std::int32_t>{400}));
    // Fewer than two: all go.
    EXPECT_EQ(keyframe_to_delete(0), -1);
    delete_keyframe(0);
    EXPECT_TRUE(camera_keyframes().empty());
    delete_keyframe(0);  // nothing left: still fine
    EXPECT_TRUE(camera_keyframes().empty());
}

TEST_F(CameraKeys, DeleteWithExtremeTicksDoesNotOverflow)
{
    add_keyframe(key(-2147483647 - 1));
    add_keyframe(key(2147483647));
    EXPECT_EQ(keyframe_to_delete(0), 1);   // 2^31 back, 2^31 - 1 ahead
    EXPECT_EQ(keyframe_to_delete(-1), 0);  // 2^31 - 1 back, 2^31 ahead
}

TEST_F(CameraKeys, ListLines)
{
    add_keyframe({{1.234f, -5.5f, 100}, yaw_pitch_quaternion(M_PI / 2, 0), 90, 256});
    add_keyframe({{0, 0, 0}, {}, 90, -64});
    EXPECT_EQ(keyframe_lines(), (std::vector<std::string>{
                                    "pos = { 0.00, 0.00, 0.00 }, rot = { 1.00, 0.00, 0.00, 0.00 }, time = -0.50",
                                    "pos = { 1.23, -5.50, 100.00 }, rot = { 0.71, 0.00, 0.71, 0.00 }, time = 2.00"}));
}

TEST_F(CameraKeys, QuaternionRowsAreTheCameraAxes)
{
    // Yaw 90 degrees: the camera's right axis is world -z, its backward
    // axis world +x, up stays up.
    expect_rows(quaternion_rows(yaw_pitch_quaternion(M_PI / 2, 0)), {0, 0, -1, 0, 1, 0, 1, 0, 0});
    // Pitch 90 degrees up: the camera looks along world +y, so its backward
    // axis is -y and its up axis tilts back to +z.
    expect_rows(quaternion_rows(yaw_pitch_quaternion(0, M_PI / 2)), {1, 0, 0, 0, 0, 1, 0, -1, 0});
    render::Camera c = pose_camera({{1, 2, 3}, {}, 60});
    EXPECT_EQ(c.position, (render::Vec3f{1, 2, 3}));
    EXPECT_EQ(c.rotation, (render::Mat3f{1, 0, 0, 0, 1, 0, 0, 0, 1}));
}

TEST_F(CameraKeys, FreeCameraRotation)
{
    FreeCamera c;
    c.yaw = 0.7;
    c.pitch = -0.2;
    render::Mat3f plain = quaternion_rows(yaw_pitch_quaternion(0.7, -0.2));
    expect_rows(free_camera_rows(c), plain);
    // The turn adds to the yaw.
    c.yaw = 0.5;
    c.turn = 0.2;
    expect_rows(free_camera_rows(c), plain);
    // A quarter roll turns the right axis up and the up axis left.
    FreeCamera r;
    r.roll = M_PI / 2;
    expect_rows(free_camera_rows(r), {0, 1, 0, -1, 0, 0, 0, 0, 1});
    // Yaw then pitch composed by hand gives the camangle quaternion.
    const Quat yaw{static_cast<float>(std::cos(0.35)), 0, static_cast<float>(std::sin(0.35)), 0};
    const Quat pitch{static_cast<float>(std::cos(-0.1)), static_cast<float>(std::sin(-0.1)), 0, 0};
    const Quat q = multiply(yaw, pitch);
    const Quat e = yaw_pitch_quaternion(0.7, -0.2);
    expect_quat(q, e.w, e.x, e.y, e.z);
}

TEST_F(CameraKeys, SlerpHalfwayAndTheShorterArc)
{
    const Quat a{};
    const Quat b = yaw_pitch_quaternion(M_PI / 2, 0);
    // Halfway to a 90 degree yaw is a 45 degree yaw.
    expect_quat(slerp(a, b, 0.5), std::cos(M_PI / 8), 0, std::sin(M_PI / 8), 0);
    expect_quat(slerp(a, b, 0), 1, 0, 0, 0);
    expect_quat(slerp(a, b, 1), b.w, b.x, b.y, b.z);
    // -b is the same rotation; the result must not swing the long way round.
    const Quat nb{-b.w, -b.x, -b.y, -b.z};
    expect_quat(slerp(a, nb, 0.5), std::cos(M_PI / 8), 0, std::sin(M_PI / 8), 0);
    // Nearly equal rotations stay unit length.
    const Quat c = yaw_pitch_quaternion(0.001, 0);
    Quat h = slerp(a, c, 0.5);
    EXPECT_NEAR(h.w * h.w + h.y * h.y, 1.0, 1e-6);
    EXPECT_NEAR(h.y, std::sin(0.00025), 1e-6);
}

TEST_F(CameraKeys, PoseInterpolatesBetweenKeyframesAndHoldsOutside)
{
    EXPECT_FALSE(keyframe_camera_pose(0).has_value());
    add_keyframe({{0, 0, 0}, {}, 90, 100});
    add_keyframe({{10, -4, 2}, yaw_pitch_quaternion(M_PI / 2, 0), 110, 300});
    add_keyframe({{10, -4, 12}, yaw_pitch_quaternion(M_PI / 2, 0), 50, 310});

    auto p = keyframe_camera_pose(150);  // a quarter of the way
    ASSERT_TRUE(p);
    EXPECT_NEAR(p->position[0], 2.5f, k_eps);
    EXPECT_NEAR(p->position[1], -1.0f, k_eps);
    EXPECT_NEAR(p->position[2], 0.5f, k_eps);
    EXPECT_NEAR(p->fov, 95.0f, k_eps);
    // A quarter of a 90 degree yaw: 22.5 degrees, half-angle 11.25.
    expect_quat(p->rotation, 0.98078528, 0, 0.19509032, 0);

    p = keyframe_camera_pose(305.5);  // fractional tick in the second span: t = 0.55
    ASSERT_TRUE(p);
    EXPECT_NEAR(p->position[2], 7.5f, k_eps);
    EXPECT_NEAR(p->fov, 77.0f, 1e-4);

    // Before the first and after the last the pose is held; at 300 exactly
    // on a keyframe.
    for (auto [tick, position, fov] : {std::tuple{-1000.0, render::Vec3f{0, 0, 0}, 90.0f},
                                       {300.0, render::Vec3f{10, -4, 2}, 110.0f}, {1e9, render::Vec3f{10, -4, 12}, 50.0f}}) {
        p = keyframe_camera_pose(tick);
        ASSERT_TRUE(p) << tick;
        EXPECT_EQ(std::pair(p->position, p->fov), std::pair(position, fov)) << tick;
    }
    EXPECT_FALSE(keyframe_camera_pose(std::nan("")).has_value());
}

TEST_F(CameraKeys, PoseAcrossKeyframesSharingATick)
{
    add_keyframe(key(100, 0, 60));
    add_keyframe(key(200, 10, 60));
    add_keyframe(key(200, 20, 60));  // a cut: jumps at tick 200
    add_keyframe(key(300, 40, 60));
    EXPECT_NEAR(keyframe_camera_pose(199.5)->position[0], 9.95f, 1e-4);
    EXPECT_NEAR(keyframe_camera_pose(200)->position[0], 20.0f, k_eps);
    EXPECT_NEAR(keyframe_camera_pose(250)->position[0], 30.0f, k_eps);
}

TEST_F(CameraKeys, SingleKeyframeHoldsEverywhere)
{
    add_keyframe(key(100, 7, 33));
    for (double t : {-1e6, 99.0, 100.0, 101.0, 1e6}) {
        auto p = keyframe_camera_pose(t);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->position[0], 7);
        EXPECT_EQ(p->fov, 33);
    }
}

TEST_F(CameraKeys, KeyframeCameraSwitch)
{
    EXPECT_FALSE(keyframe_camera_on());
    set_keyframe_camera(true);
    EXPECT_TRUE(keyframe_camera_on());
}

}  // namespace
}  // namespace zv::app
