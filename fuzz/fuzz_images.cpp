// Pictures and textures: PNG (raw and as the texture loader expands it),
// PPM/PGM, and the texture files that start with a keyword (ANIM1 sequences,
// LINK files, the predictive J6/J7 pictures).
#include "harness.h"

#include <cstdlib>

#include "render/image_formats.h"
#include "render/png_io.h"

namespace zv::fuzz {

namespace {

std::span<const std::uint8_t> span_of(const std::uint8_t* data, std::size_t size) { return {data, size}; }

std::string png_of(int w, int h, render::PngFormat format)
{
    render::PngImage img;
    img.width = w;
    img.height = h;
    img.format = format;
    img.pixels.resize(img.row_bytes() * static_cast<std::size_t>(h));
    for (std::size_t i = 0; i < img.pixels.size(); ++i)
        img.pixels[i] = static_cast<std::uint8_t>(i * 37);
    img.text.emplace_back("Comment", "seed");
    auto bytes = render::encode_png(img);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

}  // namespace

int fuzz_png(const std::uint8_t* data, std::size_t size)
{
    if (auto img = render::decode_png(span_of(data, size))) {
        // Whatever decodes must encode again.
        if (!render::encode_png(*img))
            std::abort();
    }
    std::string info;
    render::decode_png_for_texture(span_of(data, size), &info);
    return 0;
}

int fuzz_pnm(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    render::decode_pnm(span_of(data, size), error);
    return 0;
}

int fuzz_texture_formats(const std::uint8_t* data, std::size_t size)
{
    std::span<const std::uint8_t> bytes = span_of(data, size);
    std::string token = render::first_token(bytes);
    render::ByteCursor cursor(bytes);
    cursor.token();
    if (token == "ANIM1") {
        // Frames named by the sequence come from a tiny loader: a 2 x 2
        // picture, or none for names starting with "x".
        render::PngLoader load = [](const std::string& name) -> std::optional<render::Image> {
            if (!name.empty() && name[0] == 'x')
                return std::nullopt;
            render::Image img;
            img.width = name.size() % 3 + 1;
            img.height = 2;
            img.channels = name.size() % 2 ? 4 : 3;
            img.pixels.assign(img.level0_bytes(), 9);
            return img;
        };
        std::string error;
        if (auto seq = render::parse_anim1(cursor, load, error))
            for (const render::Image& frame : seq->frames)
                render::round_down_to_power_of_two(frame);
    } else if (token == "LINK") {
        render::parse_link(cursor);
    } else {
        render::decode_predictive(cursor, token == "J7" ? 4 : 3);
    }
    return 0;
}

Seeds png_seeds()
{
    return {png_of(3, 2, render::PngFormat::rgba), png_of(4, 4, render::PngFormat::grey16),
            png_of(1, 5, render::PngFormat::rgb)};
}

Seeds pnm_seeds()
{
    return {"P6\n2 1\n255\n\x01\x02\x03\x04\x05\x06", "P5\n# c\n2 2\n255\n\x01\x02\x03\x04",
            "P3\n1 1\n255\n1 2 3\n", "P2\n1 1\n65535\n300\n"};
}

Seeds texture_format_seeds()
{
    return {"ANIM1\n2 2 1\n0 1\na.png\nb.png\n", "LINK other_texture\n", "J6\n2 2\n" + std::string(12, '\x05'),
            "J7\n1 1\n\x01\x02\x03\x04"};
}

}  // namespace zv::fuzz
