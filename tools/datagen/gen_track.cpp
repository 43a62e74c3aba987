#include "gen_track.h"

#include "gen_image.h"
#include "gen_pictures.h"
#include "gen_track_layout.h"
#include "render/png_io.h"
#include "track/timing.h"
#include "track/timing_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zv::datagen {

namespace {

enum Tile { k_grass, k_soft, k_hard, k_edge, k_floor, k_tile_count };

struct Field {
    int n = 9;           // size exponent: W = 2^(n+1) + 1
    int side = 1025;
    double cell = 2;
    std::vector<float> h;
    std::vector<int> nearest;     // path point index per sample, -1 none
    std::vector<float> lateral;   // signed lateral offset to it
    std::vector<float> distance;  // distance to it: the track is the union of
                                  // the discs of its half widths
    double field() const { return cell * (side - 1); }
    float& at(int i, int j) { return h[static_cast<std::size_t>(i) + static_cast<std::size_t>(side) * j]; }
    float get(int i, int j) const
    {
        i = std::clamp(i, 0, side - 1);
        j = std::clamp(j, 0, side - 1);
        return h[static_cast<std::size_t>(i) + static_cast<std::size_t>(side) * j];
    }
};

struct Params {
    TrackKind kind;
    std::uint64_t seed;
    LayoutParams layout;
    double hill = 0;
    double rolling = 0;
};

// ---- layouts ----

std::vector<Corner> rabbit_hill_corners()
{
    // Laid out by hand on the 2048-foot field: the gate on the long north
    // straight, a right-hand first turn, then the loop over the hill's
    // flanks and back.
    const Corner raw[] = {
        {420, 1660, 70},  {1150, 1660, 55}, {930, 1330, 60}, {1520, 1260, 70}, {1690, 930, 55}, {1330, 720, 50},
        {1640, 440, 75},  {1090, 330, 60},  {690, 600, 50},  {1010, 930, 45},  {470, 1010, 60}, {330, 1360, 80},
    };
    std::vector<Corner> c;
    for (const Corner& k : raw)
        c.push_back({1010 + (k.x - 1010) * 0.86, 1000 + (k.z - 1000) * 0.86, k.radius});
    return c;
}

std::vector<Corner> supercross_corners()
{
    // Five lanes across a stadium floor joined by hairpins, and the long
    // back straight home.
    return {
        {30, 55, 30},   {450, 55, 30},  {450, 145, 30}, {130, 145, 30}, {130, 235, 30}, {450, 235, 30},
        {450, 325, 30}, {130, 325, 30}, {130, 415, 30}, {450, 415, 22}, {450, 490, 22}, {30, 490, 30},
    };
}

std::vector<Corner> random_corners(Rng& rng, double field, double target)
{
    int n = 8 + rng.below(4);
    std::vector<Corner> c;
    double cx = field / 2, cz = field / 2;
    double phase = rng.range(0, 2 * k_pi);
    for (int i = 0; i < n; ++i) {
        double a = phase + 2 * k_pi * (i + rng.range(-0.25, 0.25)) / n;
        double r = field * rng.range(0.18, 0.4);
        c.push_back({cx + r * std::cos(a), cz + r * std::sin(a), rng.range(45, 100)});
    }
    // Clockwise or not, the perimeter is scaled towards the target later.
    (void)target;
    return c;
}

// Rotates the corner list so the longest straight comes first (it holds the
// gate).
void longest_straight_first(std::vector<Corner>& c)
{
    std::size_t best = 0;
    double len = -1;
    for (std::size_t i = 0; i < c.size(); ++i) {
        const Corner& a = c[i];
        const Corner& b = c[(i + 1) % c.size()];
        double l = std::hypot(b.x - a.x, b.z - a.z) - a.radius - b.radius;
        if (l > len)
            len = l, best = i;
    }
    std::rotate(c.begin(), c.begin() + static_cast<long>(best), c.end());
}

// ---- the height field ----

double ground(const Params& p, double x, double z, double field)
{
    if (p.kind == TrackKind::supercross)
        return 0;
    double cx = field * 0.52, cz = field * 0.45;
    double r2 = ((x - cx) * (x - cx) + (z - cz) * (z - cz)) / (330.0 * 330.0);
    double hill = p.hill * std::exp(-r2);
    double rolling = p.rolling * fractal_noise(p.seed, x, z, 700, 3);
    double mounds = 4.0 * fractal_noise(p.seed + 3, x, z, 160, 2);
    double detail = 1.2 * fractal_noise(p.seed + 17, x, z, 45, 3);
    // The field's edges rise into banks that close the view.
    double edge = std::min({x, z, field - x, field - z});
    double bank = 25 * (1 - smoothstep(0, 160, edge));
    return hill + rolling + mounds + detail + bank;
}

void smooth_baseline(Layout& layout, const Params& p, double field)
{
    auto& pts = layout.points;
    std::size_t n = pts.size();
    std::vector<double> raw(n);
    for (std::size_t k = 0; k < n; ++k) {
        double x = pts[k].x, z = pts[k].z;
        double g = p.kind == TrackKind::supercross ? 1.0 : ground(p, x, z, field) - 1.2 * fractal_noise(p.seed + 17, x, z, 45, 3);
        raw[k] = g;
    }
    // Moving average over 120 feet of track (twice), so grades stay gentle.
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<double> out(n);
        double sum = 0;
        const int half = 60;
        for (int o = -half; o <= half; ++o)
            sum += raw[(static_cast<std::size_t>(o + static_cast<int>(n))) % n];
        for (std::size_t k = 0; k < n; ++k) {
            out[k] = sum / (2 * half + 1);
            sum -= raw[(k + n - half) % n];
            sum += raw[(k + half + 1) % n];
        }
        raw = out;
    }
    for (std::size_t k = 0; k < n; ++k)
        pts[k].baseline = raw[k];
}

