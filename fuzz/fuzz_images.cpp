// Pictures and textures: PNG (raw and as the texture loader expands it),
// PPM/PGM, the texture files that start with a keyword (ANIM1 sequences,
// LINK files, the predictive J6/J7 pictures), and the texture loader itself
// with its ".info" side files; the font's metrics file.
#include "harness.h"

#include <cmath>
#include <cstdlib>

#include "render/font.h"
#include "render/image_formats.h"
#include "render/png_io.h"
#include "render/textures.h"

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

// The driver side: checks that every upload lies inside its buffer.
class CheckingBackend : public render::TextureBackend {
public:
    render::TextureId create(const render::TextureUpload& up, std::size_t& bytes) override
    {
        const render::Image& c = *up.chain;
        const std::size_t need = up.levels > 1 ? render::mip_chain_bytes(c.width, c.height, c.channels)
                                               : c.level0_bytes();
        if (up.levels < 1 || up.levels > render::mip_level_count(c.width, c.height) ||
            up.first_byte > c.pixels.size() || c.pixels.size() - up.first_byte < need)
            std::abort();
        bytes = need;
        return ++last_;
    }
    void replace_levels(render::TextureId, const render::Image& chain) override
    {
        if (chain.pixels.size() < chain.level0_bytes())
            std::abort();
    }
    void destroy(render::TextureId) override {}

private:
    render::TextureId last_ = 0;
};

std::string texture_steps(std::uint8_t options, std::initializer_list<std::pair<std::uint8_t, std::string>> files)
{
    std::string out(1, static_cast<char>(options));
    for (const auto& [file, bytes] : files)
        out += step_bytes(file, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    return out;
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

// The first byte sets the detail skip, the compression and whether the name
// asks for full detail ("!"); the rest are steps whose control byte names the
// file: the picture, its ".info", and a second picture with its ".info" for
// links and animations to name ("@u.png").
int fuzz_texture(const std::uint8_t* data, std::size_t size)
{
    static const char* const k_files[] = {"data/t.png", "data/t.png.info", "data/u.png", "data/u.png.info"};
    if (size == 0)
        return 0;
    static CheckingBackend backend;
    use_scratch_data_folders();
    render::set_texture_backend(&backend);
    render::release_textures(true);
    render::set_texture_detail_skip(data[0] & 3);
    render::set_texture_compression(data[0] >> 2 & 3);
    render::set_gl_major_version(2);
    for (const char* f : k_files)
        remove_scratch(f);
    for (const Step& s : split_steps(data + 1, size - 1))
        write_scratch(k_files[s.control % std::size(k_files)], s.bytes.data(), s.bytes.size());
    const render::TextureId id = render::load_texture(data[0] & 0x10 ? "!@t.png" : "@t.png");
    if (id) {
        (void)render::texture_info(id);
        render::start_animation(id, 0);
        for (int time : {0, 1, 50, 1000, 100000})
            render::update_animations(time);
    }
    render::release_textures(true);
    return 0;
}

int fuzz_font(const std::uint8_t* data, std::size_t size)
{
    render::FontParse parsed = render::parse_font_metrics({reinterpret_cast<const char*>(data), size});
    if (!parsed.metrics)
        return 0;
    const render::FontMetrics& m = *parsed.metrics;
    // Every byte a string may hold, at the sizes the screen uses.
    std::string text;
    for (int c = 0; c < 256; ++c)
        text += static_cast<char>(c);
    for (float em : {12.0f, 0.5f, 1.0e6f, render::font_size_for_cap_height(m, 20)}) {
        const float width = render::font_text_width(m, text, em);
        if (!std::isfinite(width) || width < 0)
            std::abort();
        for (const render::GlyphQuad& q : render::layout_font_text(m, 3, 40, em, text))
            if (!(q.s0 >= 0 && q.s1 <= 1 && q.t0 >= 0 && q.t1 <= 1 && q.s0 <= q.s1 && q.t0 <= q.t1))
                std::abort();  // texture coordinates outside the picture
    }
    return 0;
}

Seeds font_seeds()
{
    return {"# metrics\ncell 16\nsize 14\nbaseline 12\nleft 1\nchar 65 9 1 2 14 12\nchar 72 9 1 3 15 12\n"
            "char 32 4\nchar 63 8 0 0 16 16\n",
            "cell 64\nsize 50.5\nbaseline 60\nleft 0\ncapheight 38\nchar 255 64 0 0 64 64\nchar 0 0.5\n"};
}

Seeds texture_seeds()
{
    const std::string png = png_of(6, 3, render::PngFormat::rgba);
    return {texture_steps(0x05, {{0, png}, {1, "[mip_max_alpha] [compress]"}}),
            texture_steps(0x10, {{0, png_of(4, 6, render::PngFormat::rgb)}, {1, "[mip_custom]"}}),
            texture_steps(0x01, {{0, "LINK @u.png\n"}, {2, "P6\n2 2\n255\n" + std::string(12, '\x33')}}),
            texture_steps(0x00, {{0, "ANIM1\n2 2 1\n0 1\n@u.png\n@t.png\n"}, {2, png}}),
            texture_steps(0x02, {{0, "J7\n1 1\n\x01\x02\x03\x04"}, {3, "[mip_max_alpha]"}})};
}

}  // namespace zv::fuzz
