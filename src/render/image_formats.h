// Image file formats read from bytes in memory: the predictive "J6"/"J7"
// format, PPM and PGM, PNG (through png_io, widened the texture loader's
// way), "ANIM1" sequences and "LINK" aliases. Every reader bounds its reads
// and refuses sizes the data cannot hold.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "render/image.h"

namespace zv::render {

constexpr int k_max_image_side = 16384;
constexpr long long k_max_image_texels = 64LL * 1024 * 1024;

// A cursor over file bytes with the header rules the formats share.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    // The next whitespace-delimited token, at most max_len characters (the
    // rest of a longer token is left in place).
    std::string token(std::size_t max_len = 15);
    // Skips white space and whole lines that start with '#'.
    void skip_space_and_comments();
    // A decimal integer after optional white space and comment lines.
    std::optional<long long> header_int();
    // One separator byte; false at the end.
    bool skip_one();
    // Rest of the current line (without its end), stepping past the line feed;
    // nullopt at the end of the data.
    std::optional<std::string> line();
    std::span<const std::uint8_t> rest() const { return bytes_.subspan(at_); }
    std::size_t remaining() const { return bytes_.size() - at_; }
    void advance(std::size_t n) { at_ += n < remaining() ? n : remaining(); }
    std::size_t position() const { return at_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

// The first token of a file (at most 15 characters), as the loader
// dispatches on it.
std::string first_token(std::span<const std::uint8_t> bytes);

// Decodes the predictive format after its token ("J6" three channels, "J7"
// four) from the cursor. Nullopt when the header or the data fall short.
std::optional<Image> decode_predictive(ByteCursor& cursor, int channels);

// PPM ("P6", "P3": three channels) and PGM ("P5", "P2": one channel), the
// token included. On failure `error` holds "Can't parse PPM header",
// "Can't get PPM dimensions" (PGM likewise) or is empty when only the data
// fell short.
std::optional<Image> decode_pnm(std::span<const std::uint8_t> bytes, std::string& error);

// A PNG as the texture loader wants it: palette and low-bit grey expanded,
// 16-bit reduced, grey widened to RGB; four channels when the image has
// alpha (or a tRNS chunk), else three. `info` receives the text of every
// text chunk.
std::optional<Image> decode_png_for_texture(std::span<const std::uint8_t> bytes, std::string* info);

// An ANIM1 sequence: frame images, each step's frame, ticks per step, loop.
struct AnimSequence {
    std::vector<int> steps;   // frame index per step
    std::vector<Image> frames;
    int ticks_per_step = 1;
    bool loop = false;
};
// Parses a sequence after its "ANIM1" token. `load_png` loads a named frame.
// On failure `error` holds the message ("Error reading .seq frame %d",
// "EOF while reading .seq", "Can't read %.900s", "Width/height mismatch
// reading .seq", "Depth mismatch reading .seq") or is empty for a bad header.
using PngLoader = std::function<std::optional<Image>(const std::string& name)>;
std::optional<AnimSequence> parse_anim1(ByteCursor& cursor, const PngLoader& load_png, std::string& error);

// Brings an animation frame or pixel image to power-of-two size by rounding
// each side down (nearest-neighbour resampling), level 0 only.
Image round_down_to_power_of_two(const Image& image);

// The texture name of a LINK file after its token (up to 1023 bytes, white
// space trimmed); nullopt when empty.
std::optional<std::string> parse_link(ByteCursor& cursor);

}  // namespace zv::render