// Track surface height at a lateral offset l from path point p (positive l
// towards (-tz, tx)).
double surface(const PathPoint& p, double l)
{
    double w = p.half_width;
    l = std::clamp(l, -w, w);
    double out = 0;
    if (p.berm > 0) {
        // The outside of a turn: away from the centre of curvature.
        double side = p.curvature > 0 ? -1 : 1;
        double t = (side * l + w) / (2 * w);
        out = p.berm * t * t;
    }
    return p.baseline + p.profile + out;
}

void build_field(Field& f, const Layout& layout, const Params& p)
{
    double field = f.field();
    std::size_t total = static_cast<std::size_t>(f.side) * f.side;
    f.h.assign(total, 0);
    f.nearest.assign(total, -1);
    f.lateral.assign(total, 0);
    f.distance.assign(total, 1e9f);
    std::vector<float> metric(total, 1e9f);
    double shoulder = p.layout.shoulder;
    const auto& pts = layout.points;
    for (std::size_t k = 0; k < pts.size(); k += 1) {
        const PathPoint& q = pts[k];
        double reach = q.half_width + shoulder + 4;
        int i0 = std::max(0, static_cast<int>((q.x - reach) / f.cell));
        int i1 = std::min(f.side - 1, static_cast<int>((q.x + reach) / f.cell) + 1);
        int j0 = std::max(0, static_cast<int>((q.z - reach) / f.cell));
        int j1 = std::min(f.side - 1, static_cast<int>((q.z + reach) / f.cell) + 1);
        for (int j = j0; j <= j1; ++j)
            for (int i = i0; i <= i1; ++i) {
                double dx = i * f.cell - q.x, dz = j * f.cell - q.z;
                double d = std::sqrt(dx * dx + dz * dz);
                if (d > reach)
                    continue;
                double m = d - q.half_width;
                std::size_t idx = static_cast<std::size_t>(i) + static_cast<std::size_t>(f.side) * j;
                if (m < metric[idx]) {
                    metric[idx] = static_cast<float>(m);
                    f.nearest[idx] = static_cast<int>(k);
                    f.lateral[idx] = static_cast<float>(-q.tz * dx + q.tx * dz);
                    f.distance[idx] = static_cast<float>(d);
                }
            }
    }
    for (int j = 0; j < f.side; ++j)
        for (int i = 0; i < f.side; ++i) {
            std::size_t idx = static_cast<std::size_t>(i) + static_cast<std::size_t>(f.side) * j;
            double x = i * f.cell, z = j * f.cell;
            double g = ground(p, x, z, field);
            int k = f.nearest[idx];
            double h = g;
            if (k >= 0) {
                const PathPoint& q = pts[static_cast<std::size_t>(k)];
                double l = f.lateral[idx];
                double d = f.distance[idx];
                double w = q.half_width;
                double track = surface(q, l);
                if (d <= w) {
                    h = track;
                } else {
                    double t = smoothstep(w, w + shoulder, d);
                    double lip = 0.8 * std::exp(-((d - w - 3) * (d - w - 3)) / 4.0);
                    h = lerp(track, g, t) + lip * (1 - t * t);
                }
            }
            f.h[idx] = static_cast<float>(h);
        }
}

// ---- surfaces ----

std::vector<std::uint8_t> tile_map(const Field& f, const Layout& layout, const Params& p)
{
    int S = f.side / 2;  // 2^n
    std::vector<std::uint8_t> map(static_cast<std::size_t>(S) * S, p.kind == TrackKind::supercross ? k_floor : k_grass);
    for (int r = 0; r < S; ++r)
        for (int c = 0; c < S; ++c) {
            int i = 2 * c + 1, j = 2 * r + 1;
            std::size_t idx = static_cast<std::size_t>(i) + static_cast<std::size_t>(f.side) * j;
            int k = f.nearest[idx];
            if (k < 0)
                continue;
            const PathPoint& q = layout.points[static_cast<std::size_t>(k)];
            double d = f.distance[idx];
            std::uint8_t t = map[static_cast<std::size_t>(c) + static_cast<std::size_t>(S) * r];
            if (d <= q.half_width + 1) {
                bool pad = q.s < 340 || q.s > layout.length - 60;
                double patch = fractal_noise(p.seed + 99, i * f.cell, j * f.cell, 90, 2);
                bool hard = pad || (p.kind == TrackKind::supercross ? patch > -0.25 : patch > 0.15);
                // Jump faces and berms stay soft: they are cut and shaped.
                if (q.berm > 0.5 || q.profile > 0.3)
                    hard = p.kind == TrackKind::supercross && q.profile > 0.3 ? true : false;
                t = hard ? k_hard : k_soft;
            } else if (d <= q.half_width + 5) {
                t = k_edge;
            }
            map[static_cast<std::size_t>(c) + static_cast<std::size_t>(S) * r] = t;
        }
    return map;
}

