#include "render/image_formats.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "render/png_io.h"

namespace zv::render {

namespace {

bool is_space(std::uint8_t c) { return std::isspace(c) != 0; }

bool size_ok(long long w, long long h)
{
    return w > 0 && h > 0 && w <= k_max_image_side && h <= k_max_image_side && w * h <= k_max_image_texels;
}

}  // namespace

std::string ByteCursor::token(std::size_t max_len)
{
    while (at_ < bytes_.size() && is_space(bytes_[at_]))
        ++at_;
    std::string out;
    while (at_ < bytes_.size() && !is_space(bytes_[at_]) && out.size() < max_len)
        out.push_back(static_cast<char>(bytes_[at_++]));
    return out;
}

void ByteCursor::skip_space_and_comments()
{
    for (;;) {
        while (at_ < bytes_.size() && is_space(bytes_[at_]))
            ++at_;
        if (at_ < bytes_.size() && bytes_[at_] == '#') {
            while (at_ < bytes_.size() && bytes_[at_] != '\n')
                ++at_;
            continue;
        }
        return;
    }
}

std::optional<long long> ByteCursor::header_int()
{
    skip_space_and_comments();
    std::size_t start = at_;
    bool negative = false;
    if (at_ < bytes_.size() && (bytes_[at_] == '-' || bytes_[at_] == '+'))
        negative = bytes_[at_++] == '-';
    long long v = 0;
    std::size_t digits = 0;
    while (at_ < bytes_.size() && std::isdigit(bytes_[at_])) {
        if (v < 1000000000000LL)
            v = v * 10 + (bytes_[at_] - '0');
        ++at_;
        ++digits;
    }
    if (digits == 0) {
        at_ = start;
        return std::nullopt;
    }
    return negative ? -v : v;
}

bool ByteCursor::skip_one()
{
    if (at_ >= bytes_.size())
        return false;
    ++at_;
    return true;
}

std::optional<std::string> ByteCursor::line()
{
    if (at_ >= bytes_.size())
        return std::nullopt;
    std::string out;
    while (at_ < bytes_.size() && bytes_[at_] != '\n')
        out.push_back(static_cast<char>(bytes_[at_++]));
    if (at_ < bytes_.size())
        ++at_;
    return out;
}

std::string first_token(std::span<const std::uint8_t> bytes)
{
    ByteCursor c(bytes);
    return c.token(15);
}

std::optional<Image> decode_predictive(ByteCursor& cursor, int channels)
{
    auto w = cursor.header_int();
    auto h = w ? cursor.header_int() : std::nullopt;
    if (!w || !h || !size_ok(*w, *h) || !cursor.skip_one())
        return std::nullopt;
    std::size_t bytes = static_cast<std::size_t>(*w) * static_cast<std::size_t>(*h) * channels;
    if (cursor.remaining() < bytes)
        return std::nullopt;
    Image im;
    im.width = static_cast<int>(*w);
    im.height = static_cast<int>(*h);
    im.channels = channels;
    im.pixels.resize(bytes);
    const std::uint8_t* src = cursor.rest().data();
    std::uint8_t* out = im.pixels.data();
    std::size_t row = static_cast<std::size_t>(im.width) * channels;
    for (int y = 0; y < im.height; ++y) {
        for (int x = 0; x < im.width; ++x) {
            std::size_t i = static_cast<std::size_t>(y) * row + static_cast<std::size_t>(x) * channels;
            for (int c = 0; c < channels; ++c) {
                int predicted;
                if (x == 0 && y == 0)
                    predicted = 0;
                else if (y == 0)
                    predicted = out[i - channels + c];
                else if (x == 0)
                    predicted = out[i - row + c];
                else
                    predicted = std::clamp(out[i - row + c] + out[i - channels + c] - out[i - row - channels + c], 0, 255);
                out[i + c] = static_cast<std::uint8_t>(src[i + c] + predicted);
            }
        }
    }
    cursor.advance(bytes);
    return im;
}

std::optional<Image> decode_pnm(std::span<const std::uint8_t> bytes, std::string& error)
{
    error.clear();
    ByteCursor c(bytes);
    std::string token = c.token(15);
    bool grey = token == "P5" || token == "P2";
    bool ascii = token == "P3" || token == "P2";
    const char* kind = grey ? "PGM" : "PPM";
    if (token != "P6" && token != "P3" && !grey) {
        error = "Can't parse PPM header";
        return std::nullopt;
    }
    auto w = c.header_int();
    auto h = w ? c.header_int() : std::nullopt;
    if (!w || !h || !size_ok(*w, *h)) {
        error = std::string("Can't get ") + kind + " dimensions";
        return std::nullopt;
    }
    auto maxval = c.header_int();
    if (!maxval || *maxval < 1 || *maxval > 65535) {
        error = std::string("Can't parse ") + kind + " header";
        return std::nullopt;
    }
    Image im;
    im.width = static_cast<int>(*w);
    im.height = static_cast<int>(*h);
    im.channels = grey ? 1 : 3;
    std::size_t samples = im.level0_bytes();
    int max = static_cast<int>(*maxval);
    auto scale = [max](long long v) {
        if (max == 255)
            return static_cast<std::uint8_t>(std::clamp<long long>(v, 0, 255));
        return static_cast<std::uint8_t>(std::clamp<long long>(v * 255 / max, 0, 255));
    };
    if (ascii) {
        if (c.remaining() < samples)  // each sample takes a digit at least
            return std::nullopt;
        im.pixels.resize(samples);
        for (std::size_t i = 0; i < samples; ++i) {
            auto v = c.header_int();
            if (!v)
                return std::nullopt;
            im.pixels[i] = scale(*v);
        }
        return im;
    }
    std::size_t width_bytes = max > 255 ? 2 : 1;
    if (!c.skip_one() || c.remaining() < samples * width_bytes)
        return std::nullopt;
    im.pixels.resize(samples);
    const std::uint8_t* src = c.rest().data();
    for (std::size_t i = 0; i < samples; ++i) {
        long long v = width_bytes == 2 ? (src[2 * i] << 8) | src[2 * i + 1] : src[i];
        im.pixels[i] = scale(v);
    }
    return im;
}

std::optional<Image> decode_png_for_texture(std::span<const std::uint8_t> bytes, std::string* info)
{
    std::optional<PngImage> png = decode_png(bytes);
    if (!png)
        return std::nullopt;
    if (info)
        *info = png_info_text(*png);
    Image im;
    im.width = png->width;
    im.height = png->height;
    std::size_t n = static_cast<std::size_t>(png->width) * png->height;
    const std::uint8_t* s = png->pixels.data();
    switch (png->format) {
    case PngFormat::rgb:
    case PngFormat::rgba:
        im.channels = png->format == PngFormat::rgb ? 3 : 4;
        im.pixels = std::move(png->pixels);
        break;
    case PngFormat::grey:
    case PngFormat::grey16: {
        int step = png->format == PngFormat::grey16 ? 2 : 1;
        int hi = png->format == PngFormat::grey16 ? 1 : 0;  // low byte first
        im.channels = 3;
        im.pixels.resize(n * 3);
        for (std::size_t i = 0; i < n; ++i)
            im.pixels[3 * i] = im.pixels[3 * i + 1] = im.pixels[3 * i + 2] = s[i * step + hi];
        break;
    }
    case PngFormat::grey_alpha:
        im.channels = 4;
        im.pixels.resize(n * 4);
        for (std::size_t i = 0; i < n; ++i) {
            im.pixels[4 * i] = im.pixels[4 * i + 1] = im.pixels[4 * i + 2] = s[2 * i];
            im.pixels[4 * i + 3] = s[2 * i + 1];
        }
        break;
    }
    return im;
}

Image round_down_to_power_of_two(const Image& image)
{
    int w = round_down_power_of_two(image.width), h = round_down_power_of_two(image.height);
    if (w == image.width && h == image.height) {
        Image out = image;
        out.pixels.resize(out.level0_bytes());
        return out;
    }
    return resample_nearest(image, w, h);
}

std::optional<AnimSequence> parse_anim1(ByteCursor& cursor, const PngLoader& load_png, std::string& error)
{
    error.clear();
    auto s = cursor.header_int();
    auto f = s ? cursor.header_int() : std::nullopt;
    auto t = f ? cursor.header_int() : std::nullopt;
    auto l = t ? cursor.header_int() : std::nullopt;
    // Bounded so hostile counts cannot ask for absurd allocations.
    if (!l || *s <= 0 || *f <= 0 || *s > 1000000 || *f > 4096)
        return std::nullopt;
    AnimSequence seq;
    seq.ticks_per_step = static_cast<int>(std::max<long long>(1, std::min<long long>(*t, 1 << 30)));
    seq.loop = *l != 0;
    seq.steps.resize(static_cast<std::size_t>(*s));
    for (int& step : seq.steps) {
        auto v = cursor.header_int();
        if (!v) {
            error = "EOF while reading .seq";
            return std::nullopt;
        }
        if (*v < 0 || *v >= *f) {  // a step naming no frame would read past the list
            error = "Error reading .seq frame " + std::to_string(&step - seq.steps.data());
            return std::nullopt;
        }
        step = static_cast<int>(*v);
    }
    for (int i = 0; i < *f; ++i) {
        std::string token = cursor.token(15);
        std::optional<Image> frame;
        if (token.empty()) {
            error = "EOF while reading .seq";
            return std::nullopt;
        }
        if (token == "J7") {
            frame = decode_predictive(cursor, 4);
            if (!frame) {
                error = "EOF while reading .seq";
                return std::nullopt;
            }
        } else if (token == "PNG") {
            std::optional<std::string> name = cursor.line();
            if (!name) {
                error = "EOF while reading .seq";
                return std::nullopt;
            }
            std::size_t b = name->find_first_not_of(" \t\r");
            std::size_t e = name->find_last_not_of(" \t\r\n");
            std::string trimmed = b == std::string::npos ? "" : name->substr(b, e - b + 1);
            frame = load_png(trimmed);
            if (!frame) {
                char buf[1000];
                std::snprintf(buf, sizeof buf, "Can't read %.900s", trimmed.c_str());
                error = buf;
                return std::nullopt;
            }
        } else {
            error = "Error reading .seq frame " + std::to_string(i);
            return std::nullopt;
        }
        if (!seq.frames.empty()) {
            const Image& first = seq.frames.front();
            if (frame->width != first.width || frame->height != first.height) {
                error = "Width/height mismatch reading .seq";
                return std::nullopt;
            }
            if (frame->channels != first.channels) {
                error = "Depth mismatch reading .seq";
                return std::nullopt;
            }
        }
        seq.frames.push_back(std::move(*frame));
    }
    return seq;
}

std::optional<std::string> parse_link(ByteCursor& cursor)
{
    std::span<const std::uint8_t> rest = cursor.rest();
    std::size_t n = std::min<std::size_t>(rest.size(), 1023);
    std::string text(reinterpret_cast<const char*>(rest.data()), n);
    std::size_t b = text.find_first_not_of(" \t\r\n\f\v");
    if (b == std::string::npos)
        return std::nullopt;
    std::size_t e = text.find_last_not_of(" \t\r\n\f\v");
    std::string name = text.substr(b, e - b + 1);
    if (name.find('\0') != std::string::npos)
        return std::nullopt;
    return name;
}

}  // namespace zv::render
