// A floating-point RGBA canvas with anti-aliased shapes drawn from signed
// distances, and its conversion to PNG and PPM bytes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace zv::datagen {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 1;
};

inline Rgba rgb(int r, int g, int b, float a = 1.0f)
{
    return {r / 255.0f, g / 255.0f, b / 255.0f, a};
}
Rgba mix(Rgba a, Rgba b, float t);
Rgba shade(Rgba c, float factor);  // colour times factor, alpha kept

class Canvas {
public:
    Canvas(int width, int height, Rgba fill = {0, 0, 0, 0});
    int width() const { return w_; }
    int height() const { return h_; }
    Rgba& at(int x, int y) { return px_[static_cast<std::size_t>(y) * w_ + x]; }
    const Rgba& at(int x, int y) const { return px_[static_cast<std::size_t>(y) * w_ + x]; }
    // Source-over blend of colour c with extra coverage (0..1).
    void blend(int x, int y, Rgba c, float coverage);

    // Fills where distance(x, y) < 0 (pixel centres at +0.5), with a one
    // pixel soft edge. The bounding box limits the work.
    void fill_sdf(const std::function<float(float, float)>& distance, Rgba c, float x0, float y0, float x1,
                  float y1);
    void fill_rect(float x0, float y0, float x1, float y1, Rgba c);
    void fill_round_rect(float x0, float y0, float x1, float y1, float radius, Rgba c);
    void fill_circle(float cx, float cy, float r, Rgba c);
    void ring(float cx, float cy, float r, float width, Rgba c);
    void line(float x0, float y0, float x1, float y1, float width, Rgba c);
    void polygon(const std::vector<std::pair<float, float>>& points, Rgba c);
    // Multiplies colour by 1 + amount * noise (grain), deterministic.
    void grain(std::uint64_t seed, float amount, float feature = 1.5f);

    // Pixel bytes, rows top to bottom.
    std::vector<std::uint8_t> rgba8() const;
    std::vector<std::uint8_t> rgb8() const;

private:
    int w_, h_;
    std::vector<Rgba> px_;
};

// PNG bytes of the canvas (RGBA or RGB), with optional text chunks.
std::vector<std::uint8_t> png_of(const Canvas& c, bool alpha,
                                 const std::vector<std::pair<std::string, std::string>>& text = {});
// Binary PPM ("P6").
std::vector<std::uint8_t> ppm_of(const Canvas& c);
std::vector<std::uint8_t> ppm_bytes(int width, int height, const std::vector<std::uint8_t>& rgb);
std::vector<std::uint8_t> pgm_bytes(int width, int height, const std::vector<std::uint8_t>& grey);

}  // namespace zv::datagen