std::string tileinfo_text()
{
    // Grass beside the track comes first: it is tile 0, the surface a short
    // tilemap falls back to. (The tile reader has no comment syntax.)
    return "texture @tiles/grass-repeat.png\n"
           "friction 0.75 1\nfriction 0.65 8\nfriction 0.5 30\n"
           "roll_resist 8 22 1\nroll_resist 9 26 40\n"
           "roost count=4 size=0.2 grow=2 r=70 g=110 b=40 fade_a=-200 randomize=10\n"
           "roost count=3 size=0.3 grow=3 r=110 g=85 b=60 fade_a=-250\n"
           "erode_depth 0.6\nerode_displacement 1.2\nerode_on_speed 20\nerode_off_speed 14\n"
           "addtile\n"
           "texture @tiles/loam-repeat.png\n"
           "friction 0.95 1\nfriction 1.05 6\nfriction 0.85 25\n"
           "roll_resist 7 20 1\nroll_resist 9 26 50\n"
           "roost count=14 size=0.35 grow=6 r=96 g=68 b=44 fade_a=-256 vscale=0.6\n"
           "roost count=2 size=0.8 grow=3 slip_threshold=8 r=80 g=58 b=40 fade_a=-300 vscale=0.7\n"
           "erode_depth 1.5\nerode_lower 40\nerode_upper 160\nerode_displacement 2.5\nerode_radius 4\n"
           "addtile\n"
           "texture @tiles/hardpack-repeat.png\n"
           "friction 1.05 1\nfriction 0.95 10\nfriction 0.75 30\n"
           "roll_resist 4 12 1\nroll_resist 5 15 60\n"
           "roost count=6 size=0.2 grow=5 r=160 g=135 b=100 a=200 fade_a=-300 drag=0.8\n"
           "erode_depth 0.4\nerode_displacement 1\nerode_max_slope 0.2\n"
           "addtile\n"
           "texture @tiles/edge-repeat.png\n"
           "friction 0.85 1\nfriction 0.9 6\nfriction 0.7 25\n"
           "roll_resist 9 24 1\n"
           "roost count=10 size=0.35 grow=6 r=104 g=78 b=52 fade_a=-256 vscale=0.6\n"
           "erode_depth 1.2\nerode_displacement 2\n"
           "addtile\n"
           "texture @tiles/floor-repeat.png\n"
           "friction 0.9 1\nfriction 0.8 10\n"
           "roll_resist 4 10 1\n"
           "roost count=3 size=0.2 grow=6 r=150 g=150 b=150 a=160 fade_a=-400\n"
           "erode_depth 0.1\nerode_displacement 0.2\n"
           "addtile\n";
}

// ---- light ----

struct Sun {
    double x, y, z;
};

Sun sun_of(const Params& p)
{
    double x = 0.6, y = 0.5, z = 0.45;
    if (p.kind == TrackKind::supercross)
        x = 0.2, y = 0.95, z = 0.25;
    double l = std::sqrt(x * x + y * y + z * z);
    return {x / l, y / l, z / l};
}

void light_field(const Field& f, const Params& p, std::vector<std::uint8_t>& shading, std::vector<std::uint8_t>& lit)
{
    Sun sun = sun_of(p);
    int W = f.side;
    double hmax = *std::max_element(f.h.begin(), f.h.end());
    std::vector<float> shadow(static_cast<std::size_t>(W) * W, 1.0f);
    double horiz = std::sqrt(sun.x * sun.x + sun.z * sun.z);
    double rise = sun.y / std::max(1e-6, horiz);  // height gained per foot across
    double step = f.cell;
    for (int j = 0; j < W; ++j)
        for (int i = 0; i < W; ++i) {
            double x = i * f.cell, z = j * f.cell;
            double y = f.get(i, j) + 0.3;
            for (double t = step; t < 600; t += step) {
                double px = x + sun.x / horiz * t, pz = z + sun.z / horiz * t;
                double ry = y + rise * t;
                if (ry > hmax)
                    break;
                int pi = static_cast<int>(px / f.cell + 0.5), pj = static_cast<int>(pz / f.cell + 0.5);
                if (pi < 0 || pj < 0 || pi >= W || pj >= W)
                    break;
                if (f.get(pi, pj) > ry) {
                    shadow[static_cast<std::size_t>(i) + static_cast<std::size_t>(W) * j] = 0.0f;
                    break;
                }
            }
        }
    // Soft edges: a 3 x 3 blur.
    std::vector<float> soft(shadow.size());
    for (int j = 0; j < W; ++j)
        for (int i = 0; i < W; ++i) {
            float s = 0;
            for (int dj = -1; dj <= 1; ++dj)
                for (int di = -1; di <= 1; ++di) {
                    int a = std::clamp(i + di, 0, W - 1), b = std::clamp(j + dj, 0, W - 1);
                    s += shadow[static_cast<std::size_t>(a) + static_cast<std::size_t>(W) * b];
                }
            soft[static_cast<std::size_t>(i) + static_cast<std::size_t>(W) * j] = s / 9;
        }
    shading.assign(static_cast<std::size_t>(W) * W * 3, 0);
    lit.assign(static_cast<std::size_t>(W) * W, 255);
    for (int j = 0; j < W; ++j)
        for (int i = 0; i < W; ++i) {
            double dx = (f.get(i + 1, j) - f.get(i - 1, j)) / (2 * f.cell);
            double dz = (f.get(i, j + 1) - f.get(i, j - 1)) / (2 * f.cell);
            double nl = std::sqrt(dx * dx + 1 + dz * dz);
            double ndl = (-dx * sun.x + sun.y - dz * sun.z) / nl;
            std::size_t idx = static_cast<std::size_t>(i) + static_cast<std::size_t>(W) * j;
            double s = soft[idx];
            double light = 0.55 + 0.6 * std::max(0.0, ndl) * (0.35 + 0.65 * s);
            // Stored at half intensity: 1.0 is byte 128.
            const double tint[3] = {1.0, 0.97, 0.9};
            for (int c = 0; c < 3; ++c)
                shading[idx * 3 + c] = static_cast<std::uint8_t>(std::clamp(light * tint[c] * 127.5, 0.0, 255.0));
            lit[idx] = static_cast<std::uint8_t>(std::lround(110 + 145 * s));
        }
}

