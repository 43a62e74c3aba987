#include "gen_pictures.h"

#include "gen_font.h"
#include "gen_image.h"
#include "gen_mesh.h"
#include "gen_util.h"

#include <cmath>
#include <string>

namespace zv::datagen {

const StatueKind k_hay_bale = {"@haybale.jm", "@haybale.png", "@haybale.shp"};
const StatueKind k_tuff_block = {"@tuffblock.jm", "@tuffblock.png", "@tuffblock.shp"};
const StatueKind k_banner = {"@banner.jm", "@banner.png", "@banner.shp"};
const StatueKind k_tent = {"@tent.jm", "@tent.png", "@tent.shp"};

namespace {

void put(std::vector<core::SafMember>& out, const std::string& name, std::vector<std::uint8_t> bytes)
{
    out.push_back({name, std::move(bytes)});
}

void put_text(std::vector<core::SafMember>& out, const std::string& name, const std::string& text)
{
    out.push_back({name, to_bytes(text)});
}

// ---- display ----

std::vector<std::uint8_t> tach_picture(Font& font)
{
    // 270 degrees of dial for 0 to 16000 rpm, starting at the lower left.
    constexpr int size = 256;
    Canvas c(size, size);
    float cx = 128, cy = 128;
    c.fill_circle(cx, cy, 124, rgb(12, 12, 14, 0.85f));
    c.ring(cx, cy, 122, 4, rgb(200, 200, 205));
    auto at = [&](double rpm, double r) {
        double a = (225.0 - 270.0 * rpm / 16000.0) * k_pi / 180.0;
        return std::pair<float, float>{static_cast<float>(cx + r * std::cos(a)), static_cast<float>(cy - r * std::sin(a))};
    };
    // Red zone from 13000 rpm.
    for (int rpm = 13000; rpm < 16000; rpm += 50) {
        auto [x0, y0] = at(rpm, 106);
        auto [x1, y1] = at(rpm + 60, 106);
        c.line(x0, y0, x1, y1, 10, rgb(210, 30, 30));
    }
    for (int rpm = 0; rpm <= 16000; rpm += 500) {
        bool major = rpm % 1000 == 0;
        auto [x0, y0] = at(rpm, major ? 96 : 104);
        auto [x1, y1] = at(rpm, 114);
        c.line(x0, y0, x1, y1, major ? 3.0f : 1.5f, rgb(240, 240, 240));
        if (major && rpm % 2000 == 0) {
            auto [tx, ty] = at(rpm, 78);
            font.draw_centred(c, std::to_string(rpm / 1000), tx, ty + 7, 20, rgb(240, 240, 240));
        }
    }
    font.draw_centred(c, "RPM x1000", cx, cy + 60, 14, rgb(180, 180, 185));
    c.fill_circle(cx, cy, 10, rgb(60, 60, 64));
    return png_of(c, true, {{"Comment", "dial: 270 degrees clockwise from the lower left, 0 to 16000 rpm"}});
}

std::vector<std::uint8_t> shifter_picture(Font& font)
{
    // 3 x 3 cells, each a third of the picture: neutral, gears 1 to 6, and
    // two blanks.
    Canvas c(256, 256);
    const char* labels[9] = {"N", "1", "2", "3", "4", "5", "6", "", ""};
    const float cell = 256.0f / 3;
    for (int i = 0; i < 9; ++i) {
        float x = (i % 3) * cell, y = (i / 3) * cell;
        if (!*labels[i])
            continue;
        c.fill_round_rect(x + 5, y + 5, x + cell - 5, y + cell - 5, 12, rgb(10, 10, 12, 0.8f));
        c.ring(x + cell / 2, y + cell / 2, 34, 2.5f, rgb(220, 220, 225));
        font.draw_centred(c, labels[i], x + cell / 2, y + cell / 2 + 17, 48,
                          i == 0 ? rgb(80, 230, 80) : rgb(250, 250, 250));
    }
    return png_of(c, true, {{"Comment", "gears in 3 x 3 cells: N 1 2 / 3 4 5 / 6"}});
}

std::vector<std::uint8_t> pitboard_picture()
{
    Canvas c(256, 128);
    c.fill_round_rect(2, 2, 254, 126, 8, rgb(20, 20, 20, 0.92f));
    c.fill_round_rect(8, 8, 248, 120, 6, rgb(245, 245, 240, 0.95f));
    c.line(8, 64, 248, 64, 2, rgb(30, 30, 30));
    c.line(20, 124, 20, 128, 6, rgb(120, 120, 120));
    return png_of(c, true);
}

std::vector<std::uint8_t> title_picture(Font& bold)
{
    constexpr int w = 1024, h = 512;
    Canvas c(w, h, rgb(0, 0, 0));
    for (int y = 0; y < h; ++y) {
        Rgba sky = mix(rgb(40, 110, 190), rgb(240, 170, 90), static_cast<float>(y) / h);
        for (int x = 0; x < w; ++x)
            c.at(x, y) = sky;
    }
    c.fill_circle(820, 140, 60, rgb(255, 230, 160, 0.9f));
    // Hills and a dirt jump with a rider in the air.
    std::vector<std::pair<float, float>> hill;
    for (int x = 0; x <= w; x += 16)
        hill.push_back({static_cast<float>(x), 360 + 30 * std::sin(x * 0.008f) + 15 * std::sin(x * 0.021f)});
    hill.push_back({w, h});
    hill.push_back({0, h});
    c.polygon(hill, rgb(70, 120, 50));
    c.polygon({{0, 430}, {380, 420}, {470, 360}, {520, 430}, {1024, 445}, {1024, 512}, {0, 512}}, rgb(140, 95, 55));
    // Bike silhouette.
    float bx = 640, by = 250;
    c.ring(bx - 60, by + 40, 34, 12, rgb(20, 20, 20));
    c.ring(bx + 70, by + 30, 30, 12, rgb(20, 20, 20));
    c.polygon({{bx - 60, by + 40}, {bx - 10, by - 10}, {bx + 40, by - 5}, {bx + 70, by + 30}, {bx + 10, by + 30}},
              rgb(210, 30, 30));
    c.line(bx - 60, by + 40, bx - 25, by - 30, 7, rgb(200, 200, 205));
    c.fill_circle(bx + 5, by - 70, 18, rgb(240, 240, 240));
    c.line(bx + 5, by - 55, bx + 20, by - 10, 16, rgb(30, 60, 180));
    c.line(bx + 5, by - 45, bx - 25, by - 30, 9, rgb(30, 60, 180));
    c.line(bx + 20, by - 10, bx + 10, by + 20, 10, rgb(40, 40, 40));
    bold.draw_centred(c, "ZARVOX", w / 2.0f + 4, 134, 120, rgb(0, 0, 0, 0.5f));
    bold.draw_centred(c, "ZARVOX", w / 2.0f, 130, 120, rgb(255, 255, 255));
    bold.draw_centred(c, "motocross simulator", w / 2.0f, 180, 28, rgb(255, 240, 200));
    return png_of(c, false);
}

// ---- sky ----

Rgba sky_colour(double elevation)  // -1 .. 1
{
    Rgba zenith = rgb(45, 105, 190), horizon = rgb(190, 215, 235), ground = rgb(120, 120, 110);
    if (elevation < 0)
        return mix(horizon, ground, static_cast<float>(std::min(1.0, -elevation * 8)));
    return mix(horizon, zenith, static_cast<float>(std::pow(elevation, 0.6)));
}

Canvas sky_face(int face, std::uint64_t seed)
{
    // face 0..3: north, east, south, west (side views); 4: up. Each pixel's
    // direction is the world direction the renderer's sky box shows it in
    // (x east, y up, z south; the side faces seen from inside, upright, the
    // up face with north at its top row), so the clouds, laid on one plane
    // high above, run on across every edge of the box without a seam.
    constexpr int n = 256;
    Canvas c(n, n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            double u = (x + 0.5) / n * 2 - 1, v = (y + 0.5) / n * 2 - 1;
            double dx, dy = -v, dz;
            switch (face) {
            case 0: dx = u, dz = -1; break;   // north (-z)
            case 1: dx = 1, dz = u; break;    // east (+x)
            case 2: dx = -u, dz = 1; break;   // south (+z)
            case 3: dx = -1, dz = -u; break;  // west (-x)
            default: dx = u, dy = 1, dz = v; break;
            }
            double len = std::sqrt(dx * dx + dy * dy + dz * dz);
            double el = dy / len;
            Rgba col = sky_colour(el);
            if (el > 0.02) {
                // Clouds on a plane high above.
                double t = 1.0 / std::max(0.05, el);
                double px = dx / len * t * 300, pz = dz / len * t * 300;
                double cl = fractal_noise(seed, px, pz, 400, 4);
                double cover = smoothstep(0.05, 0.45, cl) * smoothstep(0.02, 0.2, el);
                col = mix(col, rgb(250, 250, 252), static_cast<float>(cover * 0.85));
            }
            c.at(x, y) = col;
        }
    return c;
}

// ---- effects ----

std::vector<std::uint8_t> roost_picture()
{
    // A clump of thrown dirt: a thin dust veil with solid clods in it, white
    // to grey so the roost type's colour tints it. The clods are opaque so a
    // small particle still reads as dirt against the ground it came from.
    Canvas c(64, 64);
    Rng rng(77);
    c.fill_circle(32, 32, 24, rgb(235, 235, 235, 0.25f));
    c.fill_circle(32, 32, 17, rgb(225, 225, 225, 0.3f));
    for (int i = 0; i < 16; ++i) {
        double a = rng.range(0, 6.2831853), d = rng.range(0, 17);
        float x = static_cast<float>(32 + d * std::cos(a)), y = static_cast<float>(32 + d * std::sin(a));
        float r = static_cast<float>(rng.range(2.5, 7));
        int grey = 150 + rng.below(100);
        c.fill_circle(x, y, r, rgb(grey, grey, grey, 0.95f));
    }
    return png_of(c, true, {{"Comment", "[mip_max_alpha]"}});
}

Canvas person(Rgba shirt, Rgba pants)
{
    Canvas c(128, 256);
    c.fill_circle(64, 40, 16, rgb(225, 180, 140));
    c.fill_rect(46, 22, 82, 34, rgb(30, 30, 30));  // cap
    c.fill_round_rect(44, 58, 84, 140, 10, shirt);
    c.fill_rect(46, 138, 62, 236, pants);
    c.fill_rect(66, 138, 82, 236, pants);
    c.fill_rect(42, 232, 64, 244, rgb(30, 30, 30));
    c.fill_rect(64, 232, 86, 244, rgb(30, 30, 30));
    return c;
}

std::vector<std::uint8_t> flagger_picture(int pose, Rgba flag, bool checkered, Rgba shirt)
{
    // pose: 0 flag down, 1 flag held up, 2 flag waving high, 3 board facing,
    // 4 board sideways, 5 board turned away, 6 walking, 7 standing aside.
    Canvas c = person(shirt, rgb(40, 50, 80));
    auto flag_at = [&](float x, float y, float w, float h) {
        c.fill_rect(x, y, x + w, y + h, flag);
        if (checkered)
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 3; ++j)
                    if ((i + j) % 2)
                        c.fill_rect(x + i * w / 4, y + j * h / 3, x + (i + 1) * w / 4, y + (j + 1) * h / 3,
                                    rgb(10, 10, 10));
    };
    switch (pose) {
    case 0:
        c.line(84, 64, 96, 130, 9, shirt);
        c.line(96, 130, 100, 190, 3, rgb(90, 70, 40));
        flag_at(100, 150, 24, 36);
        break;
    case 1:
        c.line(84, 64, 100, 20, 9, shirt);
        c.line(100, 20, 104, 0, 3, rgb(90, 70, 40));
        flag_at(104, 2, 24, 30);
        break;
    case 2:
        c.line(84, 64, 110, 30, 9, shirt);
        c.line(110, 30, 90, 0, 3, rgb(90, 70, 40));
        flag_at(64, 0, 30, 26);
        break;
    case 3:
    case 4:
    case 5: {
        c.line(44, 64, 30, 90, 9, shirt);
        c.line(84, 64, 98, 90, 9, shirt);
        float w = pose == 3 ? 84 : (pose == 4 ? 14 : 84);
        c.fill_rect(64 - w / 2, 60, 64 + w / 2, 110, pose == 5 ? rgb(90, 90, 90) : rgb(250, 250, 250));
        if (pose == 3)
            c.fill_rect(40, 70, 88, 100, rgb(30, 30, 30));
        break;
    }
    case 6:
        c.line(84, 64, 100, 120, 9, shirt);
        c.fill_rect(96, 100, 110, 150, rgb(250, 250, 250));
        break;
    default:
        c.line(44, 64, 36, 130, 9, shirt);
        c.line(84, 64, 92, 130, 9, shirt);
        break;
    }
    return png_of(c, true, {{"Comment", "[mip_max_alpha]"}});
}

// ---- trackside objects ----

UvRect full(double size = 128) { return {0, 0, size, size, size}; }

std::string gate_model()
{
    // The gate plate in its dropped pose: hinged at the ground at the
    // object's origin and lying forward (forward is -z), so riders roll over
    // it. Raising turns it about x towards the rider, which stands it up
    // into a wedge in front of the front wheel.
    MeshBuilder m;
    double a = 2 * k_pi / 180;
    V3 along{0, std::sin(a), -std::cos(a)};
    V3 normal{0, std::cos(a), std::sin(a)};
    m.box(along * 0.75 + normal * 0.05, {1.5, 0.75, 0.05}, {0, 0, 128, 96, 128}, {1, 0, 0}, along, normal);
    m.tube({-1.55, 0.05, 0}, {1.55, 0.05, 0}, 0.06, 0.06, 8, {0, 100, 128, 128, 128});
    return model_text({m.mesh({32, 1, 1, 1, 1})});
}

std::string gate_shape()
{
    // Spheres just under the plate: flush with the ground when it is down.
    double a = 2 * k_pi / 180;
    std::vector<ShapeBall> balls;
    for (double d : {0.35, 0.85, 1.35})
        for (double x : {-1.0, 0.0, 1.0})
            balls.push_back({{x, d * std::sin(a) - 0.15, -d * std::cos(a)}, 0.25, 0.5, 25000, 2500});
    return shape_text(balls);
}

Canvas gate_texture()
{
    Canvas c(128, 128, rgb(170, 172, 176));
    for (int i = 0; i < 6; ++i)
        c.fill_rect(0, 8.0f + i * 15, 128, 12.0f + i * 15, rgb(120, 122, 126));
    c.fill_rect(0, 100, 128, 128, rgb(60, 60, 64));
    c.grain(31, 0.06f);
    return c;
}

std::string hay_model()
{
    MeshBuilder m;
    m.box({0, 1.0, 0}, {2.0, 1.0, 1.25}, full());
    return model_text({m.mesh({8, 1, 1, 1, 1})});
}

std::string tuff_model()
{
    MeshBuilder m;
    m.tube({0, 0, 0}, {0, 2.6, 0}, 1.3, 1.2, 12, full());
    return model_text({m.mesh({48, 1, 1, 1, 1})});
}

std::string banner_model()
{
    MeshBuilder m;
    m.tube({-6, 0, 0}, {-6, 5.5, 0}, 0.12, 0.12, 6, {0, 100, 128, 128, 128});
    m.tube({6, 0, 0}, {6, 5.5, 0}, 0.12, 0.12, 6, {0, 100, 128, 128, 128});
    m.box({0, 4.2, 0}, {6, 1.2, 0.04}, {0, 0, 128, 96, 128});
    return model_text({m.mesh({16, 1, 1, 1, 1})});
}

std::string tent_model()
{
    MeshBuilder m;
    for (double x : {-6.0, 6.0})
        for (double z : {-6.0, 6.0})
            m.tube({x, 0, z}, {x, 7, z}, 0.15, 0.15, 6, {0, 100, 128, 128, 128});
    // The canopy: a low pyramid with eaves.
    V3 top{0, 10, 0};
    V3 corners[4] = {{-6.5, 7, -6.5}, {6.5, 7, -6.5}, {6.5, 7, 6.5}, {-6.5, 7, 6.5}};
    for (int i = 0; i < 4; ++i) {
        V3 a = corners[i], b = corners[(i + 1) % 4];
        V3 n = cross(b - a, top - a);
        if (dot(n, (a + b) * 0.5) < 0)
            n = n * -1;
        int i0 = m.vertex(a, n, 0, 0.25), i1 = m.vertex(b, n, 1, 0.25), i2 = m.vertex(top, n, 0.5, 1);
        m.triangle(i0, i1, i2);
        V3 da = a + V3{0, -1, 0}, db = b + V3{0, -1, 0};
        V3 out = normalize((a + b) * 0.5 - V3{0, 7, 0});
        int j0 = m.vertex(a, out, 0, 0.22), j1 = m.vertex(b, out, 1, 0.22), j2 = m.vertex(db, out, 1, 0.02),
            j3 = m.vertex(da, out, 0, 0.02);
        m.quad(j0, j1, j2, j3);
    }
    return model_text({m.mesh({16, 1, 1, 1, 1})});
}

Canvas hay_texture()
{
    Canvas c(128, 128, rgb(205, 175, 90));
    Rng rng(5);
    for (int i = 0; i < 400; ++i) {
        float x = static_cast<float>(rng.range(0, 128)), y = static_cast<float>(rng.range(0, 128));
        float dx = static_cast<float>(rng.range(-6, 6));
        c.line(x, y, x + dx, y + static_cast<float>(rng.range(-2, 2)), 1.2f,
               rng.uniform() < 0.5 ? rgb(170, 140, 60) : rgb(230, 205, 120));
    }
    c.fill_rect(0, 40, 128, 44, rgb(60, 50, 30));
    c.fill_rect(0, 84, 128, 88, rgb(60, 50, 30));
    return c;
}

Canvas tuff_texture()
{
    Canvas c(128, 128, rgb(235, 235, 235));
    c.fill_rect(0, 0, 128, 30, rgb(30, 90, 200));
    c.fill_rect(0, 98, 128, 128, rgb(30, 90, 200));
    c.grain(9, 0.04f);
    return c;
}

Canvas banner_texture(Font* font)
{
    Canvas c(128, 128, rgb(200, 200, 200));
    c.fill_rect(0, 0, 128, 96, rgb(20, 30, 120));
    c.fill_rect(0, 80, 128, 96, rgb(240, 200, 30));
    if (font)
        font->draw_centred(c, "ZARVOX", 64, 60, 26, rgb(255, 255, 255));
    return c;
}

Canvas tent_texture()
{
    Canvas c(128, 128, rgb(230, 230, 230));
    for (int i = 0; i < 8; ++i)
        if (i % 2)
            c.fill_rect(i * 16.0f, 0, i * 16.0f + 16, 100, rgb(210, 30, 30));
    c.fill_rect(0, 100, 128, 128, rgb(150, 150, 150));
    return c;
}

std::vector<std::uint8_t> tree_picture(bool pine, std::uint64_t seed)
{
    Canvas c(128, 256);
    c.fill_rect(58, 180, 70, 256, rgb(90, 60, 35));
    Rng rng(seed);
    if (pine) {
        for (int i = 0; i < 5; ++i) {
            float y = 20.0f + i * 38, w = 18.0f + i * 11;
            c.polygon({{64, y - 10}, {64 + w, y + 55}, {64 - w, y + 55}}, mix(rgb(25, 70, 35), rgb(45, 100, 50), i / 5.0f));
        }
    } else {
        for (int i = 0; i < 40; ++i) {
            float x = static_cast<float>(rng.range(24, 104)), y = static_cast<float>(rng.range(30, 170));
            c.fill_circle(x, y, static_cast<float>(rng.range(14, 26)),
                          mix(rgb(45, 95, 35), rgb(90, 140, 55), static_cast<float>(rng.uniform())));
        }
    }
    return png_of(c, true, {{"Comment", "[mip_max_alpha]"}});
}

std::vector<std::uint8_t> sign_picture(Font* font, const char* text, Rgba bg)
{
    Canvas c(256, 128);
    c.fill_rect(30, 90, 38, 128, rgb(80, 80, 80));
    c.fill_rect(218, 90, 226, 128, rgb(80, 80, 80));
    c.fill_round_rect(4, 4, 252, 96, 8, bg);
    if (font)
        font->draw_centred(c, text, 128, 66, 40, rgb(255, 255, 255));
    return png_of(c, true, {{"Comment", "[mip_max_alpha]"}});
}

std::string braap(const char* comment, const char* pipe, double minrpm, double low, double high,
                  const char* bias, const char* scale)
{
    return std::string("# ") + comment + "\n" + "pipe " + pipe + "\n" + "minrpm " + num(minrpm) + "\n" +
           "lowtorque " + num(low) + "\n" + "hightorque " + num(high) + "\n" + "bias " + bias + "\n" + "scale " +
           scale + "\n";
}

}  // namespace

