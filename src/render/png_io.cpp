#include "render/png_io.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace zv::render {

namespace {

constexpr int k_max_side = 16384;

struct WriteState {
    std::vector<std::uint8_t>* out;
};

void write_bytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* s = static_cast<WriteState*>(png_get_io_ptr(png));
    s->out->insert(s->out->end(), data, data + length);
}

void flush_nothing(png_structp) {}

struct ReadState {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

void read_bytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* s = static_cast<ReadState*>(png_get_io_ptr(png));
    if (length > s->bytes.size() - s->at)
        png_error(png, "read past the end");
    std::memcpy(data, s->bytes.data() + s->at, length);
    s->at += length;
}

void quiet_warning(png_structp, png_const_charp) {}

void error_jump(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

int png_color_type(PngFormat f)
{
    switch (f) {
    case PngFormat::grey:
    case PngFormat::grey16: return PNG_COLOR_TYPE_GRAY;
    case PngFormat::grey_alpha: return PNG_COLOR_TYPE_GRAY_ALPHA;
    case PngFormat::rgb: return PNG_COLOR_TYPE_RGB;
    case PngFormat::rgba: return PNG_COLOR_TYPE_RGBA;
    }
    return PNG_COLOR_TYPE_RGBA;
}

bool valid_keyword(const std::string& k)
{
    if (k.empty() || k.size() > 79 || k.front() == ' ' || k.back() == ' ')
        return false;
    for (unsigned char c : k)
        if (c < 32 || (c > 126 && c < 161))
            return false;
    return true;
}

// The libpng calls run in functions that hold only plain pointers and
// numbers, so a long jump out of libpng skips no C++ object.
struct WriteJob {
    png_uint_32 width, height;
    int depth, colour_type;
    png_bytep* rows;
    png_text* texts;
    int text_count;
    WriteState* state;
};

bool run_write(const WriteJob* job)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, error_jump, quiet_warning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, job->state, write_bytes, flush_nothing);
    png_set_compression_level(png, 6);
    png_set_IHDR(png, info, job->width, job->height, job->depth, job->colour_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job->text_count > 0)
        png_set_text(png, info, job->texts, job->text_count);
    png_write_info(png, info);
    png_write_image(png, job->rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool encode_into(const PngImage& image, std::vector<std::uint8_t>& out)
{
    WriteState state{&out};
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    std::vector<png_text> texts(image.text.size());
    std::vector<std::uint8_t> swapped;
    const std::uint8_t* base = image.pixels.data();
    if (image.format == PngFormat::grey16) {
        // PNG stores 16-bit samples big-endian.
        swapped = image.pixels;
        for (std::size_t i = 0; i + 1 < swapped.size(); i += 2)
            std::swap(swapped[i], swapped[i + 1]);
        base = swapped.data();
    }
    for (int y = 0; y < image.height; ++y)
        rows[static_cast<std::size_t>(y)] =
            const_cast<png_bytep>(base + static_cast<std::size_t>(y) * image.row_bytes());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i].compression = PNG_TEXT_COMPRESSION_NONE;
        texts[i].key = const_cast<char*>(image.text[i].first.c_str());
        texts[i].text = const_cast<char*>(image.text[i].second.c_str());
        texts[i].text_length = image.text[i].second.size();
    }
    WriteJob job{static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height),
                 image.format == PngFormat::grey16 ? 16 : 8,
                 png_color_type(image.format),
                 rows.data(),
                 texts.data(),
                 static_cast<int>(texts.size()),
                 &state};
    return run_write(&job);
}

// Decoding in three steps: the header (no allocation), the pixel buffer
// (C++), the rows and text (libpng again).
struct ReadJob {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_infop end = nullptr;
    ReadState* state = nullptr;
    png_uint_32 width = 0, height = 0;
    int channels = 0;
    bool grey16 = false;
    std::size_t row_bytes = 0;
};

bool read_header(ReadJob* job)
{
    png_structp png = job->png;
    png_infop info = job->info;
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, job->state, read_bytes);
    png_set_user_limits(png, k_max_side, k_max_side);
    png_read_info(png, info);
    png_uint_32 w = 0, h = 0;
    int depth = 0, type = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &type, nullptr, nullptr, nullptr);
    bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (type == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (trns)
        png_set_tRNS_to_alpha(png);
    job->grey16 = type == PNG_COLOR_TYPE_GRAY && depth == 16 && !trns;
    if (depth == 16 && !job->grey16)
        png_set_strip_16(png);
    png_read_update_info(png, info);
    job->channels = png_get_channels(png, info);
    job->width = w;
    job->height = h;
    job->row_bytes = png_get_rowbytes(png, info);
    return true;
}