// ---- the folder's text files ----

std::string vec3(double x, double y, double z)
{
    std::string r = "[";
    r += num(x);
    r += ' ';
    r += num(y);
    r += ' ';
    r += num(z);
    r += ']';
    return r;
}

const PathPoint& point_at(const Layout& layout, double s)
{
    double L = layout.length;
    s = std::fmod(std::fmod(s, L) + L, L);
    std::size_t k = static_cast<std::size_t>(s * layout.points.size() / L);
    return layout.points[std::min(k, layout.points.size() - 1)];
}

double height_at(const Field& f, double x, double z)
{
    int i = std::clamp(static_cast<int>(std::lround(x / f.cell)), 0, f.side - 1);
    int j = std::clamp(static_cast<int>(std::lround(z / f.cell)), 0, f.side - 1);
    return f.get(i, j);
}

struct Placed {
    std::string statues, billboards, flaggers, cameras, timing;
    int statue_count = 0, billboard_count = 0, flagger_count = 0, camera_count = 0;
    int checkpoints = 0, first = 0, normal = 0, gates = 0;
};

void place_timing(const Layout& layout, const Field& f, const Params& p, int gate_count, Placed& out)
{
    track::TrackTiming t;
    const PathPoint& g0 = layout.points[0];
    double nx = -g0.tz, nz = g0.tx;
    double heading = std::atan2(-g0.tx, -g0.tz);
    double spacing = 3.2;
    for (int k = 0; k < gate_count; ++k) {
        double off = (k - (gate_count - 1) / 2.0) * spacing;
        // Inside places first: gate 0 is the one nearest the first turn's
        // inside line.
        track::StartingGate g;
        g.x = static_cast<float>(g0.x + nx * off);
        g.z = static_cast<float>(g0.z + nz * off);
        g.y = 0;
        g.heading = static_cast<float>(heading);
        t.gates.push_back(g);
    }
    // The gate nearest the inside of the first turn goes first.
    const PathPoint* turn = &layout.points[0];
    for (const PathPoint& q : layout.points)
        if (q.curvature != 0) {
            turn = &q;
            break;
        }
    double inside = turn->curvature > 0 ? 1 : -1;
    std::stable_sort(t.gates.begin(), t.gates.end(), [&](const track::StartingGate& a, const track::StartingGate& b) {
        double la = (a.x - g0.x) * nx + (a.z - g0.z) * nz, lb = (b.x - g0.x) * nx + (b.z - g0.z) * nz;
        return la * inside > lb * inside;
    });
    auto checkpoint = [&](double s, double extra) {
        const PathPoint& q = point_at(layout, s);
        track::Checkpoint c;
        c.radius = static_cast<float>(q.half_width + extra);
        c.x = static_cast<float>(q.x);
        c.z = static_cast<float>(q.z);
        c.y = static_cast<float>(height_at(f, q.x, q.z));
        c.dir_x = static_cast<float>(q.tx);
        c.dir_z = static_cast<float>(q.tz);
        return c;
    };
    // Checkpoint 0 is the holeshot line just past the gates (first lap
    // only); then the lap's checkpoints up to the finish line.
    t.checkpoints.push_back(checkpoint(12, 6));
    double finish = layout.length - 60;
    double first = p.kind == TrackKind::supercross ? 90 : 160;
    int n = std::max(8, static_cast<int>((finish - first) / (p.kind == TrackKind::supercross ? 70.0 : 130.0)));
    for (int k = 0; k <= n; ++k)
        t.checkpoints.push_back(checkpoint(first + (finish - first) * k / n, 10));
    int count = static_cast<int>(t.checkpoints.size());
    t.first_lap.push_back(0);
    for (int k = 1; k < count; ++k) {
        t.first_lap.push_back(k);
        t.normal_lap.push_back(k);
    }
    out.timing = track::format_timing_gates(t);
    out.checkpoints = count;
    out.first = static_cast<int>(t.first_lap.size());
    out.normal = static_cast<int>(t.normal_lap.size());
    out.gates = static_cast<int>(t.gates.size());

    // Cameras: one per four checkpoints, beside the track, each covering its
    // stretch.
    std::string cams;
    int ncam = 0;
    for (int k = 1; k < count; k += 4) {
        const PathPoint& q = point_at(layout, first + (finish - first) * (k - 1 + 2) / n);
        double side = (k / 4) % 2 ? 1 : -1;
        double off = q.half_width + 30;
        double cx = q.x - q.tz * off * side, cz = q.z + q.tx * off * side;
        cams += ncam % 2 ? "fov 55\ngate" : "fov 70\ngate";
        for (int g = k; g < std::min(count, k + 4); ++g) {
            cams += ' ';
            cams += std::to_string(g);
        }
        if (k == 1)
            cams += " 0";
        cams += "\naddcamera ";
        cams += num(cx);
        cams += " 14 ";
        cams += num(cz);
        cams += '\n';
        ++ncam;
    }
    out.cameras = cams;
    out.camera_count = ncam;
}

