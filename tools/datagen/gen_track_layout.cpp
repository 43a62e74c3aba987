#include "gen_track_layout.h"

#include <algorithm>
#include <cmath>

namespace zv::datagen {

const char* feature_name(Feature f)
{
    switch (f) {
    case Feature::none: return "none";
    case Feature::tabletop: return "tabletop";
    case Feature::double_jump: return "double";
    case Feature::rhythm: return "rhythm section";
    case Feature::whoops: return "whoops";
    }
    return "none";
}

namespace {

struct Seg {
    bool arc = false;
    double x0, z0, tx, tz;       // start point and direction (straight)
    double cx, cz, r, a0, turn;  // arc: centre, radius, start angle, signed turn
    double length;
};

double ease(double t)
{
    t = clamp01(t);
    return 0.5 * (t + t * t * (3 - 2 * t));
}

// A takeoff face: gentle at its foot, about 27 degrees at the lip for a
// 5-foot jump, so a 250 coming out of a corner at 27 mph carries 40 feet.
double takeoff(double t)
{
    t = clamp01(t);
    return 0.6 * t + 0.4 * t * t;
}

// Feature lengths and shapes (u from the feature's start).
constexpr double k_face = 14, k_table = 45, k_land = 28, k_back = 8, k_landup = 8;
constexpr double k_roller_base = 22, k_roller_spacing = 28, k_whoop_spacing = 12;

double feature_length(Feature f, const LayoutParams& p, int count)
{
    switch (f) {
    case Feature::tabletop: return k_face + k_table + k_land;
    case Feature::double_jump: return k_face + p.gap + k_land;
    case Feature::rhythm: return k_roller_spacing * count;
    case Feature::whoops: return k_whoop_spacing * count;
    case Feature::none: return 0;
    }
    return 0;
}

double shape(const PlacedFeature& f, double u, double gap)
{
    double H = f.height;
    switch (f.kind) {
    case Feature::tabletop:
        if (u < k_face)
            return H * takeoff(u / k_face);
        if (u < k_face + k_table)
            return H;
        return H * (1 - ease((u - k_face - k_table) / k_land));
    case Feature::double_jump:
        if (u < k_face)
            return H * takeoff(u / k_face);
        if (u < k_face + k_back)
            return H * (1 - ease((u - k_face) / k_back));
        if (u < k_face + gap - k_landup)
            return 0;
        if (u < k_face + gap)
            return H * ease((u - (k_face + gap - k_landup)) / k_landup);
        return H * (1 - ease((u - k_face - gap) / k_land));
    case Feature::rhythm: {
        double m = std::fmod(u, k_roller_spacing);
        if (m > k_roller_base)
            return 0;
        double sn = std::sin(k_pi * m / k_roller_base);
        return H * sn * sn;
    }
    case Feature::whoops: {
        double sn = std::sin(k_pi * u / k_whoop_spacing);
        return H * sn * sn;
    }
    case Feature::none: return 0;
    }
    return 0;
}

}  // namespace

Layout build_layout(const std::vector<Corner>& c, const LayoutParams& params)
{
    Layout layout;
    std::size_t n = c.size();
    if (n < 3)
        return layout;
    std::vector<double> tlen(n), turn(n);
    std::vector<double> ax(n), az(n), bx(n), bz(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Corner& p = c[(i + n - 1) % n];
        const Corner& v = c[i];
        const Corner& q = c[(i + 1) % n];
        double inx = v.x - p.x, inz = v.z - p.z, outx = q.x - v.x, outz = q.z - v.z;
        double li = std::hypot(inx, inz), lo = std::hypot(outx, outz);
        if (li < 1 || lo < 1)
            return layout;
        inx /= li, inz /= li, outx /= lo, outz /= lo;
        double cr = inx * outz - inz * outx, dt = inx * outx + inz * outz;
        turn[i] = std::atan2(cr, dt);
        tlen[i] = v.radius * std::tan(std::fabs(turn[i]) / 2);
        ax[i] = v.x - inx * tlen[i], az[i] = v.z - inz * tlen[i];
        bx[i] = v.x + outx * tlen[i], bz[i] = v.z + outz * tlen[i];
        if (std::fabs(turn[i]) > 170 * k_pi / 180)
            return layout;
    }
    // Segments from the end of corner 0: straight 0, corner 1, straight 1, ...
    std::vector<Seg> segs;
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t i = k, j = (k + 1) % n;
        double dx = ax[j] - bx[i], dz = az[j] - bz[i];
        double len = std::hypot(dx, dz);
        double full = std::hypot(c[j].x - c[i].x, c[j].z - c[i].z);
        if (tlen[i] + tlen[j] > full - 30)
            return Layout{};
        Seg s{};
        s.arc = false;
        s.x0 = bx[i], s.z0 = bz[i], s.tx = dx / len, s.tz = dz / len, s.length = len;
        segs.push_back(s);
        const Corner& v = c[j];
        Seg a{};
        a.arc = true;
        double sg = turn[j] > 0 ? 1 : -1;
        // Centre: from the arc start along the inward normal.
        double nx = -s.tz * sg, nz = s.tx * sg;
        a.cx = ax[j] + nx * v.radius, a.cz = az[j] + nz * v.radius;
        a.r = v.radius;
        a.a0 = std::atan2(az[j] - a.cz, ax[j] - a.cx);
        a.turn = turn[j];
        a.length = v.radius * std::fabs(turn[j]);
        segs.push_back(a);
        layout.corner_radius.push_back(v.radius);
    }
    double total = 0;
    for (const Seg& s : segs)
        total += s.length;
    // Sample every foot; s counts from the gate line, gate_offset past the
    // start of straight 0.
    int count = static_cast<int>(std::floor(total));
    layout.length = count;
    double step = total / count;
    std::vector<PathPoint> pts;
    pts.reserve(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        double d = std::fmod(k * step + params.gate_offset, total);
        std::size_t si = 0;
        while (si + 1 < segs.size() && d >= segs[si].length)
            d -= segs[si++].length;
        const Seg& s = segs[si];
        PathPoint p;
        p.segment = static_cast<int>(si);
        if (!s.arc) {
            p.x = s.x0 + s.tx * d, p.z = s.z0 + s.tz * d, p.tx = s.tx, p.tz = s.tz;
        } else {
            double sg = s.turn > 0 ? 1 : -1;
            double ang = s.a0 + sg * d / s.r;
            p.x = s.cx + s.r * std::cos(ang), p.z = s.cz + s.r * std::sin(ang);
            // Tangent: derivative of the position along the turn.
            p.tx = -std::sin(ang) * sg, p.tz = std::cos(ang) * sg;
            p.curvature = sg / s.r;
        }
        p.s = k * step;
        pts.push_back(p);
    }
    layout.start_straight = segs[0].length - params.gate_offset;
    layout.pad_half_width = params.pad_half_width;
    for (PathPoint& p : pts) {
        double w = params.half_width;
        double s = p.s;
        double back = total - s;  // approaching the gate
        if (s <= params.pad_length || back < 15)
            w = params.pad_half_width;
        else if (s < params.funnel_end)
            w = lerp(params.pad_half_width, params.half_width, smoothstep(params.pad_length, params.funnel_end, s));
        else if (back < 40)
            w = lerp(params.pad_half_width, params.half_width, smoothstep(15, 40, back));
        p.half_width = w;
    }
    layout.points = std::move(pts);
    // Berms on corners tighter than 130 ft, easing in and out over 30 ft.
    std::size_t np = layout.points.size();
    std::vector<double> raw(np, 0);
    for (std::size_t k = 0; k < np; ++k) {
        double kap = std::fabs(layout.points[k].curvature);
        if (kap > 1.0 / 130)
            raw[k] = std::min(5.0, 220.0 * kap) * params.jump_scale;
    }
    for (std::size_t k = 0; k < np; ++k) {
        double best = 0;
        for (int o = -30; o <= 30; ++o) {
            double v = raw[(k + np + static_cast<std::size_t>(o + static_cast<int>(np))) % np];
            best = std::max(best, v * (1 - std::fabs(o) / 31.0));
        }
        layout.points[k].berm = best;
    }
    return layout;
}