bool read_rows(ReadJob* job, png_bytep* rows)
{
    if (setjmp(png_jmpbuf(job->png)))
        return false;
    png_read_image(job->png, rows);
    png_read_end(job->png, job->end);
    return true;
}

// Every chunk up to the end chunk must fit in the bytes we have: a damaged
// length would otherwise have the decoder allocate what the chunk claims
// (gigabytes) before it finds the data missing.
bool chunks_fit(std::span<const std::uint8_t> bytes)
{
    std::size_t pos = 8;
    while (pos + 12 <= bytes.size()) {
        const std::uint8_t* p = bytes.data() + pos;
        const std::size_t length = (std::size_t{p[0]} << 24) | (std::size_t{p[1]} << 16) |
                                   (std::size_t{p[2]} << 8) | std::size_t{p[3]};
        if (length > bytes.size() - pos - 12)
            return false;
        if (std::memcmp(p + 4, "IEND", 4) == 0)
            return true;
        pos += 12 + length;
    }
    return false;
}

bool decode_into(std::span<const std::uint8_t> bytes, PngImage& image)
{
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0 || !chunks_fit(bytes))
        return false;
    ReadState state{bytes, 0};
    ReadJob job;
    job.state = &state;
    job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, error_jump, quiet_warning);
    if (!job.png)
        return false;
    job.info = png_create_info_struct(job.png);
    job.end = png_create_info_struct(job.png);
    bool ok = job.info && job.end && read_header(&job);
    if (ok) {
        if (job.grey16)
            image.format = PngFormat::grey16;
        else if (job.channels == 1)
            image.format = PngFormat::grey;
        else if (job.channels == 2)
            image.format = PngFormat::grey_alpha;
        else if (job.channels == 3)
            image.format = PngFormat::rgb;
        else
            image.format = PngFormat::rgba;
        image.width = static_cast<int>(job.width);
        image.height = static_cast<int>(job.height);
        ok = job.row_bytes == image.row_bytes() && job.width > 0 && job.height > 0;
    }
    if (ok) {
        image.pixels.assign(image.row_bytes() * job.height, 0);
        std::vector<png_bytep> rows(job.height);
        for (png_uint_32 y = 0; y < job.height; ++y)
            rows[y] = image.pixels.data() + static_cast<std::size_t>(y) * image.row_bytes();
        ok = read_rows(&job, rows.data());
    }
    if (ok) {
        for (png_infop which : {job.info, job.end}) {
            png_textp text = nullptr;
            int count = 0;
            png_get_text(job.png, which, &text, &count);
            for (int i = 0; i < count; ++i)
                image.text.emplace_back(text[i].key ? text[i].key : "",
                                        std::string(text[i].text ? text[i].text : "", text[i].text_length));
        }
        if (job.grey16)
            for (std::size_t i = 0; i + 1 < image.pixels.size(); i += 2)
                std::swap(image.pixels[i], image.pixels[i + 1]);
    }
    png_destroy_read_struct(&job.png, job.info ? &job.info : nullptr, job.end ? &job.end : nullptr);
    return ok;
}

}  // namespace

int png_channels(PngFormat format)
{
    switch (format) {
    case PngFormat::grey: return 1;
    case PngFormat::grey_alpha: return 2;
    case PngFormat::rgb: return 3;
    case PngFormat::rgba: return 4;
    case PngFormat::grey16: return 1;
    }
    return 4;
}

std::size_t PngImage::row_bytes() const
{
    std::size_t per_pixel = format == PngFormat::grey16 ? 2 : static_cast<std::size_t>(png_channels(format));
    return static_cast<std::size_t>(width > 0 ? width : 0) * per_pixel;
}

std::optional<std::vector<std::uint8_t>> encode_png(const PngImage& image)
{
    if (image.width <= 0 || image.height <= 0 || image.width > k_max_side || image.height > k_max_side)
        return std::nullopt;
    if (image.pixels.size() != image.row_bytes() * static_cast<std::size_t>(image.height))
        return std::nullopt;
    for (const auto& [key, text] : image.text)
        if (!valid_keyword(key) || text.find('\0') != std::string::npos)
            return std::nullopt;
    std::vector<std::uint8_t> out;
    if (!encode_into(image, out))
        return std::nullopt;
    return out;
}

std::optional<PngImage> decode_png(std::span<const std::uint8_t> bytes)
{
    PngImage image;
    if (!decode_into(bytes, image))
        return std::nullopt;
    return image;
}

std::string png_info_text(const PngImage& image)
{
    std::string all;
    for (const auto& t : image.text)
        all += t.second;
    return all;
}

}  // namespace zv::render