void place_scenery(const Layout& layout, const Field& f, const Params& p, Placed& out)
{
    Rng rng(p.seed * 31 + 7);
    auto statue = [&](double x, double z, double angle, const StatueKind& k) {
        out.statues += vec3(x, 0, z) + " " + num(angle) + " " + k.model + " " + k.texture + " " + k.shape + "\n";
        ++out.statue_count;
    };
    auto beside = [&](const PathPoint& q, double l, double& x, double& z) {
        x = q.x - q.tz * l, z = q.z + q.tx * l;
    };
    auto clear_of_track = [&](double x, double z, double margin) {
        int i = static_cast<int>(std::lround(x / f.cell)), j = static_cast<int>(std::lround(z / f.cell));
        if (i < 2 || j < 2 || i >= f.side - 2 || j >= f.side - 2)
            return false;
        for (const PathPoint& q : layout.points)
            if (std::hypot(q.x - x, q.z - z) < q.half_width + margin)
                return false;
        return true;
    };
    // Hay bales on the outside of every berm, tuff blocks at the apex.
    double last = -1000;
    for (const PathPoint& q : layout.points) {
        if (q.berm < 1.5 || q.s - last < 22 || q.s < 60)
            continue;
        double outside = q.curvature > 0 ? -1 : 1;
        double x, z;
        beside(q, outside * (q.half_width + 9), x, z);
        if (clear_of_track(x, z, 6)) {
            statue(x, z, std::atan2(-q.tx, -q.tz), k_hay_bale);
            last = q.s;
        }
    }
    for (std::size_t c = 0; c < layout.points.size(); c += 1) {
        const PathPoint& q = layout.points[c];
        // Apex: the middle of each corner's arc.
        if (q.curvature == 0)
            continue;
        std::size_t prev = (c + layout.points.size() - 1) % layout.points.size();
        if (layout.points[prev].segment != q.segment) {
            double arc = std::fabs(1 / q.curvature) * 0.8;
            const PathPoint& apex = point_at(layout, q.s + arc / 2);
            double inside = apex.curvature > 0 ? 1 : -1;
            double x, z;
            beside(apex, inside * (apex.half_width + 5), x, z);
            if (clear_of_track(x, z, 3.5))
                statue(x, z, 0, k_tuff_block);
        }
    }
    // Banners along the start straight and a tent at the finish.
    for (double s = 120; s < std::min(layout.start_straight - 40, 420.0); s += 90)
        for (double side : {-1.0, 1.0}) {
            const PathPoint& q = point_at(layout, s);
            double x, z;
            beside(q, side * (q.half_width + 12), x, z);
            if (clear_of_track(x, z, 8))
                statue(x, z, std::atan2(-q.tz, q.tx), k_banner);
        }
    const PathPoint& fin = point_at(layout, layout.length - 60);
    double tx, tz;
    beside(fin, -(fin.half_width + 45), tx, tz);
    if (clear_of_track(tx, tz, 14))
        statue(tx, tz, std::atan2(-fin.tx, -fin.tz), k_tent);

    // The stadium's walls: banners all round the floor, facing in.
    if (p.kind == TrackKind::supercross) {
        double field = f.field(), inset = 6, step = 13;
        for (int side = 0; side < 4; ++side)
            for (double u = inset + step; u < field - inset - step / 2; u += step) {
                double x = side == 0 ? u : side == 1 ? field - inset : side == 2 ? field - u : inset;
                double z = side == 0 ? inset : side == 1 ? u : side == 2 ? field - inset : field - u;
                // The banner's face looks along its local +z: towards the
                // middle of the floor.
                double angle = side * k_pi / 2;
                if (clear_of_track(x, z, 7))
                    statue(x, z, angle, k_banner);
            }
    }

    // Billboards: trees off the track, signs along the straights.
    auto board = [&](double x, double z, double size, double aspect, const std::string& tex) {
        out.billboards += vec3(x, size * aspect / 2, z) + " " + num(size) + " " + num(aspect) + " " + tex + "\n";
        ++out.billboard_count;
    };
    if (p.kind == TrackKind::outdoor) {
        double field = f.field();
        int want = 700, tries = 0;
        while (out.billboard_count < want && tries++ < 20000) {
            double x = rng.range(40, field - 40), z = rng.range(40, field - 40);
            // Trees gather in groves.
            double grove = fractal_noise(p.seed + 5, x, z, 220, 2);
            if (grove < 0.1 && rng.uniform() > 0.08)
                continue;
            if (!clear_of_track(x, z, 45))
                continue;
            int kind = rng.below(10);
            const char* tex = kind < 5 ? "@billboard/tree-pine.png" : (kind < 8 ? "@billboard/tree-oak.png" : "@billboard/tree-birch.png");
            double size = rng.range(9, 16);
            board(x, z, size, 2, tex);
        }
    }
    const char* signs[] = {"@billboard/sign-zarvox.png", "@billboard/sign-braap.png"};
    int si = 0;
    for (const PlacedFeature& feat : layout.features) {
        const PathPoint& q = point_at(layout, feat.s0 - 20);
        double x, z;
        double side = (si % 2) ? 1 : -1;
        beside(q, side * (q.half_width + 16), x, z);
        if (clear_of_track(x, z, 10))
            board(x, z, 10, 0.5, signs[si++ % 2]);
    }
    // The finish sign beside the line, on whichever side has room.
    for (double off = 14; off < 80; off += 6) {
        double x, z;
        beside(fin, fin.half_width + off, x, z);
        if (!clear_of_track(x, z, 8))
            beside(fin, -(fin.half_width + off), x, z);
        if (clear_of_track(x, z, 8)) {
            board(x, z, 10, 0.5, "@billboard/sign-finish.png");
            break;
        }
    }

    // Flaggers: the starter walks from in front of the gates to the side;
    // the finish flagger by the line; corner marshals before the jumps.
    const PathPoint& g = layout.points[0];
    double sx = g.x + g.tx * 25, sz = g.z + g.tz * 25;
    double ex, ez;
    beside(point_at(layout, 25), g.half_width + 8, ex, ez);
    out.flaggers += vec3(sx, 3, sz) + " " + vec3(ex, 3, ez) + " 3 2 4 @flagger/starter-board.png "
                    "@flagger/starter-sideways.png @flagger/starter-away.png @flagger/starter-walk.png "
                    "@flagger/starter-aside.png\n";
    double fx, fz;
    beside(fin, -(fin.half_width + 6), fx, fz);
    out.flaggers += vec3(fx, 3, fz) + " 3 2 @flagger/finish-idle.png @flagger/finish-halfway.png "
                    "@flagger/finish-white.png @flagger/finish-checkered.png\n";
    out.flagger_count = 2;
    double finish = layout.length - 60;
    double first = p.kind == TrackKind::supercross ? 90 : 160;
    int n = std::max(8, static_cast<int>((finish - first) / (p.kind == TrackKind::supercross ? 70.0 : 130.0)));
    auto cp_of = [&](double s) {
        int k = static_cast<int>(std::lround((s - first) / (finish - first) * n)) + 1;
        return std::clamp(k, 1, n + 1);
    };
    for (const PlacedFeature& feat : layout.features) {
        if (feat.kind != Feature::tabletop && feat.kind != Feature::double_jump)
            continue;
        const PathPoint& q = point_at(layout, (feat.s0 + feat.s1) / 2);
        double x, z;
        beside(q, (q.half_width + 8) * (out.flagger_count % 2 ? 1 : -1), x, z);
        int c = cp_of(feat.s1);
        out.flaggers += vec3(x, 3, z) + " 3 2 " + std::to_string(std::max(1, c - 1)) + " " + std::to_string(c) + " " +
                        std::to_string(std::min(n + 1, c + 1)) + " -1 @flagger/corner-calm.png @flagger/corner-yellow.png\n";
        ++out.flagger_count;
    }
}