void place_features(Layout& layout, const LayoutParams& params, const std::vector<Feature>& preferred,
                    std::uint64_t seed)
{
    Rng rng(seed);
    layout.features.clear();
    auto& pts = layout.points;
    if (pts.empty())
        return;
    // Straight spans along s (straight k is segment 2k).
    struct Span {
        int straight;
        double s0, s1;
    };
    std::vector<Span> spans;
    for (std::size_t k = 0; k < pts.size(); ++k) {
        int seg = pts[k].segment;
        if (seg % 2)
            continue;
        if (spans.empty() || spans.back().straight != seg / 2 || pts[k].s - spans.back().s1 > 2)
            spans.push_back({seg / 2, pts[k].s, pts[k].s});
        spans.back().s1 = pts[k].s;
    }
    const Feature cycle[] = {Feature::tabletop, Feature::double_jump, Feature::rhythm, Feature::whoops};
    int next = rng.below(4);
    for (const Span& sp : spans) {
        if (sp.straight == 0 && sp.s0 < 1)
            continue;  // the start straight (from the gate) stays flat
        if (sp.s1 > layout.length - 80)
            continue;  // the finish approach stays flat as well
        double a = sp.s0 + 60, b = sp.s1 - 45;
        Feature want = sp.straight < static_cast<int>(preferred.size()) ? preferred[static_cast<std::size_t>(sp.straight)]
                                                                       : Feature::none;
        bool chosen = sp.straight < static_cast<int>(preferred.size());
        int guard = 0;
        while (b - a > 60 && guard++ < 4) {
            Feature f = chosen ? want : cycle[next % 4];
            int cnt = f == Feature::whoops ? 10 : (f == Feature::rhythm ? 4 : 0);
            double len = feature_length(f, params, cnt);
            if (f == Feature::none || len > b - a) {
                // The largest that fits, if any.
                f = Feature::none;
                for (Feature g : {Feature::rhythm, Feature::whoops, Feature::tabletop, Feature::double_jump}) {
                    int c2 = g == Feature::whoops ? 10 : (g == Feature::rhythm ? 4 : 0);
                    double l2 = feature_length(g, params, c2);
                    while (c2 > 3 && l2 > b - a)
                        l2 = feature_length(g, params, --c2);
                    if (l2 <= b - a && !(chosen && want == Feature::none)) {
                        f = g, cnt = c2, len = l2;
                        break;
                    }
                }
                if (f == Feature::none)
                    break;
            }
            PlacedFeature pf;
            pf.kind = f;
            pf.count = cnt;
            pf.s0 = a;
            pf.s1 = a + len;
            pf.height = params.jump_scale * (f == Feature::tabletop ? 5.0 : f == Feature::double_jump ? 5.0
                                                                        : f == Feature::rhythm    ? 3.0
                                                                                                  : 1.8);
            layout.features.push_back(pf);
            a = pf.s1 + 70;
            if (!chosen)
                ++next;
            chosen = false;  // a second feature on a long straight is the next of the cycle
        }
    }
    for (PathPoint& p : pts)
        p.profile = feature_height(layout, p.s);
}

double feature_height(const Layout& layout, double s)
{
    for (const PlacedFeature& f : layout.features)
        if (s >= f.s0 && s <= f.s1) {
            LayoutParams p;
            double gap = f.s1 - f.s0 - k_face - k_land;
            (void)p;
            return shape(f, s - f.s0, gap);
        }
    return 0;
}

double layout_clearance(const Layout& layout, double shoulder, double apart)
{
    const auto& pts = layout.points;
    double best = 1e9;
    double L = layout.length;
    for (std::size_t i = 0; i < pts.size(); i += 4)
        for (std::size_t j = i + 4; j < pts.size(); j += 4) {
            double ds = std::fabs(pts[i].s - pts[j].s);
            ds = std::min(ds, L - ds);
            if (ds < apart)
                continue;
            double d = std::hypot(pts[i].x - pts[j].x, pts[i].z - pts[j].z) - pts[i].half_width -
                       pts[j].half_width - 2 * shoulder;
            best = std::min(best, d);
        }
    return best;
}

}  // namespace zv::datagen
