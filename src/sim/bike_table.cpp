// The 68 built-in bike models. Rows of one class share chassis, suspension
// and masses; rows differ in gearing and torque curves. A handful of values
// are fixed by the game (the first row's geometry, class masses, spring
// ranges, the first row's torque curve); the rest are typical of the class
// and model year.
#include "sim/bike_info.h"

#include <cmath>
#include <cstring>

namespace zv::sim {
namespace {

using Curve = std::array<float, 50>;

// Full-throttle torque of the 2017 450sxf, lbf ft at 500 i rpm.
constexpr Curve k_curve_450f = {
    5,     5,     5,     5,     5,     6.56f, 8.12f, 9.68f, 11.24f, 12.80f,
    14.36f, 27.90f, 30.30f, 31.75f, 33.61f, 33.96f, 33.43f, 33.40f, 32.63f, 30.18f,
    28.39f, 26.52f, 24.37f, 12.19f, 0,     -10,   -11,   -12,   -13,   -14,
    -15,   -16,   -17,   -18,   -19,   -20,   -21,   -22,   -23,   -24,
    -25,   -26,   -27,   -28,   -29,   -30,   -31,   -32,   -33,   -34};

// A 350 four-stroke: the 450's character a size smaller, revving higher:
// a soft bottom end, about 28 lbf ft from 7500 to 8500 rpm and 50 hp near
// 11000 rpm, falling away by 13500.
constexpr Curve k_curve_350f = {
    3,     3,     3,     3,     3,     4.1f,  5.2f,  6.4f,  7.5f,  8.6f,
    9.8f,  23.5f, 25.5f, 26.8f, 27.8f, 28.4f, 28.6f, 28.4f, 27.9f, 27.2f,
    26.2f, 25.0f, 23.6f, 22.0f, 20.0f, 17.0f, 9.0f,  0,     -9,    -10,
    -11,   -12,   -13,   -14,   -15,   -16,   -17,   -18,   -19,   -20,
    -21,   -22,   -23,   -24,   -25,   -26,   -27,   -28,   -29,   -30};

// A 250 four-stroke: about 40 hp near 12000 rpm.
constexpr Curve k_curve_250f = {
    3,     3,     3,     3,     3,     3.8f,  4.6f,  5.4f,  6.2f,  7.0f,
    7.8f,  13.5f, 14.6f, 15.4f, 16.1f, 16.8f, 17.5f, 18.1f, 18.6f, 19.0f,
    19.3f, 19.4f, 19.1f, 18.5f, 17.6f, 16.3f, 14.5f, 7.0f,  0,     -8,
    -9,    -10,   -11,   -12,   -13,   -14,   -15,   -16,   -17,   -18,
    -19,   -20,   -21,   -22,   -23,   -24,   -25,   -26,   -27,   -28};

// A 250 two-stroke: a fat mid range, about 49 hp at 8500 rpm.
constexpr Curve k_curve_250 = {
    4,     4,     4,     4,     4,     6,     8,     10,    12,    14,
    16,    24,    28,    30.5f, 32.2f, 33.0f, 32.4f, 30.8f, 28.4f, 24.5f,
    18,    9,     0,     -9,    -10,   -11,   -12,   -13,   -14,   -15,
    -16,   -17,   -18,   -19,   -20,   -21,   -22,   -23,   -24,   -25,
    -26,   -27,   -28,   -29,   -30,   -31,   -32,   -33,   -34,   -35};

// A 125 two-stroke: peaky, about 38 hp at 11000-11500 rpm.
constexpr Curve k_curve_125 = {
    2.5f,  2.5f,  2.5f,  2.5f,  2.5f,  3.0f,  3.5f,  4.0f,  4.5f,  5.0f,
    5.5f,  7.5f,  8.5f,  9.5f,  10.5f, 11.5f, 12.5f, 13.5f, 14.6f, 15.8f,
    16.9f, 17.8f, 18.2f, 17.6f, 16.2f, 13.5f, 9.0f,  3.0f,  0,     -6,
    -7,    -8,    -9,    -10,   -11,   -12,   -13,   -14,   -15,   -16,
    -17,   -18,   -19,   -20,   -21,   -22,   -23,   -24,   -25,   -26};

// A 50 cc minibike: about 8 hp at 9500 rpm, a broad middle for its
// centrifugal-style clutch.
constexpr Curve k_curve_50 = {
    0.8f,  0.8f,  0.8f,  0.8f,  0.8f,  1.2f,  1.6f,  2.0f,  2.4f,  2.7f,
    3.0f,  3.3f,  3.6f,  3.8f,  4.0f,  4.1f,  4.15f, 4.2f,  4.25f, 4.31f,
    4.25f, 4.1f,  3.8f,  3.3f,  2.6f,  1.6f,  0.6f,  0,     -1,    -1.5f,
    -2,    -2.5f, -3,    -3.5f, -4,    -4.5f, -5,    -5.5f, -6,    -6.5f,
    -7,    -7.5f, -8,    -8.5f, -9,    -9.5f, -10,   -10.5f, -11,  -11.5f};

// Engine braking: 2, 2, 1, 0 and then about one lbf ft less per 500 rpm.
Curve closed_curve(float scale)
{
    Curve c{};
    for (int i = 0; i < 50; ++i)
        c[i] = scale * (i < 2 ? 2.0f : 3.0f - static_cast<float>(i));
    return c;
}

// The curve scaled in torque (a model year's or brand's strength).
Curve scaled(const Curve& base, float scale)
{
    Curve c{};
    for (int i = 0; i < 50; ++i) {
        // Below zero the curve is the rev limiter's drag: keep it unscaled.
        c[i] = base[i] > 0 ? base[i] * scale : base[i];
    }
    return c;
}

enum class Kind { f450, f350, f250, s250, s125, m50 };

struct ModelRow {
    const char* name;
    Kind kind;
    bool class_450;  // for the 350s: carries class "450f" rather than "250f"
    float primary;
    float countershaft, rear;
    std::array<float, 6> gears;
    float torque_scale;
};

constexpr std::array<float, 6> k_gears_ktm450 = {2.0f, 1.647f, 1.368f, 1.143f, 0.958f, -1};
constexpr std::array<float, 6> k_gears_honda450 = {1.714f, 1.438f, 1.208f, 1.045f, 0.905f, -1};
constexpr std::array<float, 6> k_gears_kawa450 = {1.786f, 1.5f, 1.28f, 1.115f, 0.96f, -1};
constexpr std::array<float, 6> k_gears_suzuki450 = {1.857f, 1.5f, 1.238f, 1.05f, 0.909f, -1};
constexpr std::array<float, 6> k_gears_yamaha450 = {1.833f, 1.5f, 1.263f, 1.091f, 0.952f, -1};
constexpr std::array<float, 6> k_gears_ktm350 = {1.75f, 1.5f, 1.3f, 1.136f, 1.0f, -1};
constexpr std::array<float, 6> k_gears_ktm250f = {2.0f, 1.688f, 1.444f, 1.25f, 1.105f, 0.962f};
constexpr std::array<float, 6> k_gears_honda250f = {2.0f, 1.666f, 1.4f, 1.2f, 1.05f, -1};
constexpr std::array<float, 6> k_gears_kawa250f = {2.142f, 1.75f, 1.444f, 1.222f, 1.05f, -1};
constexpr std::array<float, 6> k_gears_suzuki250f = {2.142f, 1.785f, 1.5f, 1.285f, 1.136f, -1};
constexpr std::array<float, 6> k_gears_yamaha250f = {2.071f, 1.682f, 1.4f, 1.2f, 1.05f, -1};
constexpr std::array<float, 6> k_gears_two250 = {1.857f, 1.5f, 1.25f, 1.05f, 0.9f, -1};
constexpr std::array<float, 6> k_gears_two125 = {2.266f, 1.8f, 1.5f, 1.28f, 1.13f, 1.0f};
constexpr std::array<float, 6> k_gears_mini = {2.13f, -1, -1, -1, -1, -1};

// Table order.
constexpr ModelRow k_models[k_bike_model_count] = {
    {"450sxf(2017)", Kind::f450, true, 2.45161f, 13, 48, k_gears_ktm450, 1.0f},
    {"crf450(2017)", Kind::f450, true, 2.739f, 13, 48, k_gears_honda450, 0.99f},
    {"fc450(2017)", Kind::f450, true, 2.45161f, 13, 49, k_gears_ktm450, 1.0f},
    {"kx450f(2017)", Kind::f450, true, 2.269f, 13, 50, k_gears_kawa450, 0.985f},
    {"rmz450(2017)", Kind::f450, true, 2.35f, 13, 49, k_gears_suzuki450, 0.97f},
    {"yz450f(2017)", Kind::f450, true, 2.652f, 13, 49, k_gears_yamaha450, 1.066f},
    {"350sxf(2017)", Kind::f350, false, 3.166f, 13, 44, k_gears_ktm350, 1.0f},
    {"450sxf(2016)", Kind::f450, true, 2.45161f, 13, 48, k_gears_ktm450, 0.98f},
    {"crf450(2016)", Kind::f450, true, 2.739f, 13, 48, k_gears_honda450, 0.96f},
    {"kx450f(2016)", Kind::f450, true, 2.269f, 13, 50, k_gears_kawa450, 0.975f},
    {"rmz450(2016)", Kind::f450, true, 2.35f, 13, 49, k_gears_suzuki450, 0.96f},
    {"yz450f(2016)", Kind::f450, true, 2.652f, 13, 49, k_gears_yamaha450, 1.02f},
    {"crf450(2013)", Kind::f450, true, 2.739f, 13, 48, k_gears_honda450, 0.95f},
    {"kx450f(2013)", Kind::f450, true, 2.269f, 13, 50, k_gears_kawa450, 0.96f},
    {"rmz450(2013)", Kind::f450, true, 2.35f, 13, 49, k_gears_suzuki450, 0.95f},
    {"yz450f(2013)", Kind::f450, true, 2.652f, 13, 49, k_gears_yamaha450, 0.98f},
    {"450sxf(2013)", Kind::f450, true, 2.45161f, 13, 48, k_gears_ktm450, 0.96f},
    {"350sxf(2013)", Kind::f350, false, 3.166f, 13, 44, k_gears_ktm350, 0.97f},
    {"crf450(2011)", Kind::f450, true, 2.739f, 13, 48, k_gears_honda450, 0.93f},
    {"kx450f(2011)", Kind::f450, true, 2.269f, 13, 50, k_gears_kawa450, 0.94f},
    {"rmz450(2011)", Kind::f450, true, 2.35f, 13, 49, k_gears_suzuki450, 0.93f},
    {"yz450f(2011)", Kind::f450, true, 2.652f, 13, 49, k_gears_yamaha450, 0.95f},
    {"450sxf(2011)", Kind::f450, true, 2.45161f, 13, 48, k_gears_ktm450, 0.94f},
    {"350sxf(2011)", Kind::f350, true, 3.166f, 13, 44, k_gears_ktm350, 0.92f},
    {"250sx(2012)", Kind::s250, false, 2.846f, 14, 50, k_gears_two250, 1.0f},
    {"cr250(2007)", Kind::s250, false, 2.8f, 13, 49, k_gears_two250, 0.98f},
    {"kx250(2006)", Kind::s250, false, 2.75f, 13, 50, k_gears_two250, 0.97f},
    {"rm250(2008)", Kind::s250, false, 2.8f, 13, 48, k_gears_two250, 0.98f},
    {"yz250(2012)", Kind::s250, false, 3.09f, 14, 48, k_gears_two250, 0.99f},
    {"crf250(2017)", Kind::f250, false, 3.166f, 13, 48, k_gears_honda250f, 1.0f},
    {"fc250(2017)", Kind::f250, false, 3.1f, 13, 48, k_gears_ktm250f, 1.02f},
    {"kx250f(2017)", Kind::f250, false, 3.2f, 13, 49, k_gears_kawa250f, 0.99f},
    {"rmz250(2017)", Kind::f250, false, 3.3f, 13, 48, k_gears_suzuki250f, 0.97f},
    {"yz250f(2017)", Kind::f250, false, 3.352f, 13, 48, k_gears_yamaha250f, 1.0f},
    {"250sxf(2017)", Kind::f250, false, 3.1f, 13, 48, k_gears_ktm250f, 1.02f},
    {"crf250(2016)", Kind::f250, false, 3.166f, 13, 48, k_gears_honda250f, 0.98f},
    {"kx250f(2016)", Kind::f250, false, 3.2f, 13, 49, k_gears_kawa250f, 0.97f},
    {"rmz250(2016)", Kind::f250, false, 3.3f, 13, 48, k_gears_suzuki250f, 0.96f},
    {"yz250f(2016)", Kind::f250, false, 3.352f, 13, 48, k_gears_yamaha250f, 0.98f},
    {"250sxf(2016)", Kind::f250, false, 3.1f, 13, 48, k_gears_ktm250f, 1.0f},
    {"crf250(2013)", Kind::f250, false, 3.166f, 13, 48, k_gears_honda250f, 0.95f},
    {"kx250f(2013)", Kind::f250, false, 3.2f, 13, 49, k_gears_kawa250f, 0.95f},
    {"rmz250(2013)", Kind::f250, false, 3.3f, 13, 48, k_gears_suzuki250f, 0.94f},
    {"yz250f(2013)", Kind::f250, false, 3.352f, 13, 48, k_gears_yamaha250f, 0.94f},
    {"250sxf(2013)", Kind::f250, false, 3.1f, 13, 48, k_gears_ktm250f, 0.96f},
    {"crf250(2009)", Kind::f250, false, 3.166f, 13, 48, k_gears_honda250f, 0.92f},
    {"kx250f(2009)", Kind::f250, false, 3.2f, 13, 49, k_gears_kawa250f, 0.92f},
    {"rmz250(2009)", Kind::f250, false, 3.3f, 13, 48, k_gears_suzuki250f, 0.91f},
    {"yz250f(2009)", Kind::f250, false, 3.352f, 13, 48, k_gears_yamaha250f, 0.91f},
    {"250sxf(2009)", Kind::f250, false, 3.1f, 13, 48, k_gears_ktm250f, 0.92f},
    {"crf250(2008)", Kind::f250, false, 3.166f, 13, 48, k_gears_honda250f, 0.9f},
    {"kx250f(2008)", Kind::f250, false, 3.2f, 13, 49, k_gears_kawa250f, 0.9f},
    {"rmz250(2008)", Kind::f250, false, 3.3f, 13, 48, k_gears_suzuki250f, 0.9f},
    {"yz250f(2008)", Kind::f250, false, 3.352f, 13, 48, k_gears_yamaha250f, 0.9f},
    {"cr125", Kind::s125, false, 3.3f, 13, 50, k_gears_two125, 1.0f},
    {"kx125", Kind::s125, false, 3.3f, 13, 51, k_gears_two125, 0.98f},
    {"rm125", Kind::s125, false, 3.35f, 13, 50, k_gears_two125, 0.98f},
    {"yz125", Kind::s125, false, 3.25f, 13, 50, k_gears_two125, 1.02f},
    {"125sx", Kind::s125, false, 3.3f, 13, 50, k_gears_two125, 1.03f},
    {"crf250(2007)", Kind::f250, false, 3.166f, 13, 48, k_gears_honda250f, 0.88f},
    {"kx250f(2007)", Kind::f250, false, 3.2f, 13, 49, k_gears_kawa250f, 0.88f},
    {"rmz250(2007)", Kind::f250, false, 3.3f, 13, 48, k_gears_suzuki250f, 0.88f},
    {"yz250f(2007)", Kind::f250, false, 3.352f, 13, 48, k_gears_yamaha250f, 0.88f},
    {"yz250f_se(2006)", Kind::f250, false, 3.352f, 13, 49, k_gears_yamaha250f, 0.9f},
    {"rs50cr", Kind::m50, false, 2.8f, 10, 42, k_gears_mini, 1.0f},
    {"rs50kx", Kind::m50, false, 2.8f, 10, 42, k_gears_mini, 1.0f},
    {"rs50rm", Kind::m50, false, 2.8f, 10, 43, k_gears_mini, 1.0f},
    {"rs50yz", Kind::m50, false, 2.8f, 10, 42, k_gears_mini, 1.0f},
};

// Renderer names by class (literal concatenation needs the preprocessor).
#define ZV_ART(cls)                                                                              \
    BikeArt                                                                                      \
    {                                                                                            \
        "@bike_frame_" cls ".jm", "@bike_frame_" cls ".shp", "@bike_" cls, "@fork_upper_" cls ".jm", \
            "@fork_upper_" cls ".shp", "@fork_lower_" cls ".jm", "@fork_lower_" cls ".shp",      \
            "@swingarm_" cls ".jm", "@swingarm_" cls ".shp", "@wheel_front_" cls ".jm",          \
            "@wheel_front.shp", "@wheel_rear_" cls ".jm", "@wheel_rear.shp", "@wheels",          \
            "@rider_head.jm", "@rider_head", "@rider_body.jm", "@rider_body_fp.jm", "@rider.shp", \
            "@rider_body", "@side_plates_" cls ".jm", "@front_plate_" cls ".jm", "@rider_plate.jm" \
    }

BikeArt art(Kind k)
{
    switch (k) {
    case Kind::f450: return ZV_ART("450f");
    case Kind::f350: return ZV_ART("450f");
    case Kind::f250: return ZV_ART("250f");
    case Kind::s250: return ZV_ART("250");
    case Kind::s125: return ZV_ART("125");
    case Kind::m50: return ZV_ART("50");
    }
    return ZV_ART("450f");
}
#undef ZV_ART

constexpr std::array<float, 32> k_pose = {
    -0.556f, 3.55f, 2.45f,  0.556f, 3.55f, 2.45f,   // grips
    -0.269f, 1.55f, 3.75f,  0.269f, 1.55f, 3.75f,   // footpegs
    0.0f,    3.0f,  4.3f,                            // seat
    -0.45f,  2.9f,  3.4f,   0.45f,  2.9f,  3.4f,    // knees
    -0.75f,  4.0f,  3.1f,   0.75f,  4.0f,  3.1f,    // elbows
    0.0f,    5.5f,  3.6f,                            // head
    3.2f,    4.3f};                                  // hip height, hip setback

BikeInfo build_row(const ModelRow& m)
{
    BikeInfo b{};
    b.name = m.name;
    const bool four450 = m.kind == Kind::f450;
    const bool is350 = m.kind == Kind::f350;
    switch (m.kind) {
    case Kind::f450: b.bike_class = "450f"; break;
    case Kind::f350: b.bike_class = m.class_450 ? "450f" : "250f"; break;
    case Kind::f250: b.bike_class = "250f"; break;
    case Kind::s250: b.bike_class = "250"; break;
    case Kind::s125: b.bike_class = "125"; break;
    case Kind::m50: b.bike_class = "50"; break;
    }
    const bool c450 = std::strcmp(b.bike_class, "450f") == 0;
    const bool c250f = std::strcmp(b.bike_class, "250f") == 0;

    b.front = {{0, 1.09f, 1.11f}, 0.8333f, 0.3333f, 0.40625f, 0.5f, 0.15625f};
    b.rear = {{0, 1.04f, 6.0f}, 0.75f, 0.3333f, 0.46875f, 0.5f, 0.3125f};
    b.frame_position = {0, 1.98f, 3.6f};
    switch (m.kind) {
    case Kind::f450:
    case Kind::f350: b.frame_mass = 4.735f; break;
    case Kind::f250: b.frame_mass = 4.24f; break;
    case Kind::s250: b.frame_mass = 4.36562f; break;
    case Kind::s125: b.frame_mass = 3.65375f; break;
    case Kind::m50: b.frame_mass = 3.34125f; break;
    }
    b.frame_size = {0.8333f, 1.6667f, 1.6667f};
    b.steering_head = {0, 2.9f, 2.16f};
    b.swingarm_position = {0, 1.34f, 4.99f};
    b.swingarm_pivot = {0, 1.6f, 4.08f};
    b.fork_lower = {0, 1.77f, 1.59f};
    b.fork_leg_spacing = 0.8333f;
    b.fork_length = 3;
    b.fork_mass = (four450 || is350 || m.kind == Kind::f250) ? 0.703125f
                  : m.kind == Kind::s250                     ? 0.75375f
                                                             : 0.739688f;
    if (c450) {
        b.fork_spring_min = 376.303f, b.fork_spring_max = 913.878f;
        b.shock_spring_min = 2486.29f, b.shock_spring_max = 5174.16f;
    } else if (c250f) {
        b.fork_spring_min = 335.984f, b.fork_spring_max = 873.56f;
        b.shock_spring_min = 2352.1f, b.shock_spring_max = 5040.0f;
    } else if (m.kind == Kind::m50) {
        b.fork_spring_min = 309.106f, b.fork_spring_max = 846.681f;
        b.shock_spring_min = 2262.6f, b.shock_spring_max = 4950.4f;
    } else {
        b.fork_spring_min = 322.545f, b.fork_spring_max = 860.12f;
        b.shock_spring_min = 2307.3f, b.shock_spring_max = 4995.2f;
    }
    b.fork_preload_min = 0, b.fork_preload_max = 0.083333f;
    b.fork_oil_min = 0.416667f, b.fork_oil_max = 0.25f;
    b.fork_hs_compression = 60, b.fork_ls_compression = 60;
    b.fork_hs_rebound = (c450 || is350) ? 32.0f : 30.0f;
    b.fork_ls_rebound = 30;
    b.fork_travel = 1;
    b.swingarm_mass = c450 ? 0.5025f
                      : c250f ? 0.504375f
                      : m.kind == Kind::s250 ? 0.541875f
                                             : 0.589375f;
    b.shock_preload_min = 0, b.shock_preload_max = 0.333333f;
    b.shock_hs_compression = 800, b.shock_ls_compression = 200;
    b.shock_hs_rebound = c450 ? 650.0f : 600.0f;
    b.shock_ls_rebound = 150;
    b.link_knee_compression = 0.283652f;
    b.link_full_compression = 0.413386f;
    b.swingarm_travel = 0.530304f;
    b.link_knee_fraction = 0.75f;
    b.link_slope_start = 0.315039f;
    b.link_slope_knee = 0.460479f;
    b.link_slope_full = 0.607049f;
    b.primary_ratio = m.primary;
    b.countershaft_teeth = m.countershaft;
    b.rear_teeth = m.rear;
    b.gears = m.gears;
    switch (m.kind) {
    case Kind::f450: b.engine_inertia = 0.00885f; break;
    case Kind::f350:
    case Kind::s250: b.engine_inertia = 0.006836f; break;
    case Kind::f250:
    case Kind::s125: b.engine_inertia = 0.004883f; break;
    case Kind::m50: b.engine_inertia = 0.001194f; break;
    }
    b.driveline_stiffness = m.kind == Kind::m50 ? 1200.0f : 7500.0f;
    b.driveline_damping = m.kind == Kind::m50 ? 1.0f : 0.75f;
    switch (m.kind) {
    case Kind::f450:
        b.closed_torque = closed_curve(1);
        b.full_torque = m.torque_scale == 1.0f ? k_curve_450f : scaled(k_curve_450f, m.torque_scale);
        break;
    case Kind::f350:
        b.closed_torque = closed_curve(0.6f);
        b.full_torque = scaled(k_curve_350f, m.torque_scale);
        break;
    case Kind::f250:
        b.closed_torque = closed_curve(0.7f);
        b.full_torque = scaled(k_curve_250f, m.torque_scale);
        break;
    case Kind::s250:
        b.closed_torque = closed_curve(0.6f);
        b.full_torque = scaled(k_curve_250, m.torque_scale);
        break;
    case Kind::s125:
        b.closed_torque = closed_curve(0.4f);
        b.full_torque = scaled(k_curve_125, m.torque_scale);
        break;
    case Kind::m50:
        b.closed_torque = closed_curve(0.08f);
        b.full_torque = scaled(k_curve_50, m.torque_scale);
        break;
    }
    if (c450) {
        b.downshift_rpm = 6000, b.upshift_rpm = 10500, b.display_max_rpm = 12000;
    } else if (c250f) {
        b.downshift_rpm = 8000, b.upshift_rpm = 12500, b.display_max_rpm = 13250;
    } else if (m.kind == Kind::s250) {
        b.downshift_rpm = 6000, b.upshift_rpm = 9000, b.display_max_rpm = 10500;
    } else if (m.kind == Kind::s125) {
        b.downshift_rpm = 9400, b.upshift_rpm = 12000, b.display_max_rpm = 12750;
    } else {
        b.downshift_rpm = 9400, b.upshift_rpm = 12000, b.display_max_rpm = 13750;
    }
    b.rider_figure_a = {0, 0.083333f, 0.083333f};
    b.rider_position = {0, 4.5f, 4.12f};
    b.rider_figure_b = {-0.666667f, 0.5f};
    b.rider_mass = (four450 || is350 || m.kind == Kind::s250) ? 5.46875f : 4.6875f;
    b.art = art(m.kind);
    b.pose = k_pose;
    return b;
}

struct Table {
    std::array<BikeInfo, k_bike_model_count> rows;
    Table()
    {
        for (int i = 0; i < k_bike_model_count; ++i)
            rows[static_cast<size_t>(i)] = build_row(k_models[i]);
    }
};

const Table& table()
{
    static const Table t;
    return t;
}

}  // namespace

std::span<const BikeInfo> bike_table() { return table().rows; }

const BikeInfo* find_bike_info(std::string_view name)
{
    for (const BikeInfo& b : table().rows)
        if (name == b.name)
            return &b;
    return nullptr;
}

int gear_count(const BikeInfo& info)
{
    int n = 0;
    while (n < 6 && info.gears[static_cast<size_t>(n)] > 0)
        ++n;
    return n;
}

}  // namespace zv::sim