std::string lighting_text(const Params& p)
{
    Sun s = sun_of(p);
    std::string t = "sun_vector " + vec3(s.x, s.y, s.z) + "\n";
    if (p.kind == TrackKind::supercross) {
        t += "sun_color [1 1 0.97]\nambient [0.55 0.55 0.6]\nglobal_ambient [0.25 0.25 0.28]\n"
             "fog [0.55 0.62 0.72] 0.0012\nnear_plane 0.25\nfar_plane 3000\n";
    } else {
        t += "sun_color [1 0.96 0.88]\nambient [0.45 0.47 0.52]\nglobal_ambient [0.2 0.2 0.22]\n"
             "fog [0.72 0.8 0.88] 0.0005\nnear_plane 0.25\nfar_plane 6000\n";
    }
    t += "dynamic_lighting 0\n";
    t += "flare_element [0.5 0.25] [1 0.95 0.8] 1 @roost.png\n"
         "flare_element [1.2 0.1] [0.6 0.7 1] 0.6 @roost.png\n"
         "flare_vector " + vec3(s.x, s.y, s.z) + "\n";
    return t;
}

std::vector<std::uint8_t> map_picture(const Field& f, const Layout& layout)
{
    constexpr int n = 256;
    Canvas c(n, n);
    double scale = n / f.field();
    auto px = [&](double v) { return static_cast<float>(v * scale); };
    for (const PathPoint& q : layout.points)
        c.fill_circle(px(q.x), px(q.z), std::max(1.5f, px(q.half_width + 3)), rgb(20, 20, 20, 0.8f));
    for (const PathPoint& q : layout.points)
        c.fill_circle(px(q.x), px(q.z), std::max(1.0f, px(q.half_width)),
                      q.profile > 0.5 ? rgb(250, 200, 120) : rgb(235, 225, 200));
    const PathPoint& g = layout.points[0];
    c.line(px(g.x + g.tz * g.half_width), px(g.z - g.tx * g.half_width), px(g.x - g.tz * g.half_width),
           px(g.z + g.tx * g.half_width), 2, rgb(60, 220, 60));
    return png_of(c, true, {{"Comment", "[mip_max_alpha] map: the whole field, x to the right, z down"}});
}