bool display_picture_members(std::vector<core::SafMember>& out)
{
    auto bold = Font::open(true);
    auto plain = Font::open(false);
    if (!bold || !plain)
        return false;
    put(out, "tach.png", tach_picture(*plain));
    put(out, "shifter.png", shifter_picture(*bold));
    put(out, "pitboard.png", pitboard_picture());
    put(out, "title.png", title_picture(*bold));
    return true;
}

void sky_members(std::vector<core::SafMember>& out)
{
    const char* names[5] = {"sky-n.ppm", "sky-e.ppm", "sky-s.ppm", "sky-w.ppm", "sky-u.ppm"};
    for (int f = 0; f < 5; ++f)
        put(out, names[f], ppm_of(sky_face(f, 4242)));
    // The environment picture: a small panorama, horizon across the middle.
    Canvas env(128, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x)
            env.at(x, y) = sky_colour(1.0 - (y + 0.5) / 32.0);
    put(out, "sky-env.ppm", ppm_of(env));
}

void effect_members(std::vector<core::SafMember>& out)
{
    put(out, "roost.png", roost_picture());
    put(out, "colors/white.png", png_of(Canvas(4, 4, rgb(255, 255, 255)), false));
    put(out, "colors/black.png", png_of(Canvas(4, 4, rgb(0, 0, 0)), false));
    // The start line painted on the ground: chalk white, soft at its edges,
    // the same along both axes so it reads right whichever way it is laid.
    Canvas line(64, 64, rgb(250, 250, 245, 0.0f));
    line.fill_round_rect(2, 2, 62, 62, 6, rgb(250, 250, 245, 0.85f));
    line.grain(57, 0.05f);
    put(out, "decals/startline.png", png_of(line, true, {{"Comment", "[mip_max_alpha]"}}));
    Rgba vest = rgb(240, 120, 20), official = rgb(240, 240, 240);
    // Starter: board facing the riders, sideways, turned away, walking off,
    // standing aside.
    put(out, "flagger/starter-board.png", flagger_picture(3, {}, false, official));
    put(out, "flagger/starter-sideways.png", flagger_picture(4, {}, false, official));
    put(out, "flagger/starter-away.png", flagger_picture(5, {}, false, official));
    put(out, "flagger/starter-walk.png", flagger_picture(6, {}, false, official));
    put(out, "flagger/starter-aside.png", flagger_picture(7, {}, false, official));
    // Finish line: racing, halfway, last lap, chequered.
    put(out, "flagger/finish-idle.png", flagger_picture(0, rgb(30, 120, 40), false, official));
    put(out, "flagger/finish-halfway.png", flagger_picture(1, rgb(30, 120, 40), true, official));
    put(out, "flagger/finish-white.png", flagger_picture(2, rgb(250, 250, 250), false, official));
    put(out, "flagger/finish-checkered.png", flagger_picture(2, rgb(250, 250, 250), true, official));
    // Corner marshal: flag down, yellow waving.
    put(out, "flagger/corner-calm.png", flagger_picture(0, rgb(240, 220, 30), false, vest));
    put(out, "flagger/corner-yellow.png", flagger_picture(2, rgb(240, 220, 30), false, vest));
}

