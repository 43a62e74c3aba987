#include "gen_image.h"

#include "gen_util.h"
#include "render/png_io.h"

#include <algorithm>
#include <cmath>

namespace zv::datagen {

Rgba mix(Rgba a, Rgba b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Rgba shade(Rgba c, float f)
{
    return {c.r * f, c.g * f, c.b * f, c.a};
}

Canvas::Canvas(int width, int height, Rgba fill)
    : w_(width), h_(height), px_(static_cast<std::size_t>(width) * height, fill)
{
}

void Canvas::blend(int x, int y, Rgba c, float coverage)
{
    if (x < 0 || y < 0 || x >= w_ || y >= h_)
        return;
    float a = std::clamp(c.a * coverage, 0.0f, 1.0f);
    if (a <= 0)
        return;
    Rgba& d = at(x, y);
    float out_a = a + d.a * (1 - a);
    if (out_a <= 0) {
        d = {0, 0, 0, 0};
        return;
    }
    d.r = (c.r * a + d.r * d.a * (1 - a)) / out_a;
    d.g = (c.g * a + d.g * d.a * (1 - a)) / out_a;
    d.b = (c.b * a + d.b * d.a * (1 - a)) / out_a;
    d.a = out_a;
}

void Canvas::fill_sdf(const std::function<float(float, float)>& distance, Rgba c, float x0, float y0, float x1,
                      float y1)
{
    int ix0 = std::max(0, static_cast<int>(std::floor(x0)) - 1);
    int iy0 = std::max(0, static_cast<int>(std::floor(y0)) - 1);
    int ix1 = std::min(w_ - 1, static_cast<int>(std::ceil(x1)) + 1);
    int iy1 = std::min(h_ - 1, static_cast<int>(std::ceil(y1)) + 1);
    for (int y = iy0; y <= iy1; ++y)
        for (int x = ix0; x <= ix1; ++x) {
            float d = distance(x + 0.5f, y + 0.5f);
            float cov = std::clamp(0.5f - d, 0.0f, 1.0f);
            if (cov > 0)
                blend(x, y, c, cov);
        }
}

void Canvas::fill_rect(float x0, float y0, float x1, float y1, Rgba c)
{
    fill_round_rect(x0, y0, x1, y1, 0, c);
}

void Canvas::fill_round_rect(float x0, float y0, float x1, float y1, float r, Rgba c)
{
    float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hx = (x1 - x0) / 2, hy = (y1 - y0) / 2;
    fill_sdf(
        [=](float x, float y) {
            float qx = std::fabs(x - cx) - hx + r, qy = std::fabs(y - cy) - hy + r;
            float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
            return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - r;
        },
        c, x0, y0, x1, y1);
}

void Canvas::fill_circle(float cx, float cy, float r, Rgba c)
{
    fill_sdf([=](float x, float y) { return std::hypot(x - cx, y - cy) - r; }, c, cx - r, cy - r, cx + r, cy + r);
}

void Canvas::ring(float cx, float cy, float r, float width, Rgba c)
{
    fill_sdf([=](float x, float y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - width / 2; }, c,
             cx - r - width, cy - r - width, cx + r + width, cy + r + width);
}

void Canvas::line(float x0, float y0, float x1, float y1, float width, Rgba c)
{
    float dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    fill_sdf(
        [=](float x, float y) {
            float t = len2 > 0 ? std::clamp(((x - x0) * dx + (y - y0) * dy) / len2, 0.0f, 1.0f) : 0.0f;
            return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - width / 2;
        },
        c, std::min(x0, x1) - width, std::min(y0, y1) - width, std::max(x0, x1) + width,
        std::max(y0, y1) + width);
}

void Canvas::polygon(const std::vector<std::pair<float, float>>& pts, Rgba c)
{
    if (pts.size() < 3)
        return;
    float x0 = pts[0].first, x1 = x0, y0 = pts[0].second, y1 = y0;
    for (auto [x, y] : pts) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
    }
    fill_sdf(
        [&pts](float px, float py) {
            float best = 1e30f;
            bool inside = false;
            for (std::size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
                auto [xi, yi] = pts[i];
                auto [xj, yj] = pts[j];
                float ex = xj - xi, ey = yj - yi, l2 = ex * ex + ey * ey;
                float t = l2 > 0 ? std::clamp(((px - xi) * ex + (py - yi) * ey) / l2, 0.0f, 1.0f) : 0.0f;
                best = std::min(best, std::hypot(px - (xi + t * ex), py - (yi + t * ey)));
                if (((yi > py) != (yj > py)) && (px < (xj - xi) * (py - yi) / (yj - yi) + xi))
                    inside = !inside;
            }
            return inside ? -best : best;
        },
        c, x0, y0, x1, y1);
}

void Canvas::grain(std::uint64_t seed, float amount, float feature)
{
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) {
            float n = static_cast<float>(fractal_noise(seed, x, y, feature, 2));
            Rgba& p = at(x, y);
            float f = 1 + amount * n;
            p.r *= f;
            p.g *= f;
            p.b *= f;
        }
}

namespace {

std::uint8_t byte_of(float v)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

}  // namespace

std::vector<std::uint8_t> Canvas::rgba8() const
{
    std::vector<std::uint8_t> out;
    out.reserve(px_.size() * 4);
    for (const Rgba& p : px_) {
        out.push_back(byte_of(p.r));
        out.push_back(byte_of(p.g));
        out.push_back(byte_of(p.b));
        out.push_back(byte_of(p.a));
    }
    return out;
}

std::vector<std::uint8_t> Canvas::rgb8() const
{
    std::vector<std::uint8_t> out;
    out.reserve(px_.size() * 3);
    for (const Rgba& p : px_) {
        out.push_back(byte_of(p.r));
        out.push_back(byte_of(p.g));
        out.push_back(byte_of(p.b));
    }
    return out;
}

std::vector<std::uint8_t> png_of(const Canvas& c, bool alpha,
                                 const std::vector<std::pair<std::string, std::string>>& text)
{
    render::PngImage img;
    img.width = c.width();
    img.height = c.height();
    img.format = alpha ? render::PngFormat::rgba : render::PngFormat::rgb;
    img.pixels = alpha ? c.rgba8() : c.rgb8();
    img.text = text;
    auto bytes = render::encode_png(img);
    return bytes ? *bytes : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> ppm_bytes(int width, int height, const std::vector<std::uint8_t>& rgb)
{
    std::string head = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<std::uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), rgb.begin(), rgb.end());
    return out;
}

std::vector<std::uint8_t> pgm_bytes(int width, int height, const std::vector<std::uint8_t>& grey)
{
    std::string head = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<std::uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), grey.begin(), grey.end());
    return out;
}

std::vector<std::uint8_t> ppm_of(const Canvas& c)
{
    return ppm_bytes(c.width(), c.height(), c.rgb8());
}

}  // namespace zv::datagen