std::vector<std::uint8_t> terrain_png(const Field& f, float lo, float hi)
{
    render::PngImage img;
    img.width = img.height = f.side;
    img.format = render::PngFormat::grey16;
    img.pixels.resize(static_cast<std::size_t>(f.side) * f.side * 2);
    double range = hi - lo;
    for (std::size_t k = 0; k < f.h.size(); ++k) {
        double v = range > 0 ? (f.h[k] - lo) / range * 65535.0 + 0.5 : 0;
        auto s = static_cast<std::uint16_t>(std::clamp(v, 0.0, 65535.0));
        img.pixels[2 * k] = static_cast<std::uint8_t>(s & 0xff);
        img.pixels[2 * k + 1] = static_cast<std::uint8_t>(s >> 8);
    }
    auto bytes = render::encode_png(img);
    return bytes ? *bytes : std::vector<std::uint8_t>{};
}

// Height the terrain stores for a sample: the 16-bit quantisation the
// reader applies.
void quantise(Field& f, float lo, float hi)
{
    double range = hi - lo;
    for (float& h : f.h) {
        double v = std::clamp((h - lo) / range * 65535.0 + 0.5, 0.0, 65535.0);
        h = static_cast<float>(lo + std::floor(v) * range / 65535.0);
    }
}

}  // namespace

bool build_track(const TrackSpec& spec, std::vector<core::SafMember>& files, TrackReport& report)
{
    Params p;
    p.kind = spec.kind;
    p.seed = spec.seed;
    Field f;
    std::vector<Corner> corners;
    Layout layout;
    if (spec.kind == TrackKind::supercross) {
        f.n = 8, f.side = 513, f.cell = 1;
        p.layout.half_width = 10;
        p.layout.pad_half_width = 36;
        p.layout.pad_length = 25;
        p.layout.funnel_end = 160;
        p.layout.gate_offset = 30;
        p.layout.shoulder = 8;
        p.layout.gap = 34;
        corners = supercross_corners();
        layout = build_layout(corners, p.layout);
        std::vector<Feature> pref = {Feature::none, Feature::none, Feature::double_jump, Feature::none,
                                     Feature::whoops, Feature::none, Feature::rhythm, Feature::none,
                                     Feature::tabletop, Feature::none, Feature::double_jump, Feature::rhythm};
        place_features(layout, p.layout, pref, spec.seed);
    } else {
        f.n = 9, f.side = 1025, f.cell = 2;
        p.hill = 55;
        p.rolling = 14;
        Rng rng(spec.seed);
        for (int attempt = 0; attempt < 400; ++attempt) {
            corners = spec.designed ? rabbit_hill_corners() : random_corners(rng, f.field(), 4400);
            if (!spec.designed)
                longest_straight_first(corners);
            layout = build_layout(corners, p.layout);
            if (layout.points.empty()) {
                if (spec.designed)
                    break;
                continue;
            }
            if (!spec.designed) {
                // Towards a lap of about 4400 feet, about the field's centre.
                double k = std::clamp(4400 / layout.length, 0.7, 1.4);
                for (Corner& c : corners) {
                    c.x = f.field() / 2 + (c.x - f.field() / 2) * k;
                    c.z = f.field() / 2 + (c.z - f.field() / 2) * k;
                }
                layout = build_layout(corners, p.layout);
                if (layout.points.empty() || layout.start_straight < 280)
                    continue;
                bool inside = true;
                for (const PathPoint& q : layout.points)
                    inside = inside && q.x > 200 && q.z > 200 && q.x < f.field() - 200 && q.z < f.field() - 200;
                if (!inside)
                    continue;
            }
            if (layout_clearance(layout, p.layout.shoulder, 300) > 6)
                break;
            if (spec.designed) {
                std::fprintf(stderr, "zarvox-datagen: %s runs into itself (clearance %.1f)\n", spec.folder.c_str(),
                             layout_clearance(layout, p.layout.shoulder, 300));
                return false;
            }
            layout.points.clear();
        }
        if (layout.points.empty()) {
            std::fprintf(stderr, "zarvox-datagen: no layout found for %s\n", spec.folder.c_str());
            return false;
        }
        std::vector<Feature> pref;
        if (spec.designed)
            pref = {Feature::none,   Feature::tabletop, Feature::double_jump, Feature::whoops,
                    Feature::rhythm, Feature::tabletop, Feature::rhythm,      Feature::tabletop,
                    Feature::whoops, Feature::double_jump, Feature::tabletop,    Feature::none};
        place_features(layout, p.layout, pref, spec.seed);
    }
    if (layout.points.empty()) {
        std::fprintf(stderr, "zarvox-datagen: %s has no usable layout\n", spec.folder.c_str());
        return false;
    }
    smooth_baseline(layout, p, f.field());
    for (PathPoint& q : layout.points)
        q.profile = feature_height(layout, q.s);
    build_field(f, layout, p);
    float lo = *std::min_element(f.h.begin(), f.h.end());
    float hi = *std::max_element(f.h.begin(), f.h.end());
    lo = std::floor(lo) - 1;
    hi = std::ceil(hi) + 1;
    quantise(f, lo, hi);

    std::vector<std::uint8_t> shading, lit;
    light_field(f, p, shading, lit);
    Placed placed;
    int gate_count = spec.kind == TrackKind::supercross ? 22 : 40;
    place_timing(layout, f, p, gate_count, placed);
    place_scenery(layout, f, p, placed);

    char header[128];
    std::snprintf(header, sizeof header, "%d %f %f %f\n", f.n, f.cell, static_cast<double>(lo), static_cast<double>(hi));
    files.push_back({"terrain.hf", to_bytes(header)});
    files.push_back({"terrain.png", terrain_png(f, lo, hi)});
    files.push_back({"shadingx2.ppm.gz", gzip_bytes(ppm_bytes(f.side, f.side, shading))});
    files.push_back({"shadows.pgm.gz", gzip_bytes(pgm_bytes(f.side, f.side, lit))});
    files.push_back({"tilemap.gz", gzip_bytes(tile_map(f, layout, p))});
    files.push_back({"tileinfo", to_bytes(tileinfo_text())});
    files.push_back({"timing_gates", to_bytes(placed.timing)});
    files.push_back({"statues", to_bytes(placed.statues)});
    files.push_back({"billboards", to_bytes(placed.billboards)});
    files.push_back({"flaggers", to_bytes(placed.flaggers)});
    files.push_back({"cameras", to_bytes(placed.cameras)});
    files.push_back({"lighting", to_bytes(lighting_text(p))});
    // A chalk line across the start pad just past the gates. Laid only where
    // the start straight runs along a world axis: a decal's long side is
    // then across the track whichever way its angle turns.
    {
        const PathPoint& g = point_at(layout, 6);
        if (std::fabs(g.tx) > 0.9998 || std::fabs(g.tz) > 0.9998) {
            double angle = std::atan2(g.tx, -g.tz);  // long side along (-tz, tx)
            double width = 2;
            std::string d = "[";
            d += num(g.x);
            d += ' ';
            d += num(g.z);
            d += "] ";
            d += num(angle);
            d += ' ';
            d += num(width);
            d += ' ';
            d += num(2 * g.half_width / width);
            d += " @decals/startline.png\n";
            files.push_back({"decals", to_bytes(d)});
        }
    }
    files.push_back({"map.png", map_picture(f, layout)});
    files.push_back({"desc", to_bytes(spec.long_name + "\n")});

    report.grid_side = f.side;
    report.field_size = f.field();
    report.lap_length = layout.length;
    report.checkpoints = placed.checkpoints;
    report.first_lap = placed.first;
    report.normal_lap = placed.normal;
    report.gates = placed.gates;
    report.statues = placed.statue_count;
    report.billboards = placed.billboard_count;
    report.flaggers = placed.flagger_count;
    report.cameras = placed.camera_count;
    double lowest = 1e9, highest = -1e9;
    for (std::size_t k = 0; k < layout.points.size(); ++k) {
        const PathPoint& q = layout.points[k];
        lowest = std::min(lowest, q.baseline);
        highest = std::max(highest, q.baseline);
        const PathPoint& n = layout.points[(k + 10) % layout.points.size()];
        report.steepest = std::max(report.steepest, std::fabs(n.baseline - q.baseline) / 10.0);
    }
    report.climb = highest - lowest;
    for (const PlacedFeature& feat : layout.features)
        report.features.push_back(std::string(feature_name(feat.kind)) + " at " + std::to_string(static_cast<int>(feat.s0)) + " ft");
    return true;
}