void trackside_members(std::vector<core::SafMember>& out)
{
    auto font = Font::open(true);
    put_text(out, "startgate.jm", gate_model());
    put(out, "startgate.ppm", ppm_of(gate_texture()));
    put_text(out, "startgate.shp", gate_shape());
    put_text(out, "haybale.jm", hay_model());
    put(out, "haybale.png", png_of(hay_texture(), false));
    put_text(out, "haybale.shp", shape_text({{{-1.2, 0.9, 0}, 1.0, 0.6, 5000, 500}, {{1.2, 0.9, 0}, 1.0, 0.6, 5000, 500}}));
    put_text(out, "tuffblock.jm", tuff_model());
    put(out, "tuffblock.png", png_of(tuff_texture(), false));
    put_text(out, "tuffblock.shp", shape_text({{{0, 1.2, 0}, 1.3, 0.5, 8000, 800}}));
    put_text(out, "banner.jm", banner_model());
    put(out, "banner.png", png_of(banner_texture(font.get()), false));
    put_text(out, "banner.shp", shape_text({{{-6, 1, 0}, 0.4, 0.5, 25000, 2500}, {{6, 1, 0}, 0.4, 0.5, 25000, 2500}}));
    put_text(out, "tent.jm", tent_model());
    put(out, "tent.png", png_of(tent_texture(), false));
    std::vector<ShapeBall> posts;
    for (double x : {-6.0, 6.0})
        for (double z : {-6.0, 6.0})
            posts.push_back({{x, 1.5, z}, 0.5, 0.5, 25000, 2500});
    put_text(out, "tent.shp", shape_text(posts));
    put(out, "billboard/tree-pine.png", tree_picture(true, 11));
    put(out, "billboard/tree-oak.png", tree_picture(false, 12));
    put(out, "billboard/tree-birch.png", tree_picture(false, 13));
    put(out, "billboard/sign-zarvox.png", sign_picture(font.get(), "ZARVOX", rgb(20, 30, 120)));
    put(out, "billboard/sign-finish.png", sign_picture(font.get(), "FINISH", rgb(30, 30, 30)));
    put(out, "billboard/sign-braap.png", sign_picture(font.get(), "BRAAP!", rgb(200, 30, 30)));
}

void engine_sound_members(std::vector<core::SafMember>& out)
{
    put_text(out, "default50.braap",
             braap("50 cc two-stroke", "1.75 0.3 -0.75 0 15", 1500, -3.5, 1.5, "0", "1"));
    put_text(out, "default125.braap",
             braap("125 cc two-stroke", "1.75 0.3 -0.75 0 15", 1200, -3.5, 3.5, "0", "1"));
    put_text(out, "default250.braap",
             braap("250 cc two-stroke", "2.1 0.35 -0.78 0 15", 1000, -3.5, 3.5, "0 40", "1"));
    put_text(out, "default250f.braap",
             braap("250 cc four-stroke", "4.6 0.85 -0.84 0 15", 1200, -2.5, 2.5, "0 120", "1 1 1 0.97"));
    put_text(out, "default450f.braap",
             braap("450 cc four-stroke", "5.0 0.918207 -0.85 0 15", 1000, -2.5, 2.5, "0 200", "1 1 0.96 1"));
}

}  // namespace zv::datagen