void tile_texture_members(std::vector<core::SafMember>& out)
{
    struct T {
        const char* name;
        Rgba a, b;
        double feature;
        std::uint64_t seed;
    };
    const T tiles[] = {
        {"tiles/grass-repeat.png", rgb(70, 115, 45), rgb(105, 150, 60), 6, 1},
        {"tiles/loam-repeat.png", rgb(105, 75, 50), rgb(150, 110, 75), 4, 2},
        {"tiles/hardpack-repeat.png", rgb(150, 125, 95), rgb(185, 160, 125), 10, 3},
        {"tiles/edge-repeat.png", rgb(120, 95, 65), rgb(110, 130, 65), 8, 4},
        {"tiles/floor-repeat.png", rgb(95, 90, 85), rgb(125, 120, 112), 12, 5},
    };
    for (const T& t : tiles) {
        constexpr int n = 256;
        Canvas c(n, n);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                // Tileable: noise on a torus (sum of the four wrapped copies).
                double v = 0;
                for (int k = 0; k < 4; ++k) {
                    double ox = (k & 1) ? n : 0, oy = (k & 2) ? n : 0;
                    double wx = (k & 1) ? x / double(n) : 1 - x / double(n);
                    double wy = (k & 2) ? y / double(n) : 1 - y / double(n);
                    v += wx * wy * fractal_noise(t.seed, x - ox + n, y - oy + n, t.feature * 4, 4);
                }
                double grit = value_noise(t.seed + 9, x * 0.9, y * 0.9) * 0.25;
                c.at(x, y) = mix(t.a, t.b, static_cast<float>(clamp01(0.5 + v * 0.9 + grit)));
            }
        out.push_back({t.name, png_of(c, false)});
    }
}

}  // namespace zv::datagen
